// Material names read whole: the task editor's and the effects window's
// name columns are as wide as the sample's longest name, and a name longer
// than its column shows whole in the cell's tooltip.

#include "AppFixture.h"

#include "CutTextTips.h"
#include "FTask.h"
#include "FormDKM.h"
#include "GridModel.h"

#include <QHelpEvent>
#include <QTableView>
#include <QTableWidget>
#include <QToolTip>

using namespace ferrolyt;

namespace {

// The names of the view's first column that it draws cut.
QStringList CutNames(const QTableView& view)
{
    QStringList cut;
    for (int r = 0; r < view.model()->rowCount(); ++r)
        if (CellTextIsCut(view, view.model()->index(r, 0)))
            cut << view.model()->index(r, 0).data().toString();
    return cut;
}

// The tooltip the view shows where the mouse rests on the cell.
QString ToolTipShown(QTableView& view, const QModelIndex& index)
{
    QToolTip::hideText();
    const QPoint at = view.visualRect(index).center();
    QHelpEvent help(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view.viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

class TstNames : public QObject {
    Q_OBJECT

    TAppFixture f;

private slots:
    void init() { QVERIFY2(f.Start(), qPrintable(f.Texts().join("; "))); }
    void cleanup() { f.Stop(); }

    void theTaskEditorShowsEveryMaterialNameWhole()
    {
        QStringList cut;
        QString longName, tip, shortTip;
        bool listed = false;
        f.dialog = [&](QDialog& d) {
            auto& editor = dynamic_cast<TFTask&>(d);
            d.show();
            if (!QTest::qWaitForWindowExposed(&d))
                return int(QDialog::Rejected);
            QTableWidget& grid = *editor.MatGrid;
            cut = CutNames(grid);
            // "Вапно доломітизоване" is among the charge of the first task.
            listed = !grid.findItems(QStringLiteral("Вапно доломітизоване"), Qt::MatchExactly).isEmpty();
            shortTip = ToolTipShown(grid, grid.model()->index(0, 0));
            // A name longer than the column may grow to.
            longName = QStringLiteral("Феросилікомарганець для позапічної обробки");
            grid.item(0, 0)->setText(longName);
            tip = ToolTipShown(grid, grid.model()->index(0, 0));
            return int(QDialog::Rejected);
        };
        f.w->TaskA->trigger();
        QCOMPARE(f.dialogs, 1);
        QVERIFY(listed);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
        QCOMPARE(tip, longName);
        QVERIFY2(shortTip.isEmpty(), qPrintable(shortTip)); // a whole name needs no tooltip
    }

    void theEffectsWindowShowsEveryMaterialNameWhole()
    {
        f.w->MatsA->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(FormDKM));
        QTableView& grid = *FormDKM->DKMGrid;
        QVERIFY(grid.model()->rowCount() > 20);
        QVERIFY2(CutNames(grid).isEmpty(), qPrintable(CutNames(grid).join("; ")));
        QVERIFY(grid.columnWidth(0) >= FittingColumnWidth(grid, 0));

        // Narrowed by the user, the column still gives each name whole.
        grid.setColumnWidth(0, 40);
        const QModelIndex first = grid.model()->index(0, 0);
        QVERIFY(CellTextIsCut(grid, first));
        QCOMPARE(ToolTipShown(grid, first), first.data().toString());
    }
};

QTEST_MAIN(TstNames)
#include "tst_names.moc"
