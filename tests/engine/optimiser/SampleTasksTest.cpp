// The tasks of the shipped sample project, run the way the main window runs
// them: the cheapest charge found by the optimiser (F10: set-up, constraint
// blocks, busy state, Optimise) and melted again. The optimiser must meet the
// EAF, converter and ladle tasks on both systems, and the scrap-only task
// must be reported as impossible as stated, with its alternatives.

#include "Constraints.h"
#include "ForwardProblem.h"
#include "LoaderTestSupport.h"
#include "Optimiser.h"
#include "RecordingHost.h"
#include "RunState.h"
#include "SampleProjectSupport.h"
#include "SolvedSystems.h"
#include "SystemSetup.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace ferrolyt::test {
namespace {

constexpr const char* EafTask = "ДСП-100, сталь 20";
constexpr const char* ScrapOnlyTask = "Лише брухт, [Cu]<=0.05";
constexpr const char* ConverterTask = "Конвертер 160 т";
constexpr const char* LadleTask = "Ківш: розкиснення Al";

bool Set(long double x) { return x != UnsetValue; }

class SampleTasksBase : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        UseSampleSolutionSettings();
        Settings.AutoInitialEstimate = false;
        Settings.AccurateOptimisation = false;
        ASSERT_TRUE(LoadProject(SampleProjectFile().string()));
        ASSERT_TRUE(host_.warnings.empty()) << host_.warnings.front();
    }
    void TearDown() override
    {
        CalcBusy = false;
        StopRequested = false;
        LoaderTestBase::TearDown();
    }

    const TTaskRecord& SelectTask(const std::string& name)
    {
        for (int k = 0; k < TaskList.Count; ++k) {
            if (TaskList.Items[static_cast<std::size_t>(k + 1)].Name == name) {
                TaskList.Current = k;
                return TaskList.CurrentTask();
            }
        }
        ADD_FAILURE() << "no task " << name;
        return TaskList.CurrentTask();
    }

    // The optimisation command without its window: set-up, blocks, busy.
    static bool PrepareOptimisation()
    {
        PrepareSystems();
        if (!BuildConstraintBlocks())
            return false;
        CalcBusy = true;
        StopRequested = false;
        return true;
    }

    static int BlockNamed(const std::string& name)
    {
        for (int k = 1; k <= ConstraintBlockCount; ++k)
            if (ConstraintBlocks[k].Name == name)
                return k;
        ADD_FAILURE() << "no constraint block " << name;
        return -1;
    }

    static double Percent(TThSys& sys, const std::string& symbol, long double TElementRecord::*fraction)
    {
        const int i = sys.Elems->IndexOfSymbol(symbol);
        EXPECT_GE(i, 0) << symbol;
        return i < 0 ? 0 : 100.0 * static_cast<double>(sys.El(i).*fraction);
    }
    static double MetalPercent(TThSys& sys, const std::string& symbol)
    {
        return Percent(sys, symbol, &TElementRecord::MetalFraction);
    }
    static double SlagCompoundPercent(TThSys& sys, const std::string& symbol)
    {
        return Percent(sys, symbol, &TElementRecord::SlagCompoundFraction);
    }

    // Every limit of the task on one system, each to `rel` of its value (the
    // optimiser's rows are linearised, so a met limit may stand a hair off).
    static void ExpectTaskMet(TThSys& sys, const TTaskRecord& task, bool withTemperature, double rel = 0.01)
    {
        auto within = [rel](double value, long double lo, long double hi, const std::string& what) {
            if (Set(lo)) {
                EXPECT_GE(value, static_cast<double>(lo) * (1 - rel)) << what;
            }
            if (Set(hi)) {
                EXPECT_LE(value, static_cast<double>(hi) * (1 + rel)) << what;
            }
        };
        for (int k = 1; k <= task.NEl; ++k) {
            const std::string symbol = task.Symbols[k];
            if (sys.Elems->IndexOfSymbol(symbol) < 0)
                continue;
            within(MetalPercent(sys, symbol), task.MetalMin[k], task.MetalMax[k], "[" + symbol + "]");
            if (symbol != "O")
                within(SlagCompoundPercent(sys, symbol), task.SlagMin[k], task.SlagMax[k], "(" + symbol + ")");
        }
        within(static_cast<double>(sys.MetalMass), task.MinMet, task.MaxMet, "metal mass");
        within(static_cast<double>(sys.SlagMass), task.MinSlg, task.MaxSlg, "slag mass");
        within(static_cast<double>(sys.Basicity), task.MinOsn, task.MaxOsn, "basicity");
        if (withTemperature)
            within(static_cast<double>(sys.Temperature - KelvinOffset), task.MinTemp, task.MaxTemp, "temperature");
    }

    // The task with the limit of a released block lifted; material blocks
    // leave it as it is, for ExpectTaskMet does not check materials.
    static TTaskRecord WithoutLimitOf(const TTaskRecord& task, const TConstraintBlockRecord& block)
    {
        TTaskRecord rest = task;
        const bool lower = block.Side == csLower;
        auto lift = [lower](long double& lo, long double& hi) { (lower ? lo : hi) = UnsetValue; };
        switch (block.Kind) {
        case ckMetalElement:
            for (int k = 1; k <= rest.NEl; ++k)
                if (ThSystems[0]->Elems->IndexOfSymbol(rest.Symbols[k]) == block.Index)
                    lift(rest.MetalMin[k], rest.MetalMax[k]);
            break;
        case ckSlagCompound:
            for (int k = 1; k <= rest.NEl; ++k)
                if (ThSystems[0]->Elems->IndexOfSymbol(rest.Symbols[k]) == block.Index)
                    lift(rest.SlagMin[k], rest.SlagMax[k]);
            break;
        case ckMetalMass: lift(rest.MinMet, rest.MaxMet); break;
        case ckSlagMass: lift(rest.MinSlg, rest.MaxSlg); break;
        case ckBasicity: lift(rest.MinOsn, rest.MaxOsn); break;
        case ckTemperature: lift(rest.MinTemp, rest.MaxTemp); break;
        default: break;
        }
        return rest;
    }

    // Optimises the task, melts the charge found (as the window shows the
    // result) and checks every limit on both systems; fixed materials keep
    // their amount, banned ones stay out. The run is met within `passes`
    // passes: the tasks settle in a handful (8 at most today), the bounds
    // leave a few for changes of the data.
    void ExpectOptimisedTaskMet(const std::string& name, uint8_t finalTempMode, int32_t passes)
    {
        Settings.FinalTempMode = finalTempMode;
        const TTaskRecord& task = SelectTask(name);
        ASSERT_TRUE(PrepareOptimisation());
        ASSERT_EQ(Optimise(-1), 0);
        EXPECT_LE(SlpPass, passes) << "the run should settle in a few passes";
        for (int j = 1; j <= MaterialCount; ++j)
            EXPECT_GE(MaterialTable[j].Amount, 0.0L) << MaterialTable[j].Name;

        ASSERT_TRUE(SolveForwardProblem().BothConverged);
        for (int k = 0; k < 2; ++k) {
            SCOPED_TRACE("system " + std::to_string(k));
            ExpectTaskMet(*ThSystems[static_cast<std::size_t>(k)], task, finalTempMode != 0);
        }
        for (int m = 1; m <= task.NMat; ++m) {
            const TMaterialRecord& tm = task.Materials[m];
            const long double amount = MaterialTable[tm.TableIndex].Amount;
            if (tm.MaxT == 0) {
                EXPECT_EQ(amount, 0.0L) << tm.Name;
            }
            if (Set(tm.Fixed)) {
                EXPECT_NEAR(static_cast<double>(amount), static_cast<double>(tm.Fixed), 1e-9) << tm.Name;
            }
            if (!Set(tm.Fixed) && Set(tm.MaxT)) {
                EXPECT_LE(static_cast<double>(amount), static_cast<double>(tm.MaxT) + 1e-3) << tm.Name;
            }
            if (!Set(tm.Fixed) && Set(tm.MinT)) {
                EXPECT_GE(static_cast<double>(amount), static_cast<double>(tm.MinT) - 1e-3) << tm.Name;
            }
        }
    }

    RecordingHost host_;
};

