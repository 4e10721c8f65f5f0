// The main window on the sample project: start-up melt, display units, F9/F8
// and the optimisation command, its optimiser replaced by scripted runs so
// that every outcome is reached fast.

#include "AppFixture.h"
#include "support/StateWait.h"

#include "Constraints.h"
#include "GridModel.h"
#include "SimplexLP.h"
#include "TaskList.h"
#include "ThSys.h"
#include "support/ShownNumber.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>

#include <map>
#include <stdexcept>

using namespace ferrolyt;

class TstMainWindow : public QObject {
    Q_OBJECT

    TAppFixture f;
    std::vector<int32_t> calls; // blocks passed to the scripted optimiser

    QString Cell(const TStringGrid& g, int col, int row) { return QString::fromStdString(g.Cell(col, row)); }

    // Lists `count` absence blocks over materials 1..count.
    void ScriptBlocks(int count)
    {
        f.w->OptimiserCalls.BuildConstraintBlocks = [count] {
            ConstraintBlockCount = 0;
            for (int k = 1; k <= count; ++k) {
                MaterialTable[k].Fixed = 0;
                ConstraintBlocks[k] = {ckFixedMass, k, k, k, "Відсутність " + MaterialTable[k].Name, csLower};
                ConstraintBlockCount = k;
            }
            return true;
        };
    }

    // A run that leaves `amount` t of material 1 and, in material 2, what
    // makes the charge cost `cost` in all.
    static void Charge(long double amount, long double cost)
    {
        for (int j = 1; j <= MaterialCount; ++j)
            MaterialTable[j].Amount = 0;
        MaterialTable[1].Amount = amount;
        MaterialTable[2].Amount = (cost - amount * MaterialTable[1].Price) / MaterialTable[2].Price;
        ThSystems[0]->MetalMass = 90;
    }

private slots:
    void init()
    {
        QVERIFY2(f.Start(), qPrintable(f.Texts().join("; ")));
        calls.clear();
    }
    void cleanup() { f.Stop(); }

    void startsOnTheSampleProjectAndMeltsIt()
    {
        QVERIFY(ResultsShown);
        QVERIFY(!CalcBusy);
        QCOMPARE(f.w->windowTitle(), QString("Ferrolyt - FERROLYT.FWP"));
        QCOMPARE(Cell(f.w->ElGridCells, 1, 1), QString(" Fe"));
        QCOMPARE(Cell(f.w->ElGridCells, 1, 0), QString("Ел"));
        QCOMPARE(Cell(f.w->ElGridCells, 3, 0), QString("мас%"));
        QCOMPARE(Cell(f.w->ElGridCells, 23, 0), QString("[h] st"));
        const double feMetal = ShownNumber(Cell(f.w->ElGridCells, 2, 1));
        QVERIFY2(feMetal > 95 && feMetal < 100, qPrintable(Cell(f.w->ElGridCells, 2, 1)));
        QCOMPARE(Cell(f.w->ElGridCells, 1, TotalsRow()), QString(" kg"));
        QCOMPARE(Cell(f.w->MatGridCells, 1, 1), QString("Брухт важкий"));
        QCOMPARE(Cell(f.w->MatGridCells, 2, 1), QString("55"));
        QCOMPARE(Cell(f.w->GasGridCells, 1, 1), QString("CO"));
        QCOMPARE(Cell(f.w->GasGridCells, 1, GasLineCount + 1), QString("P tot"));
        QCOMPARE(Cell(f.w->GasGridCells, 1, GasLineCount + 2), QString("V m3"));
        QVERIFY(f.w->EditMetM->text().contains(".."));
        QCOMPARE(f.w->EditP->text(), QString("1"));
        QCOMPARE(f.w->SBarPanels[3]->text(), QString(" Склад фаз: масові %"));
        QVERIFY(f.w->SBarPanels[0]->text().startsWith(" Iтерацiй (вн): "));
        QVERIFY(!f.w->EditCost->text().isEmpty());
        QVERIFY(ChargeTotal > 100); // the shown charge sets the denominator of the shares
        QVERIFY(!f.w->AltView->isVisible());
    }

