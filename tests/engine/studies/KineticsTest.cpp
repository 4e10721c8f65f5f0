// The relaxation of the melted sample heat towards its equilibrium, and the
// slag potential that the relaxation and the electroneutrality curve share.

#include "Kinetics.h"
#include "StudyFixtures.h"
#include "TaskList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace ferrolyt::test {
namespace {

double D(long double v) { return static_cast<double>(v); }

struct TSnapshot {
    std::vector<long double> Slag, Total;
};

TSnapshot Take(const TThSys& sys)
{
    TSnapshot s;
    for (int i = 0; i <= SystemElemLast; ++i) {
        s.Slag.push_back(sys.El(i).SlagAmount);
        s.Total.push_back(sys.El(i).Amount);
    }
    return s;
}

// Distance of the slag's composition (element mole fractions) from the
// equilibrium's: half the sum of the differences, 0 .. 1.
double SlagDistance(const TThSys& sys, const TSnapshot& target)
{
    long double total = 0, targetTotal = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        total += sys.El(i).SlagAmount;
        targetTotal += target.Slag[static_cast<std::size_t>(i)];
    }
    long double gap = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        gap += std::fabs(sys.El(i).SlagAmount / total - target.Slag[static_cast<std::size_t>(i)] / targetTotal);
    return D(gap / 2);
}

// ---------------------------------------------------------------------------

using SlagPotentialRoot = MeltedSampleBase;

TEST_F(SlagPotentialRoot, SlagIsNeutralAtTheSolversPotential)
{
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE("system " + std::to_string(k));
        const TThSys& sys = *ThSystems[static_cast<std::size_t>(k)];
        long double scale = 0;
        for (int i = 0; i <= SystemElemLast; ++i)
            scale += std::fabs(sys.El(i).Valence * sys.El(i).SlagAmount);
        // Gas is present in the melted heat, so the gas term of the charge
        // function is exercised too.
        ASSERT_TRUE(sys.GasPresent);
        EXPECT_NEAR(D(sys.SlagChargeAt(sys.SlagPotential) / scale), 0.0, 1e-6);
        // Raising the potential drives cations out of the slag and anions in.
        EXPECT_GT(sys.SlagChargeAt(sys.SlagPotential - 0.5L), 0);
        EXPECT_LT(sys.SlagChargeAt(sys.SlagPotential + 0.5L), 0);
    }
}

TEST_F(SlagPotentialRoot, RootSearchFindsTheSolversPotentialFromAFarStart)
{
    TThSys& sys = *ThSystems[0];
    const long double solved = sys.SlagPotential;
    for (const long double offset : {-8.0L, -1.0L, 0.3L, 5.0L, 20.0L}) {
        SCOPED_TRACE(D(offset));
        sys.SlagPotential = solved + offset;
        EXPECT_NEAR(D(sys.SolveFermiLevel()), D(solved), 1e-5);
    }
    sys.SlagPotential = solved;
}

// ---------------------------------------------------------------------------

class KineticsRun : public MeltedSampleBase {
protected:
    void Start(TKinetics& kin)
    {
        kin.RecordTarget();
        kin.SetUpStart(TaskList.CurrentTask());
        kin.PreparePhases();
    }

    // Runs blocks of 250 steps: the slag's distance from the equilibrium
    // must fall in every one.
    static void ExpectApproaches(TKinetics& kin, const TThSys& sys, const TSnapshot& equilibrium, int blocks)
    {
        double previous = SlagDistance(sys, equilibrium);
        for (int block = 0; block < blocks; ++block) {
            for (int step = 0; step < 250; ++step)
                kin.Step();
            const double now = SlagDistance(sys, equilibrium);
            EXPECT_LT(now, previous) << "block " << block;
            previous = now;
        }
    }
};

TEST_F(KineticsRun, TargetRowHoldsTheMeltedState)
{
    TThSys& sys = *ThSystems[0];
    TKinetics kin(sys);
    kin.RecordTarget();
    for (int i = 0; i <= SystemElemLast; ++i) {
        EXPECT_FLOAT_EQ(kin.Target()[static_cast<std::size_t>(KinValueColumn(kinSlag, i))],
                        static_cast<float>(sys.El(i).SlagAmount));
        EXPECT_FLOAT_EQ(kin.Target()[static_cast<std::size_t>(KinValueColumn(kinMetal, i))],
                        static_cast<float>(sys.El(i).MetalAmount));
    }
    EXPECT_FLOAT_EQ(kin.Target()[1], static_cast<float>(sys.Temperature));
}