// ---------------------------------------------------------------------------

class SampleTasksOptimiser : public SampleTasksBase {
protected:
    // The runs of one F10 (the task as stated, then the releases) start from
    // the same first pass: the EAF task met, a release run, and the task again
    // give the same charge in the same passes.
    void ExpectRunsOfOneListingFindTheSameCharge(const char* released)
    {
        SelectTask(EafTask);
        ASSERT_TRUE(PrepareOptimisation());
        ASSERT_EQ(Optimise(-1), 0);
        const std::vector<long double> first = KeptCharge();
        const int32_t passes = SlpPass;
        Optimise(BlockNamed(released));
        ASSERT_EQ(Optimise(-1), 0);
        EXPECT_EQ(KeptCharge(), first);
        EXPECT_EQ(SlpPass, passes);
    }
};

TEST_F(SampleTasksOptimiser, EafTaskIsMetOnBothSystems)
{
    for (const uint8_t mode : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE("heat balance " + std::to_string(mode));
        ASSERT_NO_FATAL_FAILURE(ExpectOptimisedTaskMet(EafTask, mode, mode == 0 ? 9 : 8));
        long double charged = 0;
        for (int j = 1; j <= MaterialCount; ++j)
            charged += MaterialTable[j].Amount;
        EXPECT_GT(charged, 95.0L);
    }
}

