// The set-up of the two systems from the current task.

#include "ForwardProblem.h"
#include "RecordingHost.h"
#include "SolverFixtures.h"
#include "SystemSetup.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ferrolyt;
using namespace ferrolyt::test;

namespace {

using Edit = Host::InputEdit;
using TRows = std::initializer_list<std::tuple<const char*, long double, long double>>;

// One task, current, with the given element rows (symbol, metal sample %,
// slag sample %).
TTaskRecord& CurrentTask(TRows rows)
{
    TaskList.Count = 1;
    TaskList.Current = 0;
    TTaskRecord& task = TaskList.Items[1];
    task = TTaskRecord{};
    task.NEl = 0;
    for (const auto& [symbol, metal, slag] : rows) {
        ++task.NEl;
        task.Symbols[task.NEl] = symbol;
        task.MetalSample[task.NEl] = metal;
        task.SlagSample[task.NEl] = slag;
    }
    return task;
}

// Fe-C-O with a pig-iron charge and a task around it.
TTaskRecord& TaskForFeCO(TRows rows)
{
    ChargeFeCO(0, 0.04f, 0);
    for (int s = 0; s < 2; ++s)
        for (int i = 0; i <= SystemElemLast; ++i)
            ThSystems[Ix(s)]->El(i).Tolerance = 0.01L;
    TTaskRecord& task = CurrentTask(rows);
    task.NMat = 1;
    task.Materials[1].Name = MaterialTable[1].Name;
    task.Materials[1].TableIndex = 1;
    task.Materials[1].Recommended = 0.5L;
    return task;
}

double D(long double v) { return static_cast<double>(v); }

int Index(const char* symbol) { return ThSystems[0]->Elems->IndexOfSymbol(symbol); }

} // namespace

TEST(SetupInputs, FocusedPressureEditWinsUntilTheFocusLeaves)
{
    RecordingHost host;
    TTaskRecord& task = TaskForFeCO({});
    task.ExtP = 1.5L;
    host.focusedEdits[static_cast<int>(Edit::Pressure)] = true;
    host.editTexts[static_cast<int>(Edit::Pressure)] = "2";
    PrepareSystems();
    EXPECT_EQ(TotalPressure, 2.0L);
    EXPECT_EQ(host.editTexts[static_cast<int>(Edit::Pressure)], "2");

    host.focusedEdits[static_cast<int>(Edit::Pressure)] = false;
    PrepareSystems();
    EXPECT_EQ(TotalPressure, 1.5L);
    EXPECT_EQ(host.editTexts[static_cast<int>(Edit::Pressure)], "1.5");

    // An unreadable text falls back to the task.
    host.focusedEdits[static_cast<int>(Edit::Pressure)] = true;
    host.editTexts[static_cast<int>(Edit::Pressure)] = "abc";
    PrepareSystems();
    EXPECT_EQ(TotalPressure, 1.5L);
}

TEST(SetupInputs, TemperatureComesFromTheTaskOrDefaults)
{
    RecordingHost host;
    TTaskRecord& task = TaskForFeCO({});
    host.editTexts[static_cast<int>(Edit::InitialTemperature)] = "1234";
    PrepareSystems();
    EXPECT_EQ(host.editTexts[static_cast<int>(Edit::InitialTemperature)], "");
    EXPECT_EQ(ThSystems[0]->Temperature, 1873.15L);
    EXPECT_EQ(ThSystems[1]->InitialTemperature, 1873.15L);
    EXPECT_EQ(TotalPressure, 1.0L);

    task.IniTemp = 1580.125L;
    PrepareSystems();
    EXPECT_EQ(host.editTexts[static_cast<int>(Edit::InitialTemperature)], "1580.13");
    EXPECT_EQ(ThSystems[1]->Temperature, 1580.125L + 273.15L);

    host.focusedEdits[static_cast<int>(Edit::InitialTemperature)] = true;
    host.editTexts[static_cast<int>(Edit::InitialTemperature)] = "1650,5";
    PrepareSystems();
    EXPECT_EQ(ThSystems[0]->Temperature, 1650.5L + 273.15L);
}

