// The main window on the sample project: start-up melt, the grids' texts,
// display units without a new solve, F9 and F8, and the optimisation
// command's alternatives, failures, stop and busy rules (the optimiser
// itself replaced by scripted runs, so that every outcome is reached fast).

#include "FForw.h"

#include "Constraints.h"
#include "Model.h"
#include "ProgramDir.h"
#include "QtHost.h"
#include "RunState.h"
#include "Settings.h"
#include "SimplexLP.h"
#include "TaskList.h"
#include "ThSys.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <map>
#include <memory>
#include <stdexcept>

using namespace ferrolyt;

class TstMainWindow : public QObject {
    Q_OBJECT

    QList<QtHost::Message> messages;
    QMessageBox::StandardButton answer = QMessageBox::No;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QtHost> host;
    std::unique_ptr<TFForw> w;
    std::vector<int32_t> calls; // blocks passed to the scripted optimiser

    QString Cell(const TStringGrid& g, int col, int row) { return QString::fromStdString(g.Cell(col, row)); }

    QStringList Texts()
    {
        QStringList t;
        for (const auto& m : messages)
            t << m.text;
        return t;
    }

    // Lists `count` absence blocks over materials 1..count.
    void ScriptBlocks(int count)
    {
        w->OptimiserCalls.BuildConstraintBlocks = [count] {
            ConstraintBlockCount = 0;
            for (int k = 1; k <= count; ++k) {
                MaterialTable[k].Fixed = 0;
                ConstraintBlocks[k] = {ckFixedMass, k, k, k, "Відсутність " + MaterialTable[k].Name, csLower};
                ConstraintBlockCount = k;
            }
            return true;
        };
    }

    // A run that leaves `amount` t of material 1 and the given cost.
    static void Charge(long double amount, long double cost)
    {
        for (int j = 1; j <= MaterialCount; ++j)
            MaterialTable[j].Amount = 0;
        MaterialTable[1].Amount = amount;
        LpTableau[0][0] = -cost;
        ThSystems[0]->MetalMass = 90;
    }

private slots:
    void initTestCase()
    {
        QtHost::SetMessageHook([this](const QtHost::Message& m) {
            messages.append(m);
            return m.buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
        });
    }

    void cleanupTestCase() { QtHost::SetMessageHook({}); }

    void init()
    {
        ResetModel();
        SetOptionDefaults();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        for (const QString& f : QDir(FERROLYT_DATA).entryList(QDir::Files))
            QVERIFY(QFile::copy(QString(FERROLYT_DATA) + "/" + f, dir->filePath(f)));
        SetProgramDir(dir->path().toStdString());
        host = std::make_unique<QtHost>();
        w = std::make_unique<TFForw>();
        host->AttachWindow(w.get(), w->SBarPanels);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        calls.clear();
        answer = QMessageBox::No;
    }

    void cleanup()
    {
        CalcBusy = false;
        messages.clear();
        w->close();
        w.reset();
        host.reset();
        dir.reset();
    }

    void startsOnTheSampleProjectAndMeltsIt()
    {
        QVERIFY2(messages.isEmpty(), qPrintable(Texts().join("; ")));
        QVERIFY(ResultsShown);
        QVERIFY(!CalcBusy);
        QCOMPARE(w->windowTitle(), QString("Ferrolyt - FERROLYT.FWP"));
        QCOMPARE(Cell(w->ElGridCells, 1, 1), QString(" Fe"));
        QCOMPARE(Cell(w->ElGridCells, 1, 0), QString("Ел"));
        QCOMPARE(Cell(w->ElGridCells, 3, 0), QString("мас%"));
        QCOMPARE(Cell(w->ElGridCells, 23, 0), QString("[h] st"));
        const double feMetal = Cell(w->ElGridCells, 2, 1).toDouble();
        QVERIFY2(feMetal > 95 && feMetal < 100, qPrintable(Cell(w->ElGridCells, 2, 1)));
        QCOMPARE(Cell(w->ElGridCells, 1, TotalsRow()), QString(" kg"));
        QCOMPARE(Cell(w->MatGridCells, 1, 1), QString("Брухт важкий"));
        QCOMPARE(Cell(w->MatGridCells, 2, 1), QString("55"));
        QCOMPARE(Cell(w->GasGridCells, 1, 1), QString("CO"));
        QCOMPARE(Cell(w->GasGridCells, 1, GasLineCount + 1), QString("P tot"));
        QCOMPARE(Cell(w->GasGridCells, 1, GasLineCount + 2), QString("V m3"));
        QVERIFY(w->EditMetM->text().contains(".."));
        QCOMPARE(w->EditP->text(), QString("1"));
        QCOMPARE(w->SBarPanels[3]->text(), QString(" Склад фаз: масові %"));
        QVERIFY(w->SBarPanels[0]->text().startsWith(" Iтерацiй (вн): "));
        QVERIFY(!w->EditCost->text().isEmpty());
        QVERIFY(ChargeTotal > 100); // the shown charge sets the denominator of the shares
        QVERIFY(!w->AltView->isVisible());
    }