// The pure elements are in the materials file for the oxygen isotherms only,
// priced out of reach; every task still forbids them, since the optimiser
// may charge any material a task leaves unbounded.
TEST_F(SampleTasksOptimiser, EveryTaskForbidsThePureElements)
{
    for (int k = 0; k < TaskList.Count; ++k) {
        const TTaskRecord& task = TaskList.Items[static_cast<std::size_t>(k + 1)];
        SCOPED_TRACE(task.Name);
        for (const char* name : {"O", "Al"}) {
            bool forbidden = false;
            for (int m = 1; m <= task.NMat; ++m) {
                const auto& material = task.Materials[static_cast<std::size_t>(m)];
                if (material.TableIndex == MaterialIndexByName(name))
                    forbidden = material.MaxT == 0 || material.Fixed == 0;
            }
            EXPECT_TRUE(forbidden) << name;
        }
    }
}

// With the heat balance on, the materials' temperature effects belong to
// the first pass too.
TEST_F(SampleTasksOptimiser, RunsOfOneListingFindTheSameChargeWithTheHeatBalanceOn)
{
    Settings.FinalTempMode = 1;
    ExpectRunsOfOneListingFindTheSameCharge("[C] мін");
}

// With the heat balance off under slag model 1, where the task is met only
// by the run on melted slopes: the melts that give its slopes leave nothing
// behind that a later run would start from.
TEST_F(SampleTasksOptimiser, RunsOfOneListingFindTheSameChargeOnMeltedSlopes)
{
    Settings.SlagModel = 1;
    ExpectRunsOfOneListingFindTheSameCharge("[S] макс");
}

