// The small studies on the melted sample heat: the electroneutrality curve,
// the oxygen solubility isotherms, the Gibbs-Duhem check and the one-phase
// equilibria of both systems.

#include "ReactionZone.h"
#include "Studies.h"
#include "StudyScope.h"
#include "StudyFixtures.h"
#include "SystemSetup.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ferrolyt::test {
namespace {

double D(long double v) { return static_cast<double>(v); }

// Potential at which the curve's charge changes sign, by linear
// interpolation between the two points around it.
double ZeroCrossing(const TElectroneutralityCurve& curve)
{
    for (std::size_t k = 1; k < curve.Points.size(); ++k) {
        const auto& a = curve.Points[k - 1];
        const auto& b = curve.Points[k];
        if ((a[0] > 0) != (b[0] > 0))
            return a[1] + (b[1] - a[1]) * a[0] / (a[0] - b[0]);
    }
    return NAN;
}

// ---------------------------------------------------------------------------

using ElectroneutralityCurveStudy = MeltedSampleBase;

TEST_F(ElectroneutralityCurveStudy, CurveCrossesZeroAtTheSolversPotential)
{
    const std::pair<TCurveSystem, int> cases[] = {{TCurveSystem::Lower, 0}, {TCurveSystem::Upper, 1}};
    for (const auto& [mode, k] : cases) {
        SCOPED_TRACE("system " + std::to_string(k));
        const TElectroneutralityCurve curve = ElectroneutralityCurve(mode);
        ASSERT_EQ(curve.Points.size(), static_cast<std::size_t>(ElectroneutralityPoints));
        EXPECT_DOUBLE_EQ(curve.Points.front()[1], curve.Low);
        EXPECT_NEAR(curve.Points.back()[1], curve.High, 1e-9 * std::fabs(curve.High));
        const double step = (curve.High - curve.Low) / 1000;
        EXPECT_NEAR(ZeroCrossing(curve), D(ThSystems[static_cast<std::size_t>(k)]->SlagPotential), 0.05 * step);
        // The charge falls as the potential rises.
        for (std::size_t p = 1; p < curve.Points.size(); ++p)
            ASSERT_LE(curve.Points[p][0], curve.Points[p - 1][0]) << "point " << p;
    }
}

TEST_F(ElectroneutralityCurveStudy, MarksLieOnTheCurveAndCoverThePresentElements)
{
    const TElectroneutralityCurve curve = ElectroneutralityCurve(TCurveSystem::Lower);
    const TThSys& sys = *ThSystems[0];
    int charged = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        if (sys.El(i).Valence != 0 && sys.El(i).Amount > 1e-10L)
            ++charged;
    EXPECT_EQ(static_cast<int>(curve.Present.size()), charged);
    for (const TChargeMark& m : curve.Present) {
        SCOPED_TRACE(m.Symbol);
        EXPECT_NE(sys.El(m.Element).Valence, 0);
        EXPECT_GE(m.Potential, curve.Low);
        EXPECT_LE(m.Potential, curve.High);
        const double q = D(sys.SlagChargeAt(m.Potential) / sys.SlagMoles);
        EXPECT_NEAR(m.Charge, q, 1e-9 * (1 + std::fabs(q)));
    }
    for (const TChargeMark& m : curve.AbsentInRange) {
        EXPECT_LE(sys.El(m.Element).Amount, 1e-10L) << m.Symbol;
        EXPECT_GE(m.Potential, curve.Low);
        EXPECT_LE(m.Potential, curve.High);
    }
}

TEST_F(ElectroneutralityCurveStudy, AverageModeTakesTheMeanOfBothSystems)
{
    const TElectroneutralityCurve lower = ElectroneutralityCurve(TCurveSystem::Lower);
    const TElectroneutralityCurve upper = ElectroneutralityCurve(TCurveSystem::Upper);
    const TElectroneutralityCurve mean = ElectroneutralityCurve(TCurveSystem::Average);
    ASSERT_FALSE(mean.Present.empty());
    for (const TChargeMark& m : mean.Present) {
        for (const TChargeMark& a : lower.Present)
            for (const TChargeMark& b : upper.Present)
                if (a.Element == m.Element && b.Element == m.Element) {
                    EXPECT_NEAR(m.Potential, (a.Potential + b.Potential) / 2, 1e-9) << m.Symbol;
                }
    }
    const double mu = (mean.Low + mean.High) / 2;
    const double expected = D((ThSystems[0]->SlagChargeAt(mu) / ThSystems[0]->SlagMoles
                               + ThSystems[1]->SlagChargeAt(mu) / ThSystems[1]->SlagMoles) / 2);
    const auto& middle = mean.Points[500];
    EXPECT_NEAR(middle[1], mu, 1e-9 * (1 + std::fabs(mu)));
    EXPECT_NEAR(middle[0], expected, 1e-9 * (1 + std::fabs(expected)));
}

TEST_F(ElectroneutralityCurveStudy, WithoutChargedElementsPresentTheCurveIsEmpty)
{
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i <= SystemElemLast; ++i)
            ThSystems[static_cast<std::size_t>(k)]->El(i).Amount = 0;
    const TElectroneutralityCurve curve = ElectroneutralityCurve(TCurveSystem::Average);
    EXPECT_TRUE(curve.Points.empty());
    EXPECT_TRUE(curve.Present.empty());
    EXPECT_TRUE(curve.AbsentInRange.empty());
}