    void aUnitChangeRedrawsWithoutSolving()
    {
        // A solve would recompute this mass; the redraw shows it as it is.
        ThSystems[0]->El(0).MetalMass = 12.345L;
        w->KilosM->trigger();
        QCOMPARE(Settings.CompositionUnit, uint8_t(2));
        QCOMPARE(Cell(w->ElGridCells, 2, 1), QString("12345"));
        QCOMPARE(Cell(w->ElGridCells, 3, 0), QString("кг"));
        QCOMPARE(w->SBarPanels[3]->text(), QString(" Склад фаз: кілограми"));
        w->LogM->trigger();
        QCOMPARE(Cell(w->ElGridCells, 2, 1), QString("4.091"));
        QCOMPARE(w->SBarPanels[3]->text(), QString(" Склад фаз: кілограми (lg)"));
        w->KPasM->trigger();
        QCOMPARE(Settings.GasPressureUnit, uint8_t(1));
        QCOMPARE(Cell(w->GasGridCells, 1, GasLineCount + 1), QString("P tot"));
        QCOMPARE(Cell(w->GasGridCells, 2, GasLineCount + 1), QString("101.3"));
        QCOMPARE(double(ThSystems[0]->El(0).MetalMass), double(12.345L));
    }

    void f9MeltsTheGridsMassesByName()
    {
        // Rows named out of table order: each mass goes to its material.
        for (int r = 1; r < w->MatGridCells.RowCount(); ++r)
            w->MatGridCells.SetCell(2, r, "");
        w->MatGridCells.SetCell(1, 1, "Брухт змішаний");
        w->MatGridCells.SetCell(2, 1, "30");
        w->MatGridCells.SetCell(1, 2, " брухт важкий ");
        w->MatGridCells.SetCell(2, 2, "70,5");
        w->MatGridCells.SetCell(1, 3, "Невідомий");
        w->MatGridCells.SetCell(2, 3, "9");
        w->MeltA->trigger();
        QVERIFY(ResultsShown);
        QCOMPARE(double(MaterialTable[1].Amount), 70.5);
        QCOMPARE(double(MaterialTable[2].Amount), 30.0);
        QCOMPARE(double(MaterialTable[3].Amount), 0.0);
        QCOMPARE(double(ChargeTotal), 100.5);
    }

    void f9WithoutMassesComputesNothingAndF8MeltsTheRecommendedCharge()
    {
        for (int r = 1; r < w->MatGridCells.RowCount(); ++r)
            w->MatGridCells.SetCell(2, r, "");
        w->MeltA->trigger();
        QVERIFY(!ResultsShown);
        QVERIFY(w->EditMetM->text().isEmpty());
        QVERIFY(messages.isEmpty());
        w->MeltRecA->trigger();
        QVERIFY(ResultsShown);
        QCOMPARE(double(MaterialTable[1].Amount), 55.0);
        QCOMPARE(Cell(w->MatGridCells, 2, 1), QString("55"));
    }

    void aFeasibleTaskShowsTheOptimisedChargeAtOnce()
    {
        ScriptBlocks(3);
        bool busy = false;
        w->OptimiserCalls.Optimise = [this, &busy](int32_t k) -> int32_t {
            calls.push_back(k);
            busy = CalcBusy;
            Charge(77, 999);
            return lpMet;
        };
        w->StartA->trigger();
        QVERIFY(busy);
        QCOMPARE(calls, std::vector<int32_t>{-1});
        QVERIFY(!CalcBusy);
        QVERIFY(ResultsShown);
        QCOMPARE(Cell(w->MatGridCells, 2, 1), QString("77"));
        QCOMPARE(w->EditCost->text(), QString("%1.00").arg(77 * double(MaterialTable[1].Price), 0, 'f', 0));
        QVERIFY(w->Alternatives.empty());
        QVERIFY(!w->AltView->isVisible());
    }

    void alternativesAreSortedByCostAndTheCheapestIsShown()
    {
        ScriptBlocks(3);
        const std::map<int32_t, long double> costs = {{1, 1200}, {2, 950}, {3, 1010}};
        w->OptimiserCalls.Optimise = [this, costs](int32_t k) -> int32_t {
            calls.push_back(k);
            if (k < 0)
                return lpMetReleased;
            Charge(k, costs.at(k));
            return lpMet;
        };
        w->StartA->trigger();
        QCOMPARE(calls, (std::vector<int32_t>{-1, 1, 2, 3, 2}));
        QCOMPARE(int(w->Alternatives.size()), 3);
        QCOMPARE(w->AltView->topLevelItemCount(), 3);
        QCOMPARE(w->AltView->topLevelItem(0)->text(3), QString("950"));
        QCOMPARE(w->AltView->topLevelItem(1)->text(3), QString("1010"));
        QCOMPARE(w->AltView->topLevelItem(2)->text(3), QString("1200"));
        QCOMPARE(w->AltView->topLevelItem(0)->text(1), QString("0"));
        QCOMPARE(w->CurrentAlternative, 0);
        QVERIFY(w->AltView->isVisible());
        QCOMPARE(w->AltView->height(), 23 * 3 + 29);
        QVERIFY(ResultsShown);
        QCOMPARE(double(MaterialTable[1].Amount), 2.0); // the 950 charge
        QVERIFY(!CalcBusy);

        // Choosing an alternative whose run fails says so.
        w->OptimiserCalls.Optimise = [](int32_t) -> int32_t { return lpNotMet; };
        w->AltViewClick(2);
        QCOMPARE(Texts(), QStringList{"НЕ ЗНАЙДЕНО РІШЕННЯ!"});
        QVERIFY(!ResultsShown);
        QCOMPARE(w->AltView->topLevelItemCount(), 3); // still there to choose from
        QVERIFY(!CalcBusy);
    }