TEST_F(SampleTasksOptimiser, ScrapOnlyTaskOffersOnlyReleasesWhoseMeltMeetsTheRest)
{
    // Every scrap grade carries more copper than the limit and no slag takes
    // copper up: the task as stated has no charge (heat balance off). Each
    // block released in turn, as F10 scans them, either has no charge or one
    // whose melt meets every other limit, bought without the pure elements
    // the isotherms use; each run settles inside the pass limit, and a run
    // after other runs finds the same charge.
    const TTaskRecord& task = SelectTask(ScrapOnlyTask);
    ASSERT_TRUE(PrepareOptimisation());
    EXPECT_NE(Optimise(-1), 0);
    EXPECT_LE(SlpPass, 40);
    const int oxygen = MaterialIndexByName("O"), aluminium = MaterialIndexByName("Al");
    ASSERT_GT(oxygen, 0);
    ASSERT_GT(aluminium, 0);
    int firstMet = 0;
    std::vector<long double> firstCharge;
    bool copperMet = false;
    for (int k = 1; k <= ConstraintBlockCount; ++k) {
        const TConstraintBlockRecord block = ConstraintBlocks[k];
        SCOPED_TRACE(block.Name);
        const int32_t status = Optimise(k);
        EXPECT_LT(SlpPass, MaxSlpPasses);
        EXPECT_EQ(MaterialTable[oxygen].Amount, 0);
        EXPECT_EQ(MaterialTable[aluminium].Amount, 0);
        if (status != 0)
            continue;
        copperMet = copperMet || block.Name == "[Cu] макс";
        if (firstMet == 0) {
            firstMet = k;
            firstCharge = KeptCharge();
        }
        ASSERT_TRUE(SolveForwardProblem().BothConverged);
        const TTaskRecord rest = WithoutLimitOf(task, block);
        for (int s = 0; s < 2; ++s) {
            SCOPED_TRACE("system " + std::to_string(s));
            ExpectTaskMet(*ThSystems[static_cast<std::size_t>(s)], rest, false, 0.002);
        }
    }
    // Heavy, mixed and shredded scrap with lime, dolomitic lime and
    // anthracite meet every limit but the copper one: that release is found.
    EXPECT_TRUE(copperMet);
    if (firstMet > 0) {
        ASSERT_EQ(Optimise(firstMet), 0);
        EXPECT_EQ(KeptCharge(), firstCharge);
    }
}

// The scrap-only task as a user changes it: an easier metal mass, a tighter
// [S], or the heat balance on with a narrower window. Each still has a
// charge that breaks only [Cu] (the one listed for the task as shipped
// melts inside the first variant's limits), so F10 lists «[Cu] макс»: its
// run is met, and the melt of its charge meets every other limit.
TEST_F(SampleTasksOptimiser, ScrapOnlyTaskVariantsListTheCopperReleaseWhoseMeltMeetsTheRest)
{
    SelectTask(ScrapOnlyTask);
    TTaskRecord& task = TaskList.CurrentTask();
    const TTaskRecord shipped = task;
    auto at = [&task](const char* symbol) {
        int k = task.NEl;
        while (k > 1 && task.Symbols[k] != symbol)
            --k;
        EXPECT_EQ(task.Symbols[k], symbol);
        return k;
    };
    const struct {
        const char* name;
        uint8_t heatBalance;
        std::function<void()> change;
    } variants[] = {{"as shipped, heat balance on", 1, [] {}},
                    {"metal mass 94 t", 0, [&] { task.MinMet = 94; }},
                    {"[S] 0.038 %", 0, [&] { task.MetalMax[at("S")] = 0.038L; }},
                    {"[C], temperature and (MgO) moved", 1, [&] {
                         task.MetalMin[at("C")] = 0.04165L;
                         task.MinTemp = 1597.6L;
                         task.MaxTemp = 1659.1L;
                         task.SlagMin[at("Mg")] = 5.53L;
                         task.SlagMax[at("Mg")] = 12.2L;
                     }}};
    for (const auto& variant : variants) {
        SCOPED_TRACE(variant.name);
        Settings.FinalTempMode = variant.heatBalance;
        task = shipped;
        variant.change();
        ASSERT_TRUE(PrepareOptimisation());
        EXPECT_NE(Optimise(-1), 0);
        const int copper = BlockNamed("[Cu] макс");
        ASSERT_GT(copper, 0);
        const int32_t status = Optimise(copper);
        EXPECT_EQ(status, 0);
        if (status != 0)
            continue;
        const long double cost = ChargeCost();
        ASSERT_TRUE(SolveForwardProblem().BothConverged);
        EXPECT_EQ(ChargeCost(), cost);
        for (std::size_t s = 0; s < 2; ++s) {
            SCOPED_TRACE("system " + std::to_string(s));
            ExpectTaskMet(*ThSystems[s], WithoutLimitOf(task, ConstraintBlocks[copper]), variant.heatBalance, 0.002);
        }
    }
}