    void aUnitChangeRedrawsWithoutSolving()
    {
        // A solve would recompute this mass; the redraw shows it as it is.
        ThSystems[0]->El(0).MetalMass = 12.345L;
        f.w->KilosM->trigger();
        QCOMPARE(Settings.CompositionUnit, uint8_t(2));
        QCOMPARE(Cell(f.w->ElGridCells, 2, 1), QString("12345"));
        QCOMPARE(Cell(f.w->ElGridCells, 3, 0), QString("кг"));
        QCOMPARE(f.w->SBarPanels[3]->text(), QString(" Склад фаз: кілограми"));
        f.w->LogM->trigger();
        QCOMPARE(Cell(f.w->ElGridCells, 2, 1), OnScreen("4.091"));
        QCOMPARE(f.w->SBarPanels[3]->text(), QString(" Склад фаз: кілограми (lg)"));
        f.w->KPasM->trigger();
        QCOMPARE(Settings.GasPressureUnit, uint8_t(1));
        QCOMPARE(Cell(f.w->GasGridCells, 1, GasLineCount + 1), QString("P tot"));
        QCOMPARE(Cell(f.w->GasGridCells, 2, GasLineCount + 1), OnScreen("101.3"));
        QCOMPARE(double(ThSystems[0]->El(0).MetalMass), double(12.345L));

        // A logarithm is chosen on its own: a unit or the mean shows values.
        for (QAction* item : {f.w->AtmM, f.w->AveGasM}) {
            emit f.w->GasPop->aboutToShow();
            f.w->GasLgM->trigger();
            QCOMPARE(Settings.GasLogMode, uint8_t(1));
            emit f.w->GasPop->aboutToShow();
            item->trigger();
            QCOMPARE(Settings.GasLogMode, uint8_t(0));
            emit f.w->GasPop->aboutToShow();
            QVERIFY(!f.w->GasLgM->isChecked());
        }
    }

    void f9MeltsTheGridsMassesByName()
    {
        // Rows named out of table order: each mass goes to its material.
        for (int r = 1; r < f.w->MatGridCells.RowCount(); ++r)
            f.w->MatGridCells.SetCell(2, r, "");
        const char* const rows[3][2] = {{"Брухт змішаний", "30"}, {" брухт важкий ", "70,5"}, {"Невідомий", "9"}};
        for (int r = 1; r <= 3; ++r) {
            f.w->MatGridCells.SetCell(1, r, rows[r - 1][0]);
            f.w->MatGridCells.SetCell(2, r, rows[r - 1][1]);
        }
        f.w->MeltA->trigger();
        QVERIFY(ResultsShown);
        QCOMPARE(double(MaterialTable[1].Amount), 70.5);
        QCOMPARE(double(MaterialTable[2].Amount), 30.0);
        QCOMPARE(double(MaterialTable[3].Amount), 0.0);
        QCOMPARE(double(ChargeTotal), 100.5);
    }