TEST_F(KineticsRun, WithoutSlagChargeStartsFromTheUnmixedChargeAndMovesTowardsTheSolversEquilibrium)
{
    TThSys& sys = *ThSystems[0];
    const TSnapshot equilibrium = Take(sys);
    TTaskRecord& task = TaskList.CurrentTask();
    task.Charge = UnsetValue;
    TKinetics kin(sys);
    kin.RecordTarget();
    ASSERT_EQ(sys.SlagCharge, 0);
    ASSERT_TRUE(kin.SetUpStart(task));
    // All the charged calcium comes with slag-forming materials and starts
    // in the slag; the metal starts without it.
    const int ca = sys.Elems->IndexOfSymbol("Ca");
    ASSERT_GE(ca, 0);
    long double slagCa = sys.El(ca).InputSlagMass;
    for (int j = 1; j <= MaterialCount; ++j)
        if (MaterialTable[j].Amount > 0 && MaterialTable[j].Type == mtSlag)
            slagCa += MaterialTable[j].Amount * CompositionMin[static_cast<std::size_t>(ca + 1)][j];
    EXPECT_NEAR(D(sys.El(ca).SlagAmount * sys.El(ca).MolarMass), D(slagCa), 1e-6 * D(slagCa));
    // Iron balances the slag's charge.
    long double charge = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        charge += sys.El(i).Valence * sys.El(i).SlagAmount;
    EXPECT_NEAR(D(charge), 0.0, 1e-9);

    kin.PreparePhases();
    ASSERT_GT(SlagDistance(sys, equilibrium), 0.05) << "the run should start away from equilibrium";
    ExpectApproaches(kin, sys, equilibrium, 8);
}

TEST_F(KineticsRun, WithSlagChargeStartsFromTheSolvedState)
{
    TThSys& sys = *ThSystems[0];
    TTaskRecord& task = TaskList.CurrentTask();
    task.Charge = 0.5L;
    TKinetics kin(sys);
    kin.RecordTarget();
    const TSnapshot solved = Take(sys);
    EXPECT_FALSE(kin.SetUpStart(task));
    EXPECT_EQ(sys.SlagCharge, 0.5L);
    for (int i = 0; i <= SystemElemLast; ++i)
        EXPECT_EQ(sys.El(i).Amount, solved.Total[static_cast<std::size_t>(i)]);
}

TEST_F(KineticsRun, EveryStepKeepsEachElementsAmount)
{
    TThSys& sys = *ThSystems[0];
    TKinetics kin(sys);
    Start(kin);
    const TSnapshot start = Take(sys);
    for (int step = 0; step < 300; ++step) {
        kin.Step();
        for (int i = 0; i <= SystemElemLast; ++i) {
            const TElementRecord& e = sys.El(i);
            const std::size_t k = static_cast<std::size_t>(i);
            ASSERT_EQ(e.Amount, start.Total[k]) << e.Symbol;
            ASSERT_NEAR(D((e.MetalAmount + e.SlagAmount + e.GasAmount) / e.Amount), 1.0, 1e-12)
                << e.Symbol << " at step " << step;
            ASSERT_GT(e.MetalAmount, 0);
            ASSERT_GT(e.SlagAmount, 0);
            ASSERT_GT(e.GasAmount, 0);
        }
    }
    EXPECT_EQ(kin.StepCount(), 300);
    EXPECT_GT(kin.Time(), 0);
}

TEST_F(KineticsRun, ReturnsToTheSolversEquilibriumAfterADisturbance)
{
    TThSys& sys = *ThSystems[0];
    const TSnapshot equilibrium = Take(sys);
    TKinetics kin(sys);
    kin.RecordTarget();
    TaskList.CurrentTask().Charge = 0.001L; // a slag charge: start from the solved state
    ASSERT_FALSE(kin.SetUpStart(TaskList.CurrentTask()));
    // A third of the slag's oxidised elements other than iron goes back into
    // the metal, and iron oxide takes their place: the slag's composition
    // moves away from equilibrium while it stays neutral.
    const int fe = sys.Elems->Key(keyFe);
    long double charge = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        if (i != fe && e.Valence > 0)
            e.SlagAmount *= 2.0L / 3.0L;
        if (i != fe)
            charge += e.Valence * e.SlagAmount;
    }
    sys.El(fe).SlagAmount = -charge / sys.El(fe).Valence;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        e.MetalAmount = e.Amount - e.SlagAmount - e.GasAmount;
        ASSERT_GT(e.MetalAmount, 0) << e.Symbol;
    }
    kin.PreparePhases();
    ASSERT_GT(SlagDistance(sys, equilibrium), 0.1);
    ExpectApproaches(kin, sys, equilibrium, 20);
}