TEST(SetupSamples, LowerSystemTakesTheLargerMassWithTheLowerSample)
{
    RecordingHost host;
    TTaskRecord& task = TaskForFeCO({{"C", 0.05L, UnsetValue}, {"O", 0.005L, UnsetValue}});
    task.IniMinMet = 80;
    task.IniMaxMet = 100;
    Settings.AutoOxygen = false; // the oxygen comes from its sample only
    PrepareSystems();
    const int c = Index("C"), o = Index("O"), fe = Index("Fe");
    EXPECT_NEAR(D(ThSystems[0]->El(c).InputMetalMass), 100 * 0.01 * 0.04, 1e-15);
    EXPECT_NEAR(D(ThSystems[1]->El(c).InputMetalMass), 80 * 0.01 * 0.06, 1e-15);
    // A sample at or below its tolerance leaves 1e-10 %, never a negative mass.
    EXPECT_NEAR(D(ThSystems[0]->El(o).InputMetalMass), 100 * 0.01 * 1e-10, 1e-20);
    // Iron is the balance of each metal.
    for (int s = 0; s < 2; ++s) {
        const TThSys& sys = *ThSystems[Ix(s)];
        long double total = 0;
        for (int i = 0; i <= SystemElemLast; ++i)
            total += sys.El(i).InputMetalMass;
        EXPECT_NEAR(D(total), s == 0 ? 100.0 : 80.0, 1e-9);
        EXPECT_GT(sys.El(fe).InputMetalMass, 0);
    }

    Settings.AccurateMetalSample = true;
    PrepareSystems();
    EXPECT_NEAR(D(ThSystems[0]->El(c).InputMetalMass), 100 * 0.01 * 0.05, 1e-15);
    EXPECT_NEAR(D(ThSystems[1]->El(c).InputMetalMass), 80 * 0.01 * 0.05, 1e-15);
}

TEST(SetupSamples, LimitsAndMaterialBoundsComeFromTheTask)
{
    RecordingHost host;
    TTaskRecord& task = TaskForFeCO({{"C", UnsetValue, UnsetValue}});
    task.MetalMin[1] = 0.1L;
    task.MetalMax[1] = 0.3L;
    task.Materials[1].Fixed = 0;
    PrepareSystems();
    const int c = Index("C"), o = Index("O");
    EXPECT_TRUE(ThSystems[0]->El(c).MetalLimitGiven);
    EXPECT_NEAR(D(ThSystems[0]->El(c).MetalLimit), 0.001, 1e-18);
    EXPECT_NEAR(D(ThSystems[1]->El(c).MetalLimit), 0.003, 1e-18);
    EXPECT_FALSE(ThSystems[0]->El(c).SlagLimitGiven);
    EXPECT_FALSE(ThSystems[0]->El(o).MetalLimitGiven);
    EXPECT_EQ(ThSystems[0]->El(o).MetalLimit, 0);
    EXPECT_EQ(ThSystems[1]->El(o).MetalLimit, 1);
    EXPECT_TRUE(MaterialTable[1].Disabled);
    EXPECT_TRUE(task.Materials[1].Disabled);
    EXPECT_EQ(MaterialTable[1].Fixed, 0);
    EXPECT_EQ(MaterialTable[2].Recommended, UnsetValue);
}

// ---------------------------------------------------------------------------

TEST(SetupOxygen, CarbonOxygenEstimateBalancesTheGasAtTheTotalPressure)
{
    RecordingHost host;
    for (long double p : {1.0L, 3.0L}) {
        TThSys& sys = BuildFeCO();
        TotalPressure = p;
        const int c = Index("C"), o = Index("O");
        for (int i = 0; i <= SystemElemLast; ++i)
            sys.El(i).InputMetalMass = DivisorFloor;
        sys.El(c).InputMetalMass = 0.5L;
        long double others = 0.5L;
        sys.CalcStandardGibbs();
        sys.SolveCarbonOxygen(others, 100);
        EXPECT_NEAR(D(sys.GasPressureSum), D(p), 1e-9);
        EXPECT_GT(sys.El(o).InputMetalMass, 0);
        EXPECT_EQ(others, 0.5L + sys.El(o).InputMetalMass);
    }
}

