// The windows at their default sizes on the sample project after its melt:
// every value a grid or an edit shows is wide enough for its text, the
// corner headers carry their "№", and the option dialog's pages all fit.

#include "AppFixture.h"
#include "LayoutChecks.h"

#include "AutoF.h"
#include "FOptions.h"
#include "GridModel.h"
#include "RzForm.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

using namespace ferrolyt;

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
        QVERIFY2(CutInMainWindow(*f.w).isEmpty(), qPrintable(CutInMainWindow(*f.w).join("; ")));
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