// ---------------------------------------------------------------------------
// The converter and ladle tasks fix the material whose effect on the bath is
// a step rather than a slope (the converter's oxygen, the ladle's aluminium);
// with those left free the linearised rows overshoot and the run does not
// settle.

using SampleConverterTask = SampleTasksBase;

// Hot metal, heavy scrap and oxygen are fixed. With the heat balance on, the
// recommended charge blows into the task's temperature window: the oxygen
// and the fluxes bring their standard enthalpies, the vessel loses what
// practice says.
TEST_F(SampleConverterTask, RecommendedBlowEndsInsideTheTemperatureWindow)
{
    Settings.FinalTempMode = 1;
    const TTaskRecord& task = SelectTask(ConverterTask);
    ASSERT_EQ(task.Symbols[1], "C");
    const TForwardResult blow = MeltForward();
    ASSERT_TRUE(blow.BothConverged);
    EXPECT_TRUE(blow.HeatBalanceCloses);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE("system " + std::to_string(k));
        TThSys& sys = *ThSystems[static_cast<std::size_t>(k)];
        EXPECT_GE(sys.Temperature - KelvinOffset, task.MinTemp);
        EXPECT_LE(sys.Temperature - KelvinOffset, task.MaxTemp);
        // Blown down to the task's carbon and [P], with an end-of-blow slag
        // as top-blown converters tap it: 60-120 kg per tonne of steel (the
        // low end for hot metal of 0.6 % Si, as this one) holding 15-25 %
        // FeO (Turkdogan, Fundamentals of Steelmaking, Institute of
        // Materials, 1996).
        EXPECT_LE(MetalPercent(sys, "C"), static_cast<double>(task.MetalMax[1]));
        EXPECT_GT(sys.SlagMass / sys.MetalMass, 0.06L);
        EXPECT_LT(sys.SlagMass / sys.MetalMass, 0.12L);
        EXPECT_GE(SlagCompoundPercent(sys, "Fe"), 15.0);
        EXPECT_LE(SlagCompoundPercent(sys, "Fe"), 25.0);
        EXPECT_LE(MetalPercent(sys, "P"), 0.02);
    }
}