TEST(SetupOxygen, TheSetUpEstimatesOxygenForBothSystemsWhenAsked)
{
    RecordingHost host;
    TTaskRecord& task = TaskForFeCO({{"C", 0.5L, UnsetValue}});
    task.IniMinMet = task.IniMaxMet = 100;
    PrepareSystems();
    const int o = Index("O");
    EXPECT_GT(ThSystems[0]->El(o).InputMetalMass, 1e-6L);
    // More carbon (the upper system) needs less oxygen for the same gas.
    EXPECT_LT(ThSystems[1]->El(o).InputMetalMass, ThSystems[0]->El(o).InputMetalMass);
    Settings.AutoOxygen = false;
    PrepareSystems();
    EXPECT_LT(ThSystems[0]->El(o).InputMetalMass, 1e-90L);
}

TEST(SetupOxygen, GivenOxygenIsNotEstimated)
{
    RecordingHost host;
    TTaskRecord& task = TaskForFeCO({{"C", 0.5L, UnsetValue}, {"O", 0.03L, UnsetValue}});
    task.IniMinMet = task.IniMaxMet = 100;
    Settings.AccurateMetalSample = true;
    PrepareSystems();
    EXPECT_NEAR(D(ThSystems[0]->El(Index("O")).InputMetalMass), 0.03, 1e-15);
}

// ---------------------------------------------------------------------------

TEST(SetupSlag, SlagFromSamplesIsElectroneutralAndHasTheTasksMass)
{
    RecordingHost host;
    ChargeFeOSiMnCa(0, 0);
    TTaskRecord& task = CurrentTask({{"Ca", UnsetValue, 45}, {"Si", UnsetValue, 25}, {"Mn", UnsetValue, 10},
                                     {"Fe", UnsetValue, 20}});
    task.IniMinSlg = 8;
    task.IniMaxSlg = 10;
    PrepareSystems();
    for (int s = 0; s < 2; ++s) {
        const TThSys& sys = *ThSystems[Ix(s)];
        long double charge = 0, mass = 0;
        for (int i = 0; i <= SystemElemLast; ++i) {
            charge += sys.El(i).Valence * sys.El(i).InputSlagMass / sys.El(i).MolarMass;
            mass += sys.El(i).InputSlagMass;
        }
        EXPECT_NEAR(D(charge), 0, 1e-12);
        EXPECT_NEAR(D(mass), s == 0 ? 10.0 : 8.0, 1e-9);
        EXPECT_EQ(sys.SlagMass, s == 0 ? 10 : 8);
    }
}

TEST(SetupSlag, SlagIsBuiltFromTheMetalsOxygenWithoutSamples)
{
    RecordingHost host;
    ChargeFeOSiMnCa(0, 0);
    TTaskRecord& task = CurrentTask({{"O", 0.04L, UnsetValue}, {"Si", 0.2L, UnsetValue}, {"Mn", 0.5L, UnsetValue}});
    task.IniMinMet = task.IniMaxMet = 100;
    task.IniMinSlg = 3;
    task.IniMaxSlg = 5;
    Settings.AccurateMetalSample = true;
    PrepareSystems();
    for (int s = 0; s < 2; ++s) {
        const TThSys& sys = *ThSystems[Ix(s)];
        long double mass = 0;
        for (int i = 0; i <= SystemElemLast; ++i) {
            EXPECT_GT(sys.El(i).InputSlagMass, 0) << sys.El(i).Symbol;
            mass += sys.El(i).InputSlagMass;
        }
        EXPECT_NEAR(D(mass), s == 0 ? 5.0 : 3.0, 1e-9);
    }
    // Both systems solve from this start.
    EXPECT_TRUE(SolveForwardProblem().BothConverged);

    // Without oxygen in the metal and without samples the slag stays empty.
    task.MetalSample[1] = UnsetValue;
    Settings.AutoOxygen = false;
    PrepareSystems();
    for (int i = 0; i <= SystemElemLast; ++i)
        EXPECT_EQ(ThSystems[0]->El(i).InputSlagMass, DivisorFloor);
}

