// The reaction-zone window on the melted sample project: its start state,
// how its controls couple the shares, and solving again after a move.

#include "RzForm.h"

#include "ForwardProblem.h"
#include "Model.h"
#include "Project.h"
#include "ReactionZone.h"
#include "ResultDisplay.h"
#include "RunState.h"
#include "Settings.h"
#include "ThSys.h"
#include "support/ShownNumber.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

#include <cmath>
#include <filesystem>
#include <vector>

using namespace ferrolyt;

namespace {

QString Cell(const TStringGrid& g, int col, int row) { return QString::fromStdString(g.Cell(col, row)); }
QString Mask(const char* mask, long double x) { return QString::fromStdString(FormatFloatMask(mask, x)); }

int Fe() { return ThSystems[0]->Elems->Key(keyFe); }

void Enter(QWidget* w)
{
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(w, &in);
}

} // namespace

class TstReactionZone : public QObject {
    Q_OBJECT

    QString savedCwd;
    long double heatMetal = 0; // the melted heat's metal before the window opens
    std::unique_ptr<TRzForm> w; // computes on show

private slots:
    void init()
    {
        savedCwd = QDir::currentPath();
        ResetModel();
        ClearProjectState();
        Settings = TSettingsRecord{};
        Settings.FinalTempMode = 0;
        Settings.CalcNmi = false;
        QVERIFY(LoadProject((std::filesystem::path(FERROLYT_DATA) / "FERROLYT.FWP").string()));
        QVERIFY(MeltForward().BothConverged);
        heatMetal = ThSystems[0]->MetalMass;
        w = std::make_unique<TRzForm>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void cleanup()
    {
        w.reset();
        QDir::setCurrent(savedCwd);
        ClearProjectState();
    }

    void opensOnTheMeltedHeatWithTheStartShares()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("Конструктор РЗ"));
        QCOMPARE(w->CalcBut->text(), QStringLiteral("Расчет"));
        QCOMPARE(w->FixOxiChk->text(), QStringLiteral("Фикс. m O2"));
        QCOMPARE(w->GasAwayChk->text(), QStringLiteral("Уход газа из РЗ"));
        QCOMPARE(w->PhCompItems[0]->text(), QStringLiteral("%"));
        QCOMPARE(w->PhCompItems[1]->text(), QStringLiteral("т"));

        // The track bars' shares at their start positions: 20 % of metal and
        // slag, 4 % oxygen, everything returned.
        const char* const labels[6] = {"20%", "20%", "4%", "100%", "100%", "100%"};
        for (int b = 0; b < 6; ++b)
            QCOMPARE(w->ShareLabels[static_cast<std::size_t>(b)]->text(), QString(labels[b]));
        QCOMPARE(w->TrMetToRZ->value(), 80);
        QCOMPARE(w->kMet, 0.2);
        QCOMPARE(w->kSlg, 0.2);
        QCOMPARE(w->kGasBack, 1.0);
        const double mO2 = 0.2 * static_cast<double>(heatMetal) * 0.04 / 0.96;
        QCOMPARE(w->OxiEd->text(), Mask("0.00", mO2));
        QVERIFY(w->ZoneConverged);
        QVERIFY(w->FinalConverged);
        // With the heat balance on too: 10 % oxygen (2.22 t) heated the zone
        // past 2900 °C and found no equilibrium.
        for (const uint8_t mode : {uint8_t(1), uint8_t(2)}) {
            Settings.FinalTempMode = mode;
            QVERIFY(MeltForward().BothConverged);
            w->CalcBut->click();
            QVERIFY2(w->ZoneConverged && w->FinalConverged, qPrintable(QString::number(mode)));
        }
        Settings.FinalTempMode = 0;
        QVERIFY(MeltForward().BothConverged);
        w->CalcBut->click();