// The optimiser and the melt solve the two systems on two threads. A solve
// that wrote anything the other one reads (a table shared between them)
// would end elsewhere than alone, now and then, and a host call from the
// second thread would reach the windows from outside their thread.
TEST_F(SampleConverterTask, BoundSystemsSolvedSideBySideEndAsSolvedOneAfterTheOther)
{
    struct TThreadHost : RecordingHost {
        std::vector<std::thread::id> callers;
        void SetStatusText(int panel, const std::string& text) override
        {
            callers.push_back(std::this_thread::get_id());
            RecordingHost::SetStatusText(panel, text);
        }
        void ProcessMessages() override { callers.push_back(std::this_thread::get_id()); }
        void ShowInGrid(const TThSys& system) override
        {
            callers.push_back(std::this_thread::get_id());
            RecordingHost::ShowInGrid(system);
        }
    } host;
    Settings.FinalTempMode = 1;
    SelectTask(ConverterTask);
    PrepareSystems();
    TSolvedSystems prepared;
    prepared.Take();
    const TMaterialTable materials = MaterialTable;
    const TCompositionTable lower = CompositionMin, upper = CompositionMax;

    // Every value a solve leaves for its readers, the pseudo-materials and
    // the effect tables of both kinds included.
    const auto solved = [] {
        std::vector<long double> v{static_cast<long double>(SolverPass)};
        for (std::size_t k = 0; k < 2; ++k) {
            const TThSys& sys = *ThSystems[k];
            v.insert(v.end(), {sys.Temperature, sys.SlagPotential, sys.LnMetalSlag, sys.LnMetalGas, sys.MetalMass,
                               sys.SlagMass, sys.GasVolume, sys.Basicity});
            for (int i = 0; i <= SystemElemLast; ++i) {
                const TElementRecord& e = sys.El(i);
                v.insert(v.end(), {e.MetalAmount, e.SlagAmount, e.GasAmount, e.NmiAmount});
                for (int m = 0; m <= SystemElemLast; ++m) {
                    v.push_back(ElementEffectsOnMetal[k][static_cast<std::size_t>(i)][static_cast<std::size_t>(m)]);
                    v.push_back(ElementEffectsOnSlag[k][static_cast<std::size_t>(i)][static_cast<std::size_t>(m)]);
                }
            }
            for (int j = 1; j <= MaterialCount + 3; ++j) {
                const TMaterialRecord& m = MaterialTable[j];
                v.insert(v.end(), {m.TempEffect[k], m.HeatA[k], m.HeatB[k], m.Temperature});
                for (int i = 0; i <= SystemElemLast + 1; ++i) {
                    const auto row = static_cast<std::size_t>(i);
                    v.insert(v.end(), {MaterialEffectsOnMetal[k][row][j], MaterialEffectsOnSlag[k][row][j],
                                       (k == 0 ? CompositionMin : CompositionMax)[row][j]});
                }
            }
        }
        return v;
    };

    const bool lowerAlone =
        ThSystems[0]->SolveEquilibrium(MaterialEffectsOnMetal[0], MaterialEffectsOnSlag[0], CompositionMin,
                                       ElementEffectsOnMetal[0], ElementEffectsOnSlag[0], true, false, false, false);
    const bool upperAlone =
        ThSystems[1]->SolveEquilibrium(MaterialEffectsOnMetal[1], MaterialEffectsOnSlag[1], CompositionMax,
                                       ElementEffectsOnMetal[1], ElementEffectsOnSlag[1], true, false, false, false);
    ASSERT_TRUE(lowerAlone && upperAlone);
    const std::vector<long double> alone = solved();
    const int gridShowsAlone = host.gridShows;
    const std::string statusAlone = host.status[6];

    prepared.PutBack();
    MaterialTable = materials;
    CompositionMin = lower;
    CompositionMax = upper;
    host.gridShows = 0;
    host.status.clear();
    host.callers.clear();
    const auto notes = SolveBoundSystems(true, false);
    EXPECT_TRUE(notes[0].Converged && notes[1].Converged);
    const std::vector<long double> together = solved();
    ASSERT_EQ(alone.size(), together.size());
    // The 80 significant bits of each value (the rest is padding).
    for (std::size_t k = 0; k < alone.size(); ++k)
        ASSERT_EQ(0, std::memcmp(&alone[k], &together[k], 10))
            << "value " << k << ": " << static_cast<double>(alone[k]) << " vs " << static_cast<double>(together[k]);
    EXPECT_EQ(host.gridShows, gridShowsAlone);
    EXPECT_EQ(host.status[6], statusAlone);
    ASSERT_FALSE(host.callers.empty());
    for (const std::thread::id caller : host.callers)
        EXPECT_EQ(caller, std::this_thread::get_id());
}

// While the optimiser runs, the solves side by side let the window messages
// run on the caller's thread; a stop asked there ends the caller's solve at
// once and the other at its next pass.
TEST_F(SampleConverterTask, BoundSystemsSolvedSideBySideRunTheMessagesAndStopTogether)
{
    struct TStoppingHost : RecordingHost {
        bool stopAtFirst = false;
        std::vector<std::thread::id> callers;
        void ProcessMessages() override
        {
            callers.push_back(std::this_thread::get_id());
            StopRequested = StopRequested || stopAtFirst;
        }
    } host;
    SelectTask(ConverterTask);
    PrepareSystems();
    TSolvedSystems prepared;
    prepared.Take();
    const TMaterialTable materials = MaterialTable;
    CalcBusy = true;
    SlpPass = 1;
    auto solve = [&](bool stop) {
        prepared.PutBack();
        MaterialTable = materials;
        StopRequested = false;
        host.stopAtFirst = stop;
        return SolveBoundSystems(false, false);
    };
    const auto whole = solve(false), stopped = solve(true);
    EXPECT_GT(whole[0].Passes, 2);
    EXPECT_GT(whole[1].Passes, 2);
    EXPECT_LT(stopped[1].Passes, whole[1].Passes);
    EXPECT_LE(stopped[0].Passes, whole[0].Passes);  // the lower solve may end before the stop reaches it
    EXPECT_FALSE(host.callers.empty());
    for (const std::thread::id caller : host.callers)
        EXPECT_EQ(caller, std::this_thread::get_id());
    SlpPass = 0;
}