    void aMassBeingTypedIsMeltedByTheKeyThatEndsIt_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("F9") << int(Qt::Key_F9);
    }
    void aMassBeingTypedIsMeltedByTheKeyThatEndsIt()
    {
        QFETCH(int, key);
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        const QModelIndex mass = f.w->MatGridModel->index(0, 1); // material 1, mass column
        f.w->MatGrid->setFocus();
        f.w->MatGrid->setCurrentIndex(mass);
        QTest::keyClick(f.w->MatGrid, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "20");
        ResultsShown = false;
        QTest::keyClick(editor, Qt::Key(key));
        QTRY_VERIFY_WITH_TIMEOUT(ResultsShown, StateWaitMs);
        QCOMPARE(double(MaterialTable[1].Amount), 20.0);
        QVERIFY(!f.w->MatGrid->indexWidget(mass)); // the editor is closed
    }

    void f9WithoutMassesComputesNothingAndF8MeltsTheRecommendedCharge()
    {
        for (int r = 1; r < f.w->MatGridCells.RowCount(); ++r)
            f.w->MatGridCells.SetCell(2, r, "");
        f.w->MeltA->trigger();
        QVERIFY(!ResultsShown);
        QVERIFY(f.w->EditMetM->text().isEmpty());
        QVERIFY(f.messages.isEmpty());
        f.w->MeltRecA->trigger();
        QVERIFY(ResultsShown);
        QCOMPARE(double(MaterialTable[1].Amount), 55.0);
        QCOMPARE(Cell(f.w->MatGridCells, 2, 1), QString("55"));
    }

    void aFeasibleTaskShowsTheOptimisedChargeAtOnce()
    {
        ScriptBlocks(3);
        bool busy = false;
        f.w->OptimiserCalls.Optimise = [this, &busy](int32_t k) -> int32_t {
            calls.push_back(k);
            busy = CalcBusy;
            Charge(77, 77 * MaterialTable[1].Price);
            return lpMet;
        };
        f.w->StartA->trigger();
        QVERIFY(busy);
        QCOMPARE(calls, std::vector<int32_t>{-1});
        QVERIFY(!CalcBusy);
        QVERIFY(ResultsShown);
        QCOMPARE(Cell(f.w->MatGridCells, 2, 1), QString("77"));
        QCOMPARE(f.w->EditCost->text(), OnScreen(QString("%1.00").arg(77 * double(MaterialTable[1].Price), 0, 'f', 0)));
        QVERIFY(f.w->Alternatives.empty());
        QVERIFY(!f.w->AltView->isVisible());
    }

    void alternativesAreSortedByCostAndTheCheapestIsShown()
    {
        ScriptBlocks(3);
        const std::map<int32_t, long double> costs = {{1, 1200}, {2, 950}, {3, 1010}};
        f.w->OptimiserCalls.Optimise = [this, costs](int32_t k) -> int32_t {
            calls.push_back(k);
            if (k < 0)
                return lpMetReleased;
            Charge(k, costs.at(k));
            return lpMet;
        };
        f.w->StartA->trigger();
        // The cheapest charge is the one the scan found, not a new run's.
        QCOMPARE(calls, (std::vector<int32_t>{-1, 1, 2, 3}));
        QCOMPARE(int(f.w->Alternatives.size()), 3);
        QCOMPARE(f.w->AltView->topLevelItemCount(), 3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(f.w->AltView->topLevelItem(row)->text(3), (QStringList{"950", "1010", "1200"}[row]));
        QCOMPARE(f.w->AltView->topLevelItem(0)->text(1), QString("0"));
        QCOMPARE(f.w->CurrentAlternative, 0);
        QVERIFY(f.w->AltView->isVisible());
        QCOMPARE(f.w->AltView->height(), 23 * 3 + 29);
        QVERIFY(ResultsShown);
        QCOMPARE(double(MaterialTable[1].Amount), 2.0); // the 950 charge
        QVERIFY(!CalcBusy);

        QCOMPARE(f.w->EditCost->text(), OnScreen("950.00"));

        // Choosing an alternative shows the charge listed with it, every
        // time, whatever a new run would find.
        f.w->OptimiserCalls.Optimise = [](int32_t) -> int32_t {
            Charge(9, 5);
            return lpMet;
        };
        for (int click = 0; click < 2; ++click) {
            f.w->AltViewClick(2);
            QCOMPARE(double(MaterialTable[1].Amount), 1.0); // the 1200 charge
            QCOMPARE(f.w->EditCost->text(), OnScreen("1200.00"));
            QCOMPARE(f.w->CurrentAlternative, 2);
            QVERIFY(ResultsShown);
        }
        QVERIFY(f.Texts().isEmpty());
        QCOMPARE(f.w->AltView->topLevelItemCount(), 3); // still there to choose from
        QVERIFY(!CalcBusy);
    }

    void aMetLimitEndsTheScanWithoutAList()
    {
        f.w->OptimiserCalls.BuildConstraintBlocks = [] {
            ConstraintBlocks[1] = {ckFixedMass, 1, 1, 1, "Відсутність", csLower};
            MaterialTable[1].Fixed = 0;
            ConstraintBlocks[2] = {ckMetalMass, 1, 2, 3, "Мін маса металу", csLower};
            ConstraintBlocks[3] = {ckSlagMass, 1, 4, 5, "Мін маса шлаку", csLower};
            ConstraintBlockCount = 3;
            return true;
        };
        f.w->OptimiserCalls.Optimise = [this](int32_t k) -> int32_t {
            calls.push_back(k);
            if (k < 0)
                return lpMetReleased;
            Charge(5, 100);
            ThSystems[0]->MetalMass = ThSystems[1]->MetalMass = 100; // within 95..105
            return lpMet;
        };
        f.w->StartA->trigger();
        QCOMPARE(calls, (std::vector<int32_t>{-1, 1, 2}));
        QCOMPARE(double(MaterialTable[1].Amount), 5.0); // the charge found at block 2
        QVERIFY(f.w->Alternatives.empty());
        QVERIFY(!f.w->AltView->isVisible());
        QVERIFY(ResultsShown);
    }

    void noSolutionAtAllIsReported()
    {
        ScriptBlocks(2);
        f.w->OptimiserCalls.Optimise = [this](int32_t k) -> int32_t {
            calls.push_back(k);
            return lpNotMet;
        };
        // The heat shown before has its solver, Cp and Kp in the status bar.
        for (int p : {6, 7, 8})
            QVERIFY(!f.w->SBarPanels[p]->text().isEmpty());
        f.w->StartA->trigger();
        QCOMPARE(f.Texts(), QStringList{"НЕ ЗНАЙДЕНО РІШЕННЯ!"});
        QVERIFY(!ResultsShown);
        QVERIFY(f.w->EditMetM->text().isEmpty());
        QVERIFY(!CalcBusy);
        // A run that failed leaves nothing of its own, nor of the heat it cleared.
        for (int p : {6, 7, 8})
            QVERIFY2(f.w->SBarPanels[p]->text().isEmpty(), qPrintable(f.w->SBarPanels[p]->text()));
    }

    void aStopDuringTheScanShowsTheHeatItStartedFrom()
    {
        // An earlier run leaves its alternatives listed and its charge shown.
        ScriptBlocks(3);
        f.w->OptimiserCalls.Optimise = [](int32_t k) -> int32_t {
            if (k < 0)
                return lpMetReleased;
            Charge(k, 1000.0L - k);
            return lpMet;
        };
        f.w->StartA->trigger();
        QCOMPARE(int(f.w->Alternatives.size()), 3);
        const TStringGrid materials = f.w->MatGridCells, elements = f.w->ElGridCells, gas = f.w->GasGridCells;
        const QString metal = f.w->EditMetM->text(), cost = f.w->EditCost->text();
        const long double amount = MaterialTable[1].Amount;
        const long double metalMass = ThSystems[0]->MetalMass;
        QVERIFY(ResultsShown && !metal.isEmpty());

        f.w->OptimiserCalls.Optimise = [this](int32_t k) -> int32_t {
            calls.push_back(k);
            if (k < 0)
                return lpMetReleased;
            Charge(k + 10, 100.0L * k);
            if (k == 2)
                f.w->StopA->trigger(); // the user presses Stop during this run
            return lpMet;
        };
        f.w->StartA->trigger();
        QCOMPARE(calls, (std::vector<int32_t>{-1, 1, 2})); // nothing re-solved as the answer
        QCOMPARE(f.w->SBarPanels[0]->text(), QString(" Розрахунок зупинено"));
        QVERIFY(f.messages.isEmpty());
        QVERIFY(!CalcBusy);

        // The charge and the heat are those F10 started from, on screen and
        // in the model that F9 and the export read.
        QVERIFY(ResultsShown);
        for (int row = 0; row < materials.RowCount(); ++row)
            QCOMPARE(Cell(f.w->MatGridCells, 2, row), Cell(materials, 2, row));
        for (int row = 0; row < elements.RowCount(); ++row)
            for (int col = 1; col < elements.ColCount(); ++col)
                QCOMPARE(Cell(f.w->ElGridCells, col, row), Cell(elements, col, row));
        for (int row = 0; row < gas.RowCount(); ++row)
            QCOMPARE(Cell(f.w->GasGridCells, 1, row), Cell(gas, 1, row));
        QCOMPARE(f.w->EditMetM->text(), metal);
        QCOMPARE(f.w->EditCost->text(), cost);
        QCOMPARE(double(MaterialTable[1].Amount), double(amount));
        QCOMPARE(double(ThSystems[0]->MetalMass), double(metalMass));

        // Only what this run found is listed, and none of it as the answer.
        QCOMPARE(int(f.w->Alternatives.size()), 1);
        QCOMPARE(f.w->AltView->topLevelItemCount(), 1);
        QCOMPARE(f.w->AltView->topLevelItem(0)->text(3), QString("100"));
        QCOMPARE(f.w->CurrentAlternative, -1);
    }

    void anExceptionEndsTheRun()
    {
        ScriptBlocks(1);
        f.w->OptimiserCalls.Optimise = [](int32_t) -> int32_t { throw std::runtime_error("збій"); };
        f.w->StartA->trigger();
        QVERIFY(!CalcBusy);
        QCOMPARE(f.Texts(), QStringList{"збій"});
        QCOMPARE(f.w->StartBut->defaultAction(), f.w->StartA);
    }

    void duringARunCommandsAndClosingOnlyAskToStop()
    {
        ScriptBlocks(1);
        bool stopShown = false, closed = true, stillOpen = false, stopAfterNo = true, stopAfterYes = false;
        f.w->OptimiserCalls.Optimise = [&, this](int32_t k) -> int32_t {
            calls.push_back(k);
            if (k != -1)
                return lpMet;
            stopShown = f.w->StartBut->defaultAction() == f.w->StopA;
            f.answer = QMessageBox::No;
            closed = f.w->close();
            stillOpen = f.w->isVisible();
            f.w->StartA->trigger();
            f.w->MeltA->trigger();
            f.w->MeltRecA->trigger();
            stopAfterNo = StopRequested;
            f.answer = QMessageBox::Yes;
            f.w->StartA->trigger();
            stopAfterYes = StopRequested;
            Charge(3, 10);
            return lpMet;
        };
        f.w->StartA->trigger();
        QVERIFY(stopShown);
        QVERIFY(!closed);
        QVERIFY(stillOpen);
        QVERIFY(!stopAfterNo);
        QVERIFY(stopAfterYes);
        QCOMPARE(calls, std::vector<int32_t>{-1}); // no command ran inside the run
        QCOMPARE(f.Texts(), QStringList(5, "Зупинити розрахунок?"));
        QVERIFY(!CalcBusy);
        QCOMPARE(f.w->SBarPanels[0]->text(), QString(" Розрахунок зупинено"));
        QVERIFY(ThSystems[0] && ThSystems[1]); // nothing was freed under the run
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
