// The windows at their default sizes on the sample project after its melt:
// every value a grid or an edit shows is wide enough for its text, the
// corner headers carry their "№", and the option dialog's pages all fit.

#include "AppFixture.h"
#include "LayoutChecks.h"

#include "AutoF.h"
#include "FOptions.h"
#include "GridModel.h"
#include "RzForm.h"
#include "ThSys.h"
#include "support/ShownNumber.h"

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

    // The formatter's longest ranges: four or five significant digits just
    // above its zero, negative, on both sides. An edit too narrow drops
    // digits; one still too narrow shows the start, never the end alone; the
    // hint then holds the whole range.
    void theLongestRangesKeepTheirStartsAndShowWholeInTheHint_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("negative");
        QTest::newRow("default, positive") << QSize(1180, 760) << false;
        QTest::newRow("default, negative") << QSize(1180, 760) << true;
        QTest::newRow("laptop, positive") << QSize(1366, 768) << false;
        QTest::newRow("laptop, negative") << QSize(1366, 768) << true;
    }
    void theLongestRangesKeepTheirStartsAndShowWholeInTheHint()
    {
        QFETCH(QSize, size);
        QFETCH(bool, negative);
        f.w->resize(size);
        const long double sign = negative ? -1 : 1;
        for (int k = 0; k < 2; ++k) {
            TThSys& s = *ThSystems[static_cast<std::size_t>(k)];
            const long double v = sign * (k == 0 ? 5.12345e-5L : 9.87654e-5L);
            s.MetalMass = s.SlagMass = s.GasMass = s.Basicity = v;
            s.NmiMass = v / 1000;
            s.SlagMoles = 1 - 1e-10L;
            s.SlagCharge = 1000 * v;
            s.Temperature = KelvinOffset + v;
        }
        f.w->ShowForwardProblem(false);
        QTest::qWait(50); // the layout settles the edits' widths
        const QList<QLineEdit*> ranges{f.w->EditFinT, f.w->EditMetM, f.w->EditSlgM, f.w->EditOsn,
                                       f.w->EdCharge, f.w->EditGasM, f.w->EditNmiM};
        for (QLineEdit* e : ranges) {
            const QString text = e->text();
            QVERIFY2(text.contains(".."), qPrintable(e->objectName() + ": " + text));
            // Starts as the formatter's does, with the point or comma of the screen.
            QVERIFY2(text.startsWith(negative ? "-0" + OnScreen(".") : "0" + OnScreen(".")),
                     qPrintable(e->objectName() + ": " + text));
            const bool fits = e->fontMetrics().horizontalAdvance(text) <= e->contentsRect().width() - 8;
            if (!fits) {
                QCOMPARE(e->cursorPosition(), 0);
                QVERIFY2(e->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < 10, qPrintable(e->objectName()));
            }
            // Dropped digits leave the whole range in the hint.
            const QString whole = e->toolTip().section('\n', -1);
            if (whole != text) {
                QVERIFY2(whole.contains("..") && whole.size() > text.size(), qPrintable(e->objectName() + ": " + whole));
                QVERIFY2(whole.startsWith(text.left(negative ? 4 : 3)), qPrintable(whole + " / " + text));
            }
        }
    }

    // The gas of the sample's scale: 0,07933..0,08439 t shows whole, or
    // with fewer digits, at the default width and on a laptop's screen.
    void aGasRangeOfTheSampleShowsBothEnds_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("default") << QSize(1180, 760);
        QTest::newRow("laptop") << QSize(1366, 768);
    }
    void aGasRangeOfTheSampleShowsBothEnds()
    {
        QFETCH(QSize, size);
        f.w->resize(size);
        ThSystems[0]->GasMass = 0.07933L;
        ThSystems[1]->GasMass = 0.08439L;
        ThSystems[0]->SlagMass = 0.1517L;
        ThSystems[1]->SlagMass = 0.1713L;
        f.w->ShowForwardProblem(false);
        QTest::qWait(50);
        for (QLineEdit* e : {f.w->EditGasM, f.w->EditSlgM}) {
            const QString text = e->text();
            QVERIFY2(e->fontMetrics().horizontalAdvance(text) <= e->contentsRect().width() - 8,
                     qPrintable(e->objectName() + ": " + text));
            const QStringList ends = text.split("..");
            QCOMPARE(ends.size(), 2);
            const double lo = ShownNumber(ends[0]), hi = ShownNumber(ends[1]);
            const double wantLo = e == f.w->EditGasM ? 0.07933 : 0.1517, wantHi = e == f.w->EditGasM ? 0.08439 : 0.1713;
            QVERIFY2(std::abs(lo - wantLo) < 0.005 && std::abs(hi - wantHi) < 0.005, qPrintable(text));
        }
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