// ---------------------------------------------------------------------------

class SolubilityIsothermStudy : public MeltedSampleBase {
protected:
    void SetUp() override
    {
        MeltedSampleBase::SetUp();
        // The sample project's "O" and "Al" are all the study charges: the
        // bath is the task's initial metal, 100 t of the task's sample.
        TTaskRecord& task = TaskList.CurrentTask();
        task.IniMinMet = task.IniMaxMet = 100;
    }
    static TIsothermOptions FewPoints()
    {
        TIsothermOptions o;
        o.FirstPoint = 5;
        o.LastPoint = 200;
        o.PointStride = 15;
        return o;
    }
};

TEST_F(SolubilityIsothermStudy, OxygenFallsAsAluminiumRises)
{
    Settings.FinalTempMode = 2;
    const TIsotherms result = SolubilityIsotherms(FewPoints());
    ASSERT_TRUE(result.Possible) << result.Missing;
    EXPECT_EQ(Settings.FinalTempMode, 2); // kept and restored
    const double lgAl03 = std::log10(0.3);
    for (const TIsotherm& curve : result.Curves) {
        SCOPED_TRACE(curve.TemperatureC);
        ASSERT_GE(curve.Points.size(), 10u);
        std::size_t lowest = 0;
        for (std::size_t k = 1; k < curve.Points.size(); ++k) {
            EXPECT_GT(curve.Points[k][0], curve.Points[k - 1][0]) << "aluminium, point " << k;
            // Deoxidation: up to a few tenths of a per cent of aluminium the
            // oxygen falls at every point.
            if (curve.Points[k][0] < lgAl03) {
                EXPECT_LT(curve.Points[k][1], curve.Points[k - 1][1]) << "oxygen, point " << k;
            }
            if (curve.Points[k][1] < curve.Points[lowest][1])
                lowest = k;
        }
        // The interaction of aluminium with oxygen turns the curve up only
        // beyond 0.1 % Al, and gently.
        EXPECT_GT(curve.Points[lowest][0], -1.0);
        EXPECT_LT(curve.Points.back()[1] - curve.Points[lowest][1], 0.5);
        // From an oxidised bath to a killed steel: below 10 ppm of oxygen.
        EXPECT_GT(curve.Points.front()[1], -1.5);
        EXPECT_LT(curve.Points[lowest][1], -3.0);
    }
    // The temperature of the last isotherm stays on the system.
    EXPECT_NEAR(D(ThSystems[0]->Temperature), 1650 + 273.15, 1e-9);
}

// One point well into the killed range; the study charges only the oxidiser
// and the deoxidiser.
TEST_F(SolubilityIsothermStudy, HotterMetalHoldsMoreOxygen)
{
    TIsothermOptions o = FewPoints();
    o.FirstPoint = o.LastPoint = 200;
    const TIsotherms result = SolubilityIsotherms(o);
    ASSERT_TRUE(result.Possible);
    for (const TIsotherm& curve : result.Curves)
        ASSERT_EQ(curve.Points.size(), 1u);
    EXPECT_LT(result.Curves[0].Points[0][1], result.Curves[1].Points[0][1]);
    EXPECT_LT(result.Curves[1].Points[0][1], result.Curves[2].Points[0][1]);
    const int oxygen = MaterialIndexByName("O"), aluminium = MaterialIndexByName("Al");
    for (int j = 1; j <= MaterialCount; ++j) {
        const long double expected = j == oxygen ? 2.0L : j == aluminium ? 200 / 51.0L : 0;
        EXPECT_EQ(MaterialTable[j].Amount, expected) << MaterialTable[j].Name;
    }
}