// The optimiser trims the fixed blow with bundles, lime and doloma; the
// recycled converter slag of the heat log stays out (the task holds it at
// 0 t, and the slag limits are such that lime and doloma alone reach them).
TEST_F(SampleConverterTask, IsMetByTheOptimiserWithTheHeatBalanceOff) { ExpectOptimisedTaskMet(ConverterTask, 0, 11); }

TEST_F(SampleConverterTask, IsMetByTheOptimiserWithTheHeatBalanceOn) { ExpectOptimisedTaskMet(ConverterTask, 1, 7); }

class SampleLadleTask : public SampleTasksBase {
protected:
    // The tapped steel brings 0.06 % oxygen; after the aluminium it holds a
    // few ppm and the oxygen went into alumina in the slag. The lime-alumina
    // slag then desulphurises as ladle slags do: the sulphide capacity of
    // Sosinsky and Sommerville (Metall. Trans. B 17, 1986) gives this slag,
    // at 3 ppm oxygen, (%S)/[%S] of about 600.
    void ExpectMetAndDeoxidised(uint8_t finalTempMode)
    {
        ASSERT_NO_FATAL_FAILURE(ExpectOptimisedTaskMet(LadleTask, finalTempMode, finalTempMode == 0 ? 8 : 7));
        for (std::size_t k = 0; k < 2; ++k) {
            SCOPED_TRACE("system " + std::to_string(k));
            TThSys& sys = *ThSystems[k];
            EXPECT_LT(MetalPercent(sys, "O"), 0.001);
            EXPECT_GT(SlagCompoundPercent(sys, "Al"), 25.0);
            const double partition = SlagCompoundPercent(sys, "S") / MetalPercent(sys, "S");
            EXPECT_GT(partition, 600.0 / 3);
            EXPECT_LT(partition, 600.0 * 3);
        }
    }
};

TEST_F(SampleLadleTask, IsMetAndDeoxidisedWithTheHeatBalanceOff) { ExpectMetAndDeoxidised(0); }

TEST_F(SampleLadleTask, IsMetAndDeoxidisedWithTheHeatBalanceOn) { ExpectMetAndDeoxidised(1); }

// The slag model decides how the oxides mix, not how much heat the melt
// holds: both models are fitted to the same published heats of liquid slags
// (data-sources/README.md, section 4), so the tasks' charges, heat balance
// on, end within 15 K of each other on both systems.
using SampleTasksSlagModels = SampleTasksBase;

TEST_F(SampleTasksSlagModels, RecommendedChargesEndAtTheSameTemperatureUnderBothSlagModels)
{
    Settings.FinalTempMode = 1;
    for (const char* name : {EafTask, ConverterTask, LadleTask}) {
        SCOPED_TRACE(name);
        std::array<std::array<long double, 2>, 2> end{};
        for (const uint8_t model : {uint8_t{0}, uint8_t{1}}) {
            Settings.SlagModel = model;
            SelectTask(name);
            ASSERT_TRUE(MeltForward().BothConverged);
            for (std::size_t k = 0; k < 2; ++k)
                end[model][k] = ThSystems[k]->Temperature - KelvinOffset;
        }
        for (std::size_t k = 0; k < 2; ++k)
            EXPECT_NEAR(static_cast<double>(end[1][k]), static_cast<double>(end[0][k]), 15.0) << "system " << k;
    }
}