TEST(SetupSlag, ShareOfTheSlagStartsAsInclusions)
{
    RecordingHost host;
    TThSys& sys = ChargeFeOSiMnCa(0, 0);
    for (int i = 0; i <= SystemElemLast; ++i)
        sys.El(i).InputSlagMass = 0.01L * (i + 1);
    sys.SetSlagMass(2);
    const long double oxygenBefore = sys.El(Index("O")).InputSlagMass;
    sys.SplitSlagForNmi(5);
    EXPECT_NEAR(D(sys.NmiMass), 0.1, 1e-15);
    EXPECT_NEAR(D(sys.SlagMass), 1.9, 1e-15);
    EXPECT_NEAR(D(sys.El(Index("O")).InputNmiMass), D(0.05L * oxygenBefore), 1e-15);
    EXPECT_NEAR(D(sys.El(Index("O")).InputSlagMass), D(0.95L * oxygenBefore), 1e-15);
    EXPECT_FALSE(sys.NmiSolved);
    // A zero share still moves a trace.
    sys.SplitSlagForNmi(0);
    EXPECT_GT(sys.NmiMass, 0);
}

// ---------------------------------------------------------------------------

TEST(SetupFixedMetal, MetalTakesTheGivenComposition)
{
    RecordingHost host;
    TThSys& sys = ChargeFeOSiMnCa(1, 0.1L);
    CurrentTask({});
    ASSERT_TRUE(Solve(sys));
    const long double metal = sys.MetalMass, slag = sys.SlagMass, mnBefore = sys.El(Index("Mn")).MetalMass;
    ASSERT_LT(mnBefore, 0.005L * metal);
    std::array<double, MaxElements> percent{};
    percent[Ix(Index("Mn"))] = 0.5;
    percent[Ix(Index("Si"))] = 0.2;
    sys.EquilibrateFixedMetal(percent);
    EXPECT_EQ(MaterialTable[1].Amount, 0);
    EXPECT_EQ(TaskList.Items[1].Energy, 0);
    EXPECT_EQ(Settings.FinalTempMode, 0);
    EXPECT_NEAR(D(sys.SlagMass), D(slag), 1e-12);
    // Each quick solve restarts the metal from the targets: manganese,
    // below its target before, rises towards it.
    EXPECT_GT(sys.El(Index("Mn")).MetalMass, mnBefore);
    EXPECT_LT(sys.El(Index("Mn")).MetalMass, 0.005L * metal);
}

TEST(SetupForwardProblem, MeltSolvesBothSystemsFromTheTask)
{
    RecordingHost host;
    TTaskRecord& task = TaskForFeCO({{"C", 1.0L, UnsetValue}});
    task.IniMinMet = 0.9L;
    task.IniMaxMet = 1.0L;
    task.Materials[1].Recommended = 0.2L;
    SlpPass = 7;
    const TForwardResult r = MeltForward();
    EXPECT_EQ(SlpPass, 0);
    EXPECT_TRUE(r.LowerConverged);
    EXPECT_TRUE(r.UpperConverged);
    EXPECT_TRUE(r.BothConverged);
    EXPECT_TRUE(BothConverged);
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_GE(host.gridShows, 2);
    EXPECT_EQ(MaterialTable[1].Amount, 0.2L);
    // The lower system holds more metal (the larger initial mass).
    EXPECT_GT(ThSystems[0]->MetalMass, ThSystems[1]->MetalMass);
    EXPECT_GE(r.StopCounter, CalcStartCounter);
}