    void aMetLimitEndsTheScanWithoutAList()
    {
        w->OptimiserCalls.BuildConstraintBlocks = [] {
            ConstraintBlocks[1] = {ckFixedMass, 1, 1, 1, "Відсутність", csLower};
            MaterialTable[1].Fixed = 0;
            ConstraintBlocks[2] = {ckMetalMass, 1, 2, 3, "Мін маса металу", csLower};
            ConstraintBlocks[3] = {ckSlagMass, 1, 4, 5, "Мін маса шлаку", csLower};
            ConstraintBlockCount = 3;
            return true;
        };
        w->OptimiserCalls.Optimise = [this](int32_t k) -> int32_t {
            calls.push_back(k);
            if (k < 0)
                return lpMetReleased;
            Charge(5, 100);
            ThSystems[0]->MetalMass = ThSystems[1]->MetalMass = 100; // within 95..105
            return lpMet;
        };
        w->StartA->trigger();
        QCOMPARE(calls, (std::vector<int32_t>{-1, 1, 2, 2}));
        QVERIFY(w->Alternatives.empty());
        QVERIFY(!w->AltView->isVisible());
        QVERIFY(ResultsShown);
    }

    void noSolutionAtAllIsReported()
    {
        ScriptBlocks(2);
        w->OptimiserCalls.Optimise = [this](int32_t k) -> int32_t {
            calls.push_back(k);
            return lpNotMet;
        };
        w->StartA->trigger();
        QCOMPARE(Texts(), QStringList{"НЕ ЗНАЙДЕНО РІШЕННЯ!"});
        QVERIFY(!ResultsShown);
        QVERIFY(w->EditMetM->text().isEmpty());
        QVERIFY(!CalcBusy);
    }

    void aStopDuringTheScanShowsNoAnswer()
    {
        ScriptBlocks(3);
        w->OptimiserCalls.Optimise = [this](int32_t k) -> int32_t {
            calls.push_back(k);
            if (k < 0)
                return lpMetReleased;
            Charge(k, 100.0L * k);
            if (k == 2)
                w->StopA->trigger(); // the user presses Stop during this run
            return lpMet;
        };
        w->StartA->trigger();
        QCOMPARE(calls, (std::vector<int32_t>{-1, 1, 2})); // nothing re-solved as the answer
        QVERIFY(!ResultsShown);
        QCOMPARE(w->SBarPanels[0]->text(), QString(" Розрахунок зупинено"));
        QCOMPARE(w->CurrentAlternative, -1);
        QVERIFY(messages.isEmpty());
        QVERIFY(!CalcBusy);
    }

    void anExceptionEndsTheRun()
    {
        ScriptBlocks(1);
        w->OptimiserCalls.Optimise = [](int32_t) -> int32_t { throw std::runtime_error("збій"); };
        w->StartA->trigger();
        QVERIFY(!CalcBusy);
        QCOMPARE(Texts(), QStringList{"збій"});
        QCOMPARE(w->StartBut->defaultAction(), w->StartA);
    }

    void duringARunCommandsAndClosingOnlyAskToStop()
    {
        ScriptBlocks(1);
        bool stopShown = false, closed = true, stillOpen = false, stopAfterNo = true, stopAfterYes = false;
        w->OptimiserCalls.Optimise = [&, this](int32_t k) -> int32_t {
            calls.push_back(k);
            if (k != -1)
                return lpMet;
            stopShown = w->StartBut->defaultAction() == w->StopA;
            answer = QMessageBox::No;
            closed = w->close();
            stillOpen = w->isVisible();
            w->StartA->trigger();
            w->MeltA->trigger();
            w->MeltRecA->trigger();
            stopAfterNo = StopRequested;
            answer = QMessageBox::Yes;
            w->StartA->trigger();
            stopAfterYes = StopRequested;
            Charge(3, 10);
            return lpMet;
        };
        w->StartA->trigger();
        QVERIFY(stopShown);
        QVERIFY(!closed);
        QVERIFY(stillOpen);
        QVERIFY(!stopAfterNo);
        QVERIFY(stopAfterYes);
        QCOMPARE(calls, std::vector<int32_t>{-1}); // no command ran inside the run
        QCOMPARE(Texts(), QStringList(5, "Зупинити розрахунок?"));
        QVERIFY(!CalcBusy);
        QCOMPARE(w->SBarPanels[0]->text(), QString(" Розрахунок зупинено"));
        QVERIFY(ThSystems[0] && ThSystems[1]); // nothing was freed under the run
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