// Neither solution model decides how much heat a melt holds: the metal
// models carry the published heats of solution of carbon, silicon and
// manganese in liquid iron (Sigworth and Elliott, Metal Science 8, 1974), the
// slag models the published heats of liquid slags (data-sources/README.md,
// sections 3 and 4). Each task's recommended charge, heat balance on, ends
// within 15 K of itself under the four pairs of models, and the converter's
// blow inside its tapping window under each: with the vessel losing what
// published converter heat balances give, not what the end temperature asks.
class SampleTasksModelPairs : public SampleTasksBase {
protected:
    struct TModels {
        uint8_t Metal, Slag;
    };
    static constexpr std::array<TModels, 4> Pairs{{{0, 0}, {0, 1}, {1, 0}, {1, 1}}};
    static std::string Named(const TModels& m)
    {
        return "metal model " + std::to_string(m.Metal) + ", slag model " + std::to_string(m.Slag);
    }
    // F10 on the EAF, converter and ladle tasks under each pair of models.
    void ExpectEveryTaskMetUnderEveryPair(uint8_t heatBalance)
    {
        for (const TModels& models : Pairs) {
            SCOPED_TRACE(Named(models));
            Settings.MetalModel = models.Metal;
            Settings.SlagModel = models.Slag;
            for (const char* name : {EafTask, ConverterTask, LadleTask}) {
                SCOPED_TRACE(name);
                EXPECT_NO_FATAL_FAILURE(ExpectOptimisedTaskMet(name, heatBalance, 30));
            }
        }
    }
};

TEST_F(SampleTasksModelPairs, RecommendedChargesEndAtTheSameTemperatureUnderEveryPairOfModels)
{
    Settings.FinalTempMode = 1;
    for (const char* name : {EafTask, ConverterTask, LadleTask}) {
        SCOPED_TRACE(name);
        std::array<std::array<long double, 2>, Pairs.size()> end{};
        for (std::size_t p = 0; p < Pairs.size(); ++p) {
            SCOPED_TRACE(Named(Pairs[p]));
            Settings.MetalModel = Pairs[p].Metal;
            Settings.SlagModel = Pairs[p].Slag;
            const TTaskRecord& task = SelectTask(name);
            const TForwardResult melt = MeltForward();
            ASSERT_TRUE(melt.BothConverged);
            EXPECT_TRUE(melt.HeatBalanceCloses);
            for (std::size_t k = 0; k < 2; ++k) {
                end[p][k] = ThSystems[k]->Temperature - KelvinOffset;
                if (std::string(name) == ConverterTask) {
                    EXPECT_GE(end[p][k], task.MinTemp) << "system " << k;
                    EXPECT_LE(end[p][k], task.MaxTemp) << "system " << k;
                }
            }
        }
        for (std::size_t k = 0; k < 2; ++k) {
            const auto [low, high] = std::minmax_element(end.begin(), end.end(),
                                                         [k](const auto& a, const auto& b) { return a[k] < b[k]; });
            EXPECT_LE(static_cast<double>((*high)[k] - (*low)[k]), 15.0) << "system " << k;
        }
    }
}

// With the heat balance on, the optimiser meets the EAF, converter and ladle
// tasks, temperature window included, under every pair of models. (Slag
// model 1 takes the EAF task some 20 passes: its lower sulphide capacity
// leaves [S] of the upper system at the task's limit.)
TEST_F(SampleTasksModelPairs, OptimiserMeetsEveryTaskUnderEveryPairOfModels)
{
    ExpectEveryTaskMetUnderEveryPair(1);
}

// And with the heat balance off, at the tasks' own temperatures. Under slag
// model 1 the EAF task is met only on the edge of several limits at once:
// the upper system's [S] 0.04 %, which needs lime and doloma, and the lower
// system's basicity 2.8 and metal mass, which hold them back (heavy scrap
// 50, mixed 15, shredded 25, DRI 10, lime 2.0 and doloma 1.0 t melt inside
// every limit under metal model 0). The solver's effect tables see lime put
// its own sulphur into the metal where the melt takes sulphur out; the run
// on those rows gave up [S].
TEST_F(SampleTasksModelPairs, OptimiserMeetsEveryTaskUnderEveryPairOfModelsWithTheHeatBalanceOff)
{
    ExpectEveryTaskMetUnderEveryPair(0);
}

} // namespace
} // namespace ferrolyt::test