        // Frames of the grids, and the heat in per cent.
        for (const TStringGrid* g : {&w->IniSysGridCells, &w->RzGridCells, &w->FinSysGridCells}) {
            QCOMPARE(Cell(*g, 1, 0), QStringLiteral("Mасса"));
            QCOMPARE(Cell(*g, 0, 1), QStringLiteral("Мет"));
            QCOMPARE(Cell(*g, 0, 4), QStringLiteral("Всего"));
            QCOMPARE(Cell(*g, 0, 5), QStringLiteral("t°C"));
        }
        const TElementRecord& fe = ThSystems[0]->El(Fe());
        QCOMPARE(Cell(w->IniSysGridCells, Fe() + 2, 0), QString::fromStdString(fe.Symbol));
        // Every element has its column, the last one too.
        QVERIFY(w->RzGridCells.ColCount() >= SystemElemLast + 3);
        QCOMPARE(Cell(w->RzGridCells, SystemElemLast + 2, 0),
                 QString::fromStdString(ThSystems[0]->El(SystemElemLast).Symbol));
        QVERIFY(!Cell(w->RzGridCells, SystemElemLast + 2, 4).isEmpty());
        QCOMPARE(Cell(w->IniSysGridCells, Fe() + 2, 1), Mask("0.000", 100 * fe.MetalFraction));
        QCOMPARE(Cell(w->IniSysGridCells, 1, 1), Mask("0.000", heatMetal));
        QCOMPARE(Cell(w->IniSysGridCells, 1, 5), Mask("0.000", ThSystems[0]->Temperature - KelvinOffset));
        QCOMPARE(Cell(w->RzGridCells, 1, 2), Mask("0.000", ThSystems[3]->SlagMass));
        QCOMPARE(Cell(w->FinSysGridCells, 1, 1), Mask("0.000", ThSystems[2]->MetalMass));
        // The zone takes the oxygen shown in the edit.
        const int oxygen = MaterialIndexByName(ReactionZoneOxygenName);
        QVERIFY(oxygen > 0);
        double fraction = 0;
        for (int i = 0; i <= SystemElemLast; ++i)
            fraction += CompositionMin[static_cast<std::size_t>(i + 1)][oxygen];
        const double zoneMass = 0.2 * static_cast<double>(ThSystems[0]->MetalMass + ThSystems[0]->SlagMass)
            + ShownNumber(w->OxiEd->text()) * fraction;
        QVERIFY(std::fabs(static_cast<double>(ThSystems[3]->TotalMass) - zoneMass) < 1e-5 * zoneMass);
    }

    void movingATrackBarAndCalculatingSolvesAgain()
    {
        const QString zoneSlag = Cell(w->RzGridCells, 1, 2);
        const QString finalMetal = Cell(w->FinSysGridCells, 1, 1);
        const auto charge = [] {
            std::vector<long double> amounts;
            for (int j = 1; j <= MaterialCount + 3; ++j)
                amounts.push_back(MaterialTable[j].Amount);
            return amounts;
        };
        const std::vector<long double> melted = charge();

        w->TrSlgToRZ->setValue(50);
        QCOMPARE(w->ShareLabels[1]->text(), QStringLiteral("50%"));
        QCOMPARE(w->kSlg, 0.5);
        QCOMPARE(w->mSlgRZ, 0.5 * static_cast<double>(ThSystems[0]->SlagMass));
        // A track bar only sets its share; the button computes.
        QCOMPARE(Cell(w->RzGridCells, 1, 2), zoneSlag);
        QTest::mouseClick(w->CalcBut, Qt::LeftButton);
        QVERIFY(Cell(w->RzGridCells, 1, 2) != zoneSlag);
        QCOMPARE(Cell(w->RzGridCells, 1, 2), Mask("0.000", ThSystems[3]->SlagMass));

        // Keeping the zone's metal out of the final system.
        w->TrMetFromRZ->setValue(100);
        QCOMPARE(w->ShareLabels[3]->text(), QStringLiteral("0%"));
        QCOMPARE(w->kMetBack, 0.0);
        QTest::mouseClick(w->CalcBut, Qt::LeftButton);
        // The zone's own charge is gone again: the heat keeps the melt's.
        QVERIFY(charge() == melted);
        QVERIFY(ShownNumber(Cell(w->FinSysGridCells, 1, 1)) < ShownNumber(finalMetal) - 1);
        QCOMPARE(Cell(w->FinSysGridCells, 1, 1), Mask("0.000", ThSystems[2]->MetalMass));
    }

    void unitsChoiceRedrawsInTonnes()
    {
        w->PhCompItems[1]->click();
        QVERIFY(!w->ShowPercent);
        const TElementRecord& fe = ThSystems[0]->El(Fe());
        QCOMPARE(Cell(w->IniSysGridCells, Fe() + 2, 1), Mask("0.000", fe.MetalMass));
        QCOMPARE(Cell(w->RzGridCells, Fe() + 2, 4), Mask("0.000", ThSystems[3]->El(Fe()).TotalMass));
    }

    void gasAwayReturnsNoGas()
    {
        w->GasAwayChk->click();
        QCOMPARE(w->TrGasFromRZ->value(), 100);
        QCOMPARE(w->kGasBack, 0.0);
        QCOMPARE(w->ShareLabels[5]->text(), QStringLiteral("0%"));
        w->GasAwayChk->click();
        QCOMPARE(w->TrGasFromRZ->value(), 0);
        QCOMPARE(w->kGasBack, 1.0);
    }

    void enteringTheOxygenEditFixesTheOxygenMass()
    {
        QVERIFY(!w->FixOxiChk->isChecked());
        Enter(w->OxiEd);
        QVERIFY(w->FixOxiChk->isChecked());

        // A typed mass sets the oxygen share's track bar (integer part).
        w->OxiEd->setText(QStringLiteral("2,5"));
        QCOMPARE(w->mO2, 2.5);
        const double kO = 2.5 / (w->mMetRZ + 2.5);
        QCOMPARE(w->kO, kO);
        QCOMPARE(w->TrackOxi->value(), static_cast<int>(20 - 100 * kO));
        QCOMPARE(w->OxiEd->text(), QStringLiteral("2,5"));

        // Less metal in the zone: the oxygen share follows, the mass stays.
        w->TrMetToRZ->setValue(60);
        QCOMPARE(w->mO2, 2.5);
        QCOMPARE(w->OxiEd->text(), QStringLiteral("2,5"));
        const double mMetRZ = 0.4 * static_cast<double>(ThSystems[0]->MetalMass);
        QCOMPARE(w->mMetRZ, mMetRZ);
        QCOMPARE(w->TrackOxi->value(), static_cast<int>(std::lround(20 - 100 * 2.5 / (mMetRZ + 2.5))));
        QCOMPARE(w->ShareLabels[0]->text(), QStringLiteral("40%"));

        // A larger oxygen share draws in less metal for the same mass.
        const int metalPosition = w->TrMetToRZ->value();
        w->TrackOxi->setValue(w->TrackOxi->value() - 5);
        QCOMPARE(w->mO2, 2.5);
        QVERIFY(w->TrMetToRZ->value() > metalPosition);
        const double metalIn = 2.5 * (1 / w->kO - 1) / static_cast<double>(ThSystems[0]->MetalMass);
        QCOMPARE(w->TrMetToRZ->value(), static_cast<int>(std::lround(100 - 100 * metalIn)));
    }

    void freeOxygenFollowsTheShares()
    {
        w->TrackOxi->setValue(15); // 5 %
        const double expected = w->mMetRZ * 0.05 / 0.95;
        QCOMPARE(w->OxiEd->text(), Mask("0.00", expected));
        QCOMPARE(w->ShareLabels[2]->text(), QStringLiteral("5%"));
        // No metal drawn in: no oxygen, and no text that is not a number.
        w->TrMetToRZ->setValue(100);
        QCOMPARE(w->mO2, 0.0);
        QCOMPARE(w->OxiEd->text(), Mask("0.00", 0));
        QTest::mouseClick(w->CalcBut, Qt::LeftButton);
        QVERIFY(w->FinalConverged);
    }

    void oxygenTextThatIsNoNumberKeepsTheLastMass()
    {
        Enter(w->OxiEd);
        w->OxiEd->setText(QStringLiteral("1.75"));
        w->OxiEd->setText(QStringLiteral("1.7x"));
        QCOMPARE(w->mO2, 1.75);
        QTest::mouseClick(w->CalcBut, Qt::LeftButton);
        QCOMPARE(w->OxiEd->text(), OnScreen("1.75"));
        QVERIFY(w->ZoneConverged);
    }
};

QTEST_MAIN(TstReactionZone)
#include "tst_reactionzone.moc"