// What the main window, the task editor and the optimiser read of a melt.
std::vector<long double> MeltAsShown()
{
    std::vector<long double> v{ChargeTotal, MaterialEffectsOnMetal[0][1][1], ElementEffectsOnSlag[0][1][1]};
    for (int k = 0; k < 2; ++k) {
        const TThSys& s = *ThSystems[static_cast<std::size_t>(k)];
        v.insert(v.end(), {s.Temperature, s.MetalMass, s.SlagMass, s.GasMass, s.SlagPotential, s.SlagCharge});
        for (int i = 0; i <= SystemElemLast; ++i)
            v.insert(v.end(), {s.El(i).MetalAmount, s.El(i).SlagAmount, s.El(i).GasAmount, s.El(i).InputMetalMass});
    }
    for (int j = 1; j <= MaterialCount + 3; ++j)
        v.insert(v.end(), {MaterialTable[j].Amount, MaterialTable[j].Temperature, CompositionMin[1][j]});
    return v;
}

TEST_F(SolubilityIsothermStudy, AStudyScopeGivesTheMeltBackAfterEveryStudy)
{
    Settings.FinalTempMode = 1;
    const std::vector<long double> melt = MeltAsShown();
    {
        const TStudyScope scope;
        ASSERT_TRUE(SolubilityIsotherms(FewPoints()).Possible);
        ASSERT_TRUE(GibbsDuhemCheck().Done);
        EquilibrateBothSystems(true, true);
        SolveReactionZone({.Oxygen = 1.0L});
        ASSERT_NE(MeltAsShown(), melt); // the studies did change it meanwhile
    }
    EXPECT_EQ(MeltAsShown(), melt);
}

using SolubilityIsothermThatCannotBeDrawn = MeltedSampleBase;

TEST_F(SolubilityIsothermThatCannotBeDrawn, AMissingMaterialIsNamedAndNothingIsSolved)
{
    Settings.FinalTempMode = 1;
    MaterialTable[MaterialIndexByName("O")].Name = "O2";
    const TIsotherms result = SolubilityIsotherms();
    EXPECT_FALSE(result.Possible);
    EXPECT_EQ(result.Missing, "O");
    EXPECT_EQ(result.Message, "Ізотерми розчинності кисню: у проєкті немає матеріалу \"O\"");
    for (const TIsotherm& curve : result.Curves)
        EXPECT_TRUE(curve.Points.empty());
    EXPECT_EQ(Settings.FinalTempMode, 1);
}

TEST_F(SolubilityIsothermThatCannotBeDrawn, ATaskWithoutABathSaysWhy)
{
    // The arc-furnace task starts from scrap: oxygen and aluminium alone
    // make no metal to solve.
    TIsothermOptions few;
    few.LastPoint = 60;
    few.PointStride = 20;
    const TIsotherms result = SolubilityIsotherms(few);
    EXPECT_TRUE(result.Possible);
    for (const TIsotherm& curve : result.Curves)
        EXPECT_TRUE(curve.Points.empty());
    EXPECT_NE(result.Message.find("вихідного металу"), std::string::npos) << result.Message;
}

// ---------------------------------------------------------------------------

using GibbsDuhemStudy = MeltedSampleBase;

TEST_F(GibbsDuhemStudy, DifferencesAreFiniteAndSmall)
{
    Settings.FinalTempMode = 1;
    const TGibbsDuhemResult r = GibbsDuhemCheck();
    ASSERT_TRUE(r.Done);
    EXPECT_TRUE(r.FirstConverged);
    EXPECT_TRUE(r.SecondConverged);
    EXPECT_EQ(Settings.FinalTempMode, 1);
    const long double rt = GasConstant * ThSystems[0]->Temperature;
    bool anyChange = false;
    for (int i = 0; i <= SystemElemLast; ++i) {
        for (int p = 0; p < 3; ++p) {
            const long double dMu = r.PotentialChange[static_cast<std::size_t>(i)][static_cast<std::size_t>(p)];
            const long double dN = r.AmountChange[static_cast<std::size_t>(i)][static_cast<std::size_t>(p)];
            ASSERT_TRUE(std::isfinite(D(dMu))) << ThSystems[0]->El(i).Symbol << " phase " << p;
            ASSERT_TRUE(std::isfinite(D(dN)));
            // 10 kg in a 100 t heat moves no potential by a thousandth of RT.
            if (ThSystems[0]->El(i).Amount > 1e-6L) {
                EXPECT_LT(std::fabs(D(dMu / rt)), 1e-3) << ThSystems[0]->El(i).Symbol << " phase " << p;
            }
            EXPECT_LT(std::fabs(D(dN)), 1e-5);
            anyChange = anyChange || dMu != 0;
        }
    }
    EXPECT_TRUE(anyChange);
    // The seventh material keeps its increment until the next set-up.
    const long double charged = MaterialTable[GibbsDuhemMaterial].Amount;
    PrepareSystems();
    EXPECT_NEAR(D(charged - MaterialTable[GibbsDuhemMaterial].Amount), 1e-5, 1e-12);
}

