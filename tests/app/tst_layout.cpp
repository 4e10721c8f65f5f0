// The windows at their default sizes on the sample project after its melt:
// every value a grid or an edit shows is wide enough for its text, the
// corner headers carry their "№", and the option dialog's pages all fit.

#include "AppFixture.h"

#include "AutoF.h"
#include "FOptions.h"
#include "GridModel.h"
#include "RzForm.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

using namespace ferrolyt;

namespace {

// The buttons of `w` whose texts are cut, and the edits too narrow for `sample`.
QStringList CutControls(const QWidget& w, const QString& sample)
{
    QStringList cut;
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        if (b->isVisible() && !qobject_cast<const QTableView*>(b->parent()) && b->width() < b->sizeHint().width())
            cut << b->objectName() + " \"" + b->text() + "\"";
    for (QLineEdit* e : w.findChildren<QLineEdit*>())
        if (e->isVisible() && e->fontMetrics().horizontalAdvance(sample) > e->contentsRect().width() - 8)
            cut << QString("%1 %2 px").arg(e->objectName()).arg(e->width());
    return cut;
}

// The cells of `view` whose text does not fit their column, as
// "column:text"; `upTo` limits the columns looked at (-1: all).
QStringList CutCells(const QTableView& view, int upTo = -1)
{
    QStringList cut;
    const QAbstractItemModel& m = *view.model();
    const QFontMetrics fm(view.font());
    const int columns = upTo < 0 ? m.columnCount() : std::min(upTo, m.columnCount());
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < m.rowCount(); ++r) {
            const QString text = m.index(r, c).data().toString();
            // The cell keeps a few pixels of margin on each side.
            if (!text.isEmpty() && fm.horizontalAdvance(text) + 6 > view.columnWidth(c))
                cut << QString("%1:%2").arg(c + 1).arg(text);
        }
        const QString header = m.headerData(c, Qt::Horizontal).toString();
        if (fm.horizontalAdvance(header) + 6 > view.columnWidth(c))
            cut << QString("%1:%2").arg(c + 1).arg(header);
    }
    return cut;
}

// Pixels of a widget's picture dark enough to be text.
int DarkPixels(QWidget& w)
{
    const QImage image = w.grab().toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    return dark;
}

} // namespace

class TstLayout : public QObject {
    Q_OBJECT

    TAppFixture f;

private slots:
    void init() { QVERIFY2(f.Start(), qPrintable(f.Texts().join("; "))); }
    void cleanup() { f.Stop(); }

    void theMainWindowShowsEveryValueWholeAtItsDefaultSize_data()
    {
        QTest::addColumn<int>("task");
        QTest::newRow("furnace") << 0;
        QTest::newRow("converter") << 1;
        QTest::newRow("ladle") << 2; // a basicity of four digits
    }
    void theMainWindowShowsEveryValueWholeAtItsDefaultSize()
    {
        QFETCH(int, task);
        QCOMPARE(f.w->size(), QSize(1180, 760));
        f.w->TaskBoxClick(task);
        QVERIFY(ResultsShown);
        for (QTableView* grid : {f.w->MatGrid, f.w->ElGrid, f.w->GasGrid})
            QVERIFY2(CutCells(*grid).isEmpty(), qPrintable(grid->objectName() + ": " + CutCells(*grid).join("; ")));
        // The materials with their masses, and the gases with both pressures,
        // are seen without scrolling sideways.
        for (QTableView* grid : {f.w->MatGrid, f.w->GasGrid}) {
            const int last = grid->model()->columnCount() - 1;
            const int right = grid->columnViewportPosition(last) + grid->columnWidth(last);
            QVERIFY2(right <= grid->viewport()->width(),
                     qPrintable(QString("%1: %2 > %3").arg(grid->objectName()).arg(right).arg(grid->viewport()->width())));
        }
        for (QLineEdit* e : f.w->findChildren<QLineEdit*>()) {
            if (!e->isVisible() || e->parent() == nullptr || e->text().isEmpty())
                continue;
            const int room = e->contentsRect().width() - 8; // the frame's and the text's margins
            QVERIFY2(e->fontMetrics().horizontalAdvance(e->text()) <= room,
                     qPrintable(e->objectName() + ": " + e->text()));
        }
    }

    void theAutographDialogShowsItsTextsAndATemperatureWhole()
    {
        QDialog& d = *f.w->AutoF;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY2(CutControls(d, "1700.5").isEmpty(), qPrintable(CutControls(d, "1700.5").join("; ")));
        d.hide();
    }

    void theOptionsDialogShowsEveryPageTabAndLabel()
    {
        QDialog& d = *f.w->FOptions;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto* pages = d.findChild<QTabWidget*>();
        QVERIFY(pages);
        QTabBar& tabs = *pages->tabBar();
        QVERIFY2(tabs.width() >= tabs.sizeHint().width(),
                 qPrintable(QString("%1 < %2 px").arg(tabs.width()).arg(tabs.sizeHint().width())));
        for (int p = 0; p < pages->count(); ++p) {
            pages->setCurrentIndex(p);
            for (QCheckBox* box : pages->widget(p)->findChildren<QCheckBox*>())
                QVERIFY2(!box->text().trimmed().isEmpty(), qPrintable(box->objectName()));
            QVERIFY2(CutControls(*pages->widget(p), "0").isEmpty(),
                     qPrintable(pages->tabText(p) + ": " + CutControls(*pages->widget(p), "0").join("; ")));
        }
        d.hide();
    }

    void theReactionZoneShowsItsTemperaturesWhole()
    {
        f.w->ConstrRzM->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(f.w->RzForm));
        for (QTableView* grid : f.w->RzForm->findChildren<QTableView*>())
            QVERIFY2(CutCells(*grid).isEmpty(), qPrintable(grid->objectName() + ": " + CutCells(*grid).join("; ")));
    }

    void theGridsCornersCarryTheNumberSign()
    {
        for (QTableView* grid : {f.w->MatGrid, f.w->ElGrid, f.w->GasGrid}) {
            auto* corner = grid->findChild<QAbstractButton*>();
            QVERIFY(corner);
            QVERIFY2(DarkPixels(*corner) > 0, qPrintable(grid->objectName()));
        }
    }
};

QTEST_MAIN(TstLayout)
#include "tst_layout.moc"