TEST_F(KineticsRun, NothingMovesAtTheSolversEquilibrium)
{
    TThSys& sys = *ThSystems[0];
    const long double solvedPotential = sys.SlagPotential;
    TKinetics kin(sys);
    sys.CalcGasEquilibrium();
    TKinAmounts slag{}, gas{};
    for (int i = 0; i <= SystemElemLast; ++i) {
        slag[static_cast<std::size_t>(i)] = sys.El(i).SlagAmount;
        gas[static_cast<std::size_t>(i)] = sys.El(i).GasAmount;
    }
    const TKinAmounts rs = kin.KinSlagRates(slag);
    const TKinAmounts rg = kin.KinGasRates(gas);
    // The slag potential the rates estimate is the solver's.
    EXPECT_NEAR(D(sys.SlagPotential), D(solvedPotential), 1e-6);
    const long double scale = KinRateConstant * GasConstant * sys.Temperature;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        if (e.Amount < 1e-8L)
            continue;
        // Driving forces (rate / (k R T x)) vanish.
        EXPECT_NEAR(D(rs[static_cast<std::size_t>(i)] / (scale * e.MoleFraction)), 0.0, 1e-5) << e.Symbol;
        EXPECT_NEAR(D(rg[static_cast<std::size_t>(i)] / (scale * e.MoleFraction)), 0.0, 1e-5) << e.Symbol;
    }
}

// The window pauses the run once every drawn curve of the shown phase has
// reached its equilibrium level on a plot of a few hundred pixels.
TEST_F(KineticsRun, TheSampleHeatSettlesWithinBoundedStepsKeepingEachElement)
{
    TThSys& sys = *ThSystems[0];
    TKinetics kin(sys);
    Start(kin);
    const TSnapshot start = Take(sys);
    constexpr int MaxSteps = 10000; // settles after about 7200
    constexpr double PlotHeight = 350;
    int steps = 0;
    bool settled = false;
    while (!settled && steps < MaxSteps) {
        kin.Step();
        ++steps;
        if (steps % 10 == 0)
            settled = kin.Settled(kinMetal, PlotHeight);
    }
    EXPECT_TRUE(settled) << "not settled after " << steps << " steps";
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        EXPECT_EQ(e.Amount, start.Total[static_cast<std::size_t>(i)]) << e.Symbol;
        EXPECT_NEAR(D((e.MetalAmount + e.SlagAmount + e.GasAmount) / e.Amount), 1.0, 1e-12) << e.Symbol;
    }
}

TEST_F(KineticsRun, HistoryIsThinnedKeepingTheStart)
{
    TThSys& sys = *ThSystems[0];
    TKinetics kin(sys);
    Start(kin);
    for (int step = 0; step < 1000; ++step)
        kin.Step();
    EXPECT_LE(kin.SampleCount(), KinHistoryLimit);
    EXPECT_GE(kin.SampleCount(), 400);
    EXPECT_EQ(kin.Row(0)[0], 0.0f);
    for (int r = 1; r < kin.SampleCount(); ++r)
        ASSERT_GT(kin.Row(r)[0], kin.Row(r - 1)[0]) << "row " << r;
}

TEST_F(KineticsRun, CurvesEndAtTheEquilibriumLevelAndSettleOnlyOnReachingIt)
{
    TThSys& sys = *ThSystems[0];
    TKinetics kin(sys);
    Start(kin);
    for (int step = 0; step < 50; ++step)
        kin.Step();
    const int fe = sys.Elems->Key(keyFe);
    const TKinCurve curve = kin.Curve(kinSlag, fe);
    ASSERT_TRUE(curve.Drawn);
    ASSERT_EQ(curve.Points.size(), static_cast<std::size_t>(kin.SampleCount() + 2));
    for (const auto& p : curve.Points)
        EXPECT_LE(p[1], 1.0 / 1.03 + 1e-9);
    const auto& a = curve.Points[curve.Points.size() - 2];
    const auto& b = curve.Points.back();
    EXPECT_DOUBLE_EQ(a[1], b[1]);
    EXPECT_DOUBLE_EQ(a[1], curve.Scale * kin.Target()[static_cast<std::size_t>(KinValueColumn(kinSlag, fe))]);
    EXPECT_DOUBLE_EQ(b[0], 1.017 * a[0]);
    EXPECT_EQ(kin.SeriesTitle(kinMetal, fe), "-G");
    EXPECT_EQ(kin.SeriesTitle(kinSlag, fe), "Fe");
    EXPECT_FALSE(kin.Settled(kinSlag, 400));
    // On a plot of no height every gap vanishes.
    EXPECT_TRUE(kin.Settled(kinSlag, 0.0));
}

} // namespace
} // namespace ferrolyt::test