TEST_F(GibbsDuhemStudy, TheReportWritesItsNumbersWithTheScreensSeparator)
{
    const TGibbsDuhemResult r = GibbsDuhemCheck();
    ASSERT_TRUE(r.Done);
    MaterialTable[GibbsDuhemMaterial].Name = "ФС 1.5"; // a name keeps its point
    const std::string text = GibbsDuhemReport(r, ',');
    EXPECT_NE(text.find("додавання 0,00001 т матеріалу \"ФС 1.5\""), std::string::npos) << text;
    const std::string sums = text.substr(text.find('\n'));
    EXPECT_EQ(sums.find('.'), std::string::npos) << sums;
    EXPECT_NE(sums.find(','), std::string::npos) << sums;
    EXPECT_NE(GibbsDuhemReport(r).find("додавання 0.00001 т"), std::string::npos);
}

TEST_F(GibbsDuhemStudy, FewerThanSevenMaterialsLeaveEverythingAlone)
{
    MaterialCount = GibbsDuhemMaterial - 1;
    const long double temperature = ThSystems[0]->Temperature;
    const TGibbsDuhemResult r = GibbsDuhemCheck();
    EXPECT_FALSE(r.Done);
    EXPECT_EQ(ThSystems[0]->Temperature, temperature);
}

// ---------------------------------------------------------------------------

using OnePhaseCommands = MeltedSampleBase;

TEST_F(OnePhaseCommands, StatusShowsBothPotentials)
{
    for (const bool metalWithSlag : {true, false}) {
        SCOPED_TRACE(metalWithSlag ? "metal with slag" : "slag with metal");
        const TOnePhaseResult r = EquilibrateBothSystems(metalWithSlag, false);
        const std::string expected = " Mu/RT: " + FormatTwoDecimals(ThSystems[0]->SlagPotential) + ".."
                                     + FormatTwoDecimals(ThSystems[1]->SlagPotential);
        EXPECT_EQ(r.StatusText, expected);
        EXPECT_EQ(host_.status[2], expected);
    }
}

TEST_F(OnePhaseCommands, ARefusedCommandLeavesTheStatusAsItWas)
{
    // Neither system holds the initial phase the command starts from.
    const std::pair<bool, long double TElementRecord::*> commands[] = {
        {true, &TElementRecord::InputSlagMass}, {false, &TElementRecord::InputMetalMass}};
    for (const auto& [metalWithSlag, given] : commands) {
        SCOPED_TRACE(metalWithSlag ? "metal with slag" : "slag with metal");
        PrepareSystems();
        for (const auto& sys : ThSystems)
            for (int i = 0; i <= SystemElemLast; ++i)
                sys->El(i).*given = 0;
        host_.status[2] = " Mu: 3.1..3.2";
        host_.warnings.clear();
        const TOnePhaseResult r = EquilibrateBothSystems(metalWithSlag, true);
        EXPECT_TRUE(r.Refused);
        EXPECT_EQ(host_.warnings.size(), 1u); // the lower system's refusal
        EXPECT_EQ(host_.status[2], " Mu: 3.1..3.2");
    }
}

TEST(FormatTwoDecimals, AtMostTwoDecimalsWithoutTrailingZeros)
{
    EXPECT_EQ(FormatTwoDecimals(3.14159L), "3.14");
    EXPECT_EQ(FormatTwoDecimals(-2.5L), "-2.5");
    EXPECT_EQ(FormatTwoDecimals(7.0L), "7");
    EXPECT_EQ(FormatTwoDecimals(1.005001L), "1.01");
    EXPECT_EQ(FormatTwoDecimals(-0.001L), "0");
    EXPECT_EQ(FormatTwoDecimals(12345.678L), "12345.68");
}

} // namespace
} // namespace ferrolyt::test
