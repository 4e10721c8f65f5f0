// The optimisation driver: relaxation, convergence, rounding, the absence
// release, the stop request, and whole runs on a small system.

#include "Constraints.h"
#include "Model.h"
#include "Optimiser.h"
#include "RecordingHost.h"
#include "RunState.h"
#include "Settings.h"
#include "SimplexLP.h"
#include "SolverFixtures.h"
#include "TaskList.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace ferrolyt;

namespace {

TThSys& Sys(int k) { return *ThSystems[static_cast<std::size_t>(k)]; }

// Ends the set-up of a heat whose materials are in the table: no bounds on
// them, both systems at the starting temperature and charged, and a current
// task that lists `slots` with their `start` amounts. Returns the task.
TTaskRecord& ChargeAndTask(const std::vector<int>& slots, const std::vector<long double>& start)
{
    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        m.MinT = m.MaxT = m.Fixed = m.Recommended = m.MinPercent = m.MaxPercent = UnsetValue;
    }
    Sys(1).Temperature = Sys(1).InitialTemperature = Sys(0).Temperature;
    for (int k = 0; k < 2; ++k) {
        Sys(k).Elems->Assign(ElementBase);
        test::PrepareCharge(Sys(k));
    }
    TaskList = TTaskList{};
    TaskList.Count = 1;
    TaskList.Current = 0;
    TTaskRecord& task = TaskList.Items[1];
    task = TTaskRecord{};
    task.NMat = static_cast<int>(slots.size());
    for (std::size_t k = 0; k < slots.size(); ++k) {
        TMaterialRecord& tm = task.Materials[static_cast<int>(k) + 1];
        tm.Name = MaterialTable[slots[k]].Name;
        tm.TableIndex = static_cast<uint16_t>(slots[k]);
        tm.Recommended = start[k];
    }
    CalcBusy = true;
    StopRequested = false;
    return task;
}

// Fe-C-O with pig iron (4 % C), scrap (0.2 % C) and mill scale. The task
// asks for 10..12 t of metal with at most 1 % C; pig iron is the cheaper
// metal, so the carbon limit decides the mix.
struct FeCOHeat {
    int Pig = 0, Scrap = 0, Scale = 0;
};

FeCOHeat SetUpFeCOHeat()
{
    test::BuildFeCO();
    FeCOHeat h;
    h.Pig = test::AddMaterial("Чавун", mtMetal, 0, {{"Fe", 0.9595f}, {"C", 0.04f}, {"O", 0.0005f}});
    h.Scrap = test::AddMaterial("Брухт", mtMetal, 0, {{"Fe", 0.997f}, {"C", 0.002f}, {"O", 0.001f}});
    h.Scale = test::AddMaterial("Окалина", mtSlag, 0, {{"Fe", 0.7773f}, {"O", 0.2227f}});
    // The upper ends of the pig iron's analysis carry a little more carbon.
    CompositionMax[2][h.Pig] = 0.042f;
    CompositionMax[1][h.Pig] = 0.9575f;
    MaterialTable[h.Pig].Price = 200;
    MaterialTable[h.Scrap].Price = 300;
    MaterialTable[h.Scale].Price = 1000;
    TTaskRecord& task = ChargeAndTask({h.Pig, h.Scrap, h.Scale}, {6, 5, 0});
    task.MinMet = 10;
    task.MaxMet = 12;
    // [C] at most 1 %, held by the upper system.
    const int c = ElementBase.IndexOfSymbol("C");
    Sys(1).El(c).MetalLimitGiven = true;
    Sys(1).El(c).MetalLimit = 0.01L;
    return h;
}

// Melts the charge again and tells whether it meets the task: metal between
// 10 and 12 t and at most 1 % C on both systems, each within its slack.
bool MeetsTask(long double massSlack, long double carbonSlack)
{
    SlpPass = 0;
    const int c = ElementBase.IndexOfSymbol("C");
    for (int k = 0; k < 2; ++k) {
        TThSys& s = Sys(k);
        if (!test::Solve(s) || s.MetalMass < 10 - massSlack || s.MetalMass > 12 + massSlack ||
            s.El(c).MetalMass / s.MetalMass > 0.01L + carbonSlack)
            return false;
    }
    return true;
}

long double Cost()
{
    long double cost = 0;
    for (int j = 1; j <= MaterialCount; ++j)
        cost += MaterialTable[j].Price * MaterialTable[j].Amount;
    return cost;
}

} // namespace

// ---------------------------------------------------------------------------

TEST(OptimiserRelaxation, WeightsFollowTheRelativeMove)
{
    EXPECT_EQ(RelaxationWeight(1, 5), 0);     // the first pass takes the LP solution whole
    EXPECT_EQ(RelaxationWeight(2, 0.05L), 0.33L);
    EXPECT_EQ(RelaxationWeight(2, 1), 3);
    EXPECT_EQ(RelaxationWeight(7, 20), 10);
}

TEST(OptimiserRelaxation, AmountsMoveTowardsTheLpSolution)
{
    ResetModel();
    MaterialCount = 3;
    SlpPass = 2;
    MaterialTable[1].Amount = 4;
    MaterialTable[1].LpAmount = 8;
    MaterialTable[2].Amount = 2;
    MaterialTable[2].LpAmount = 2;
    MaterialTable[3].Amount = 0.0006L;
    MaterialTable[3].LpAmount = 0.0003L;
    // r = |(4, 0, -0.0003)| / (1e-6 + 10.0003), w = 3 r.
    const long double r = std::sqrt(16 + 0.0003L * 0.0003L) / (1e-6L + 10.0003L);
    const long double w = 3 * r;
    EXPECT_FALSE(TRelaxation{}.Step(1e-5L));
    EXPECT_NEAR(static_cast<double>(MaterialTable[1].Amount), static_cast<double>((8 + w * 4) / (w + 1)), 1e-15);
    EXPECT_EQ(MaterialTable[2].Amount, 2);
    EXPECT_EQ(MaterialTable[3].Amount, 0); // (0.0003 + w 0.0006)/(w + 1) < 0.0005
    EXPECT_NEAR(static_cast<double>(ChargeTotal), static_cast<double>(MaterialTable[1].Amount + 2), 1e-15);
}

TEST(OptimiserRelaxation, ConvergenceLoosensByOneTolerancePerPass)
{
    ResetModel();
    MaterialCount = 1;
    SlpPass = 10;
    // r = 0.9e-4 converges on pass 10 with the tolerance 1e-5, 1.1e-4 does not.
    for (const auto& [gap, converges] : {std::pair{0.9e-2L, true}, std::pair{1.1e-2L, false}}) {
        MaterialTable[1].LpAmount = 100;
        MaterialTable[1].Amount = 100 - gap;
        EXPECT_EQ(TRelaxation{}.Step(1e-5L), converges) << gap;
    }
    Settings = TSettingsRecord{};
    EXPECT_EQ(OptimiserTolerance(), 1e-5L);
    Settings.AccurateOptimisation = true;
    EXPECT_EQ(OptimiserTolerance(), 1e-7L);
    Settings = TSettingsRecord{};
}

// One material from 4 t, the programme answering `answer(amount)` on every
// pass: true when the run converged, SlpPass then one past its last pass.
template <typename TAnswer>
bool RelaxOneMaterial(TRelaxation& relaxation, TAnswer answer)
{
    ResetModel();
    MaterialCount = 1;
    MaterialTable[1].Amount = 4;
    bool converged = false;
    for (SlpPass = 1; SlpPass <= MaxSlpPasses && !converged; ++SlpPass) {
        MaterialTable[1].LpAmount = answer(MaterialTable[1].Amount);
        converged = relaxation.Step(1e-5L);
    }
    return converged;
}

TEST(OptimiserRelaxation, SwingBetweenTwoVerticesDiesOut)
{
    // Linear rows that overshoot: around 5 t the programme's answer moves
    // three times as far as the charge and the other way, and it is held to
    // 0..10 t by the material's bounds. With the weight at 0.33 every move
    // overshoots further until the answer swings between the vertices 0 and
    // 10 t; the run must settle at 5 t well inside the pass limit.
    TRelaxation relaxation;
    EXPECT_TRUE(RelaxOneMaterial(relaxation, [](long double x) { return std::clamp(5 - 3 * (x - 5), 0.0L, 10.0L); }));
    EXPECT_LE(SlpPass, 40);
    EXPECT_NEAR(static_cast<double>(MaterialTable[1].Amount), 5, 1e-3);
    EXPECT_GT(relaxation.Floor(), MinRelaxationWeight);

    // A run that approaches steadily keeps the lowest weight.
    TRelaxation steady;
    EXPECT_TRUE(RelaxOneMaterial(steady, [](long double x) { return 5 + 0.5L * (x - 5); }));
    EXPECT_EQ(steady.Floor(), MinRelaxationWeight);
}

TEST(OptimiserRelaxation, RowsThatJumpBetweenTwoVerticesSettleBetweenThem)
{
    // The programme's answer is 10 t below 5 t of the charge and 0 t above:
    // no weight makes it follow the charge, so the run ends only when the
    // moves die out, at the jump.
    TRelaxation relaxation;
    EXPECT_TRUE(RelaxOneMaterial(relaxation, [](long double x) { return x < 5 ? 10.0L : 0.0L; }));
    EXPECT_LE(SlpPass, 50);
    EXPECT_NEAR(static_cast<double>(MaterialTable[1].Amount), 5, 0.01);
}

TEST(OptimiserRelaxation, RowsThatLeadTheChargeOnAndOnEndTheRun)
{
    // The programme's answer stays 1 t ahead of the charge whatever it is:
    // the passes agree and the gap closes ever more slowly, so the run would
    // creep to the pass limit unless the moves are shortened.
    TRelaxation relaxation;
    EXPECT_TRUE(RelaxOneMaterial(relaxation, [](long double x) { return x + 1; }));
    EXPECT_LE(SlpPass, 70);
}

TEST(OptimiserRelaxation, SteadyApproachAfterStepBacksReachesItsTarget)
{
    // Three step-backs at the start leave the move at an eighth and the
    // lowest weight at 2.64; rows that then lead steadily to 5 t must still
    // bring the charge there, not stop short once the shortened moves are
    // small.
    TRelaxation relaxation;
    ResetModel();
    MaterialCount = 1;
    MaterialTable[1].Amount = 4;
    MaterialTable[1].LpAmount = 10;
    SlpPass = 1;
    relaxation.Step(1e-5L);
    for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(relaxation.StepBack());
    bool converged = false;
    for (SlpPass = 2; SlpPass <= MaxSlpPasses && !converged; ++SlpPass) {
        MaterialTable[1].LpAmount = 5 + 0.5L * (MaterialTable[1].Amount - 5);
        converged = relaxation.Step(1e-5L);
    }
    EXPECT_TRUE(converged);
    EXPECT_LE(SlpPass, 40);
    EXPECT_NEAR(static_cast<double>(MaterialTable[1].Amount), 5, 2e-3);
}

TEST(OptimiserRelaxation, RowsThatCannotBeMetHalveTheLastMove)
{
    ResetModel();
    MaterialCount = 1;
    MaterialTable[1].Amount = 2;
    MaterialTable[1].LpAmount = 10;
    TRelaxation relaxation;
    EXPECT_FALSE(relaxation.StepBack()); // no move to halve yet
    SlpPass = 1;
    relaxation.Step(1e-5L);
    ASSERT_EQ(MaterialTable[1].Amount, 10);
    long double expected = 10;
    for (int k = 1; k <= 6; ++k) {
        ASSERT_TRUE(relaxation.StepBack()) << k;
        expected = (expected + 2) / 2;
        EXPECT_EQ(MaterialTable[1].Amount, expected);
        EXPECT_EQ(ChargeTotal, expected);
    }
    // Halved six times in a row, the rows are taken as they are.
    EXPECT_FALSE(relaxation.StepBack());
    EXPECT_GT(relaxation.Floor(), MinRelaxationWeight);
}

TEST(OptimiserRelaxation, FinalAmountsRoundToGrams)
{
    EXPECT_NEAR(static_cast<double>(RoundAmount(1.23456L)), 1.235, 1e-15);
    // Exact halves go to the even gram.
    EXPECT_NEAR(static_cast<double>(RoundAmount(0.0625L)), 0.062, 1e-15);
    EXPECT_NEAR(static_cast<double>(RoundAmount(0.1875L)), 0.188, 1e-15);
    EXPECT_EQ(RoundAmount(0), 0);
}

// ---------------------------------------------------------------------------

namespace {

int BlockNamed(const std::string& name)
{
    for (int k = 1; k <= ConstraintBlockCount; ++k)
        if (ConstraintBlocks[k].Name == name)
            return k;
    return -1;
}

// Runs in a scratch folder with a recording host.
class OptimiserRun : public ::testing::Test {
protected:
    test::TTempFolder folder_;
    test::RecordingHost host;
};

class StopAtFirstPass : public test::RecordingHost {
public:
    void ProcessMessages() override
    {
        RecordingHost::ProcessMessages();
        StopRequested = true;
    }
};

} // namespace

TEST_F(OptimiserRun, CheapestChargeMeetsEveryLimitWhenMeltedAgain)
{
    const FeCOHeat h = SetUpFeCOHeat();
    ASSERT_TRUE(BuildConstraintBlocks());
    ASSERT_EQ(Optimise(-1), lpMet);
    EXPECT_GT(SlpPass, 1);
    EXPECT_LT(SlpPass, 30);
    for (int j = 1; j <= MaterialCount; ++j) {
        EXPECT_EQ(MaterialTable[j].LpAmount, MaterialTable[j].Amount);
        EXPECT_EQ(RoundAmount(MaterialTable[j].Amount), MaterialTable[j].Amount);
    }
    // Carbon decides: pig iron and scrap, no scale.
    EXPECT_GT(MaterialTable[h.Pig].Amount, 1);
    EXPECT_GT(MaterialTable[h.Scrap].Amount, 1);
    EXPECT_EQ(MaterialTable[h.Scale].Amount, 0);

    const long double best = Cost();
    // Within the convergence tolerance and the rounding to 0.001 t.
    EXPECT_TRUE(MeetsTask(0.002L, 1e-5L));

    // No cheaper charge among nearby ones that meet the task.
    const long double pig = MaterialTable[h.Pig].Amount, scrap = MaterialTable[h.Scrap].Amount;
    int feasible = 0;
    for (long double dp : {-0.2L, -0.05L, 0.0L, 0.05L, 0.2L})
        for (long double ds : {-0.2L, -0.05L, 0.0L, 0.05L, 0.2L})
            for (long double scale : {0.0L, 0.05L}) {
                if (dp == 0 && ds == 0 && scale == 0)
                    continue;
                MaterialTable[h.Pig].Amount = pig + dp;
                MaterialTable[h.Scrap].Amount = scrap + ds;
                MaterialTable[h.Scale].Amount = scale;
                if (!MeetsTask(0, 0))
                    continue;
                ++feasible;
                EXPECT_GE(Cost(), best - 0.5L) << "pig " << pig + dp << ", scrap " << scrap + ds << ", scale " << scale;
            }
    EXPECT_GT(feasible, 0);
}

TEST_F(OptimiserRun, ProcessesMessagesOncePerPass)
{
    SetUpFeCOHeat();
    CalcBusy = false; // the solver itself yields only in busy runs
    ASSERT_TRUE(BuildConstraintBlocks());
    ASSERT_EQ(Optimise(-1), lpMet);
    EXPECT_EQ(host.processMessagesCalls, SlpPass);
}

TEST_F(OptimiserRun, StopRequestEndsTheRunAfterThePass)
{
    StopAtFirstPass stopping;
    const FeCOHeat h = SetUpFeCOHeat();
    ASSERT_TRUE(BuildConstraintBlocks());
    // The charge of a stopped run has not been melted: it is no answer.
    EXPECT_EQ(Optimise(-1), lpNotMet);
    EXPECT_EQ(SlpPass, 1);
    // The first pass takes the LP solution whole: about 2 t pig iron, 8 t scrap.
    EXPECT_GT(MaterialTable[h.Scrap].Amount, MaterialTable[h.Pig].Amount);
    EXPECT_EQ(MaterialTable[h.Scrap].LpAmount, 0);
}

TEST_F(OptimiserRun, RowsThatJumpBetweenTwoChargesSettleInsideThePassLimit)
{
    const FeCOHeat h = SetUpFeCOHeat();
    // Cheap scale makes the linear rows jump between two charges: the run
    // must settle between them, not end at the pass limit with no solution.
    // Where they settle the carbon limit curves away from the rows: a few
    // more passes with the rows moved in find a charge whose melt meets it.
    MaterialTable[h.Scale].Price = 400;
    ASSERT_TRUE(BuildConstraintBlocks());
    EXPECT_EQ(Optimise(-1), lpMet);
    EXPECT_LE(SlpPass, 75);
    EXPECT_TRUE(MeetsTask(0.002L, 1e-5L));
    for (int j = 1; j <= MaterialCount; ++j) {
        EXPECT_EQ(MaterialTable[j].LpAmount, MaterialTable[j].Amount);
        EXPECT_EQ(RoundAmount(MaterialTable[j].Amount), MaterialTable[j].Amount);
    }
}

TEST_F(OptimiserRun, ReleasedAbsenceFreesOnlyItsMaterialForTheRun)
{
    const FeCOHeat h = SetUpFeCOHeat();
    // Scrap is marked absent and scale may not be charged: pig iron alone
    // cannot meet 1 % C.
    TTaskRecord& task = TaskList.CurrentTask();
    task.Materials[2].Fixed = 0;
    MaterialTable[h.Scrap].Fixed = 0;
    MaterialTable[h.Scale].MaxT = 0;
    ASSERT_TRUE(BuildConstraintBlocks());
    const int absence = BlockNamed("Відсутність Брухт");
    ASSERT_GT(absence, 0);
    ASSERT_EQ(BlockNamed("[C] макс"), 1);

    // Without a release the first block (the carbon limit) goes.
    EXPECT_EQ(Optimise(-1), lpMetReleased);
    EXPECT_EQ(MaterialTable[h.Scrap].Amount, 0);

    // Releasing the absence lets scrap in, and the carbon limit holds.
    EXPECT_EQ(Optimise(absence), lpMet);
    EXPECT_GT(MaterialTable[h.Scrap].Amount, 1);
    EXPECT_EQ(MaterialTable[h.Scale].Amount, 0);
    EXPECT_EQ(task.Materials[2].Fixed, 0); // the mark is back
    EXPECT_EQ(MaterialTable[h.Scrap].Fixed, 0);
    EXPECT_TRUE(MeetsTask(0.002L, 1e-5L));
}

TEST_F(OptimiserRun, ReleasedAbsenceLeftAtZeroIsNoSolution)
{
    const FeCOHeat h = SetUpFeCOHeat();
    // Scale is absent; releasing it changes nothing, for it is too dear.
    TTaskRecord& task = TaskList.CurrentTask();
    task.Materials[3].Fixed = 0;
    MaterialTable[h.Scale].Fixed = 0;
    ASSERT_TRUE(BuildConstraintBlocks());
    const int absence = BlockNamed("Відсутність Окалина");
    ASSERT_GT(absence, 0);
    EXPECT_EQ(Optimise(absence), lpNotMet);
    EXPECT_EQ(MaterialTable[h.Scale].Amount, 0);
    EXPECT_EQ(task.Materials[3].Fixed, 0);
    EXPECT_EQ(MaterialTable[h.Scale].Fixed, 0);
}

TEST_F(OptimiserRun, TableauBeyondItsRoomIsNeverRun)
{
    ResetModel();
    MaterialCount = LpMaxColumns + 1;
    SlpPass = 7;
    EXPECT_EQ(Optimise(-1), lpNotMet);
    EXPECT_EQ(SlpPass, 7); // nothing ran
    MaterialCount = 0;
}

namespace {

// Fe-O-Si-Mn-Ca: scrap, lime, sand and ferromanganese for at least 10 t of
// metal with 0.8 % Mn, 0.8 t of slag and a basicity of 1.5.
struct SlagHeat {
    int Scrap = 0, Lime = 0, Sand = 0, FeMn = 0, Mn = 0;
};

SlagHeat SetUpSlagHeat()
{
    test::BuildFeOSiMnCa();
    SlagHeat h;
    h.Scrap = test::AddMaterial("Брухт", mtMetal, 0, {{"Fe", 0.988f}, {"Si", 0.004f}, {"Mn", 0.007f}, {"O", 0.001f}});
    h.Lime = test::AddMaterial("Вапно", mtSlag, 0, {{"Ca", 0.70f}, {"O", 0.28f}, {"Si", 0.02f}});
    h.Sand = test::AddMaterial("Пісок", mtSlag, 0, {{"Si", 0.46f}, {"O", 0.54f}});
    h.FeMn = test::AddMaterial("ФеМн", mtMetal, 0, {{"Fe", 0.2f}, {"Mn", 0.78f}, {"Si", 0.02f}});
    MaterialTable[h.Scrap].Price = 300;
    MaterialTable[h.Lime].Price = 100;
    MaterialTable[h.Sand].Price = 50;
    MaterialTable[h.FeMn].Price = 1500;
    TTaskRecord& task = ChargeAndTask({h.Scrap, h.Lime, h.Sand, h.FeMn}, {10, 0.5, 0.3, 0.05});
    task.MinMet = 10;
    task.MinSlg = 0.8L;
    task.MinOsn = 1.5L;
    h.Mn = ElementBase.IndexOfSymbol("Mn");
    Sys(0).El(h.Mn).MetalLimitGiven = true;
    Sys(0).El(h.Mn).MetalLimit = 0.008L;
    return h;
}

// Each limit on both systems; with `roundingSlack` within what rounding the
// amounts to 0.001 t can move it (0.0005 t of ferromanganese alone moves the
// manganese content by 4e-5).
bool SlagHeatMeetsTask(const SlagHeat& h, bool roundingSlack)
{
    const long double mass = roundingSlack ? 0.002L : 0, basicity = roundingSlack ? 0.005L : 0,
                      mn = roundingSlack ? 5e-5L : 0;
    SlpPass = 0;
    for (int k = 0; k < 2; ++k) {
        TThSys& s = Sys(k);
        if (!test::Solve(s))
            return false;
        if (s.MetalMass < 10 - mass || s.SlagMass < 0.8L - mass || s.Basicity < 1.5L - basicity ||
            s.El(h.Mn).MetalMass / s.MetalMass < 0.008L - mn)
            return false;
    }
    return true;
}

} // namespace

TEST_F(OptimiserRun, SlagAndBasicityLimitsHoldWhenMeltedAgain)
{
    const SlagHeat h = SetUpSlagHeat();
    ASSERT_TRUE(BuildConstraintBlocks());
    ASSERT_EQ(ConstraintBlockCount, 4);
    ASSERT_EQ(Optimise(-1), lpMet);
    EXPECT_GT(MaterialTable[h.FeMn].Amount, 0); // scrap alone lacks manganese
    EXPECT_GT(MaterialTable[h.Lime].Amount, MaterialTable[h.Sand].Amount);
    const long double best = Cost();
    EXPECT_TRUE(SlagHeatMeetsTask(h, true));

    const std::array<long double, 4> x{MaterialTable[h.Scrap].Amount, MaterialTable[h.Lime].Amount,
                                       MaterialTable[h.Sand].Amount, MaterialTable[h.FeMn].Amount};
    const std::array<int, 4> slots{h.Scrap, h.Lime, h.Sand, h.FeMn};
    // Charges around the optimum: every subset of small increases (moves
    // 1..15), and each material taken back a little from the full increase
    // (moves 16..19).
    const std::array<long double, 4> up{0.05L, 0.02L, 0.01L, 0.002L};
    int feasible = 0;
    for (int move = 1; move < 20; ++move) {
        for (int k = 0; k < 4; ++k) {
            const bool taken = move >= 16 || ((move >> k) & 1) != 0;
            MaterialTable[slots[k]].Amount = x[k] + (move == 16 + k ? -up[k] : taken ? up[k] : 0);
        }
        if (!SlagHeatMeetsTask(h, false))
            continue;
        ++feasible;
        EXPECT_GE(Cost(), best - 1) << "move " << move;
    }
    EXPECT_GT(feasible, 0);
}

// ---------------------------------------------------------------------------
// The verdict of a run is the melt of its charge

TEST_F(OptimiserRun, ChargeReportedMetMeltsInsideTheTaskWhenTheRowsJump)
{
    // Scale cheap enough to tempt the rows: below the carbon that reduces it
    // it adds metal, above it only slag, so the rows of each pass promise
    // more than the melt gives and the passes swing between charges.
    int met = 0;
    for (long double price : {330.0L, 360.0L, 400.0L, 450.0L, 520.0L, 600.0L}) {
        const FeCOHeat h = SetUpFeCOHeat();
        MaterialTable[h.Scale].Price = price;
        ASSERT_TRUE(BuildConstraintBlocks());
        if (Optimise(-1) != lpMet)
            continue;
        ++met;
        EXPECT_TRUE(MeetsTask(0.002L, 1e-5L)) << "scale at " << price;
    }
    EXPECT_GT(met, 0);
}

// ---------------------------------------------------------------------------
// Runs of one command (the stated task, then each release in turn) start
// from the same equilibria of the starting charge

TEST_F(OptimiserRun, RunsOfOneListingFindTheSameChargeWhateverRanBefore)
{
    const FeCOHeat h = SetUpFeCOHeat();
    ASSERT_TRUE(BuildConstraintBlocks());
    ASSERT_EQ(Optimise(-1), lpMet);
    const std::vector<long double> first = KeptCharge();
    const int32_t passes = SlpPass;

    // A run that ends elsewhere, and leaves its systems there.
    MaterialTable[h.Scale].Price = 400;
    Optimise(-1);
    ASSERT_NE(KeptCharge(), first);

    MaterialTable[h.Scale].Price = 1000;
    ASSERT_EQ(Optimise(-1), lpMet);
    EXPECT_EQ(KeptCharge(), first);
    EXPECT_EQ(SlpPass, passes);
}

TEST_F(OptimiserRun, ATaskListedAgainIsSolvedAfresh)
{
    // Richer pig iron, once after a run on the plain one and listed again,
    // once set up from scratch: the same charge, not the plain one's.
    const auto richer = [](const FeCOHeat& h) {
        CompositionMin[2][h.Pig] = CompositionMax[2][h.Pig] = 0.045f;
    };
    FeCOHeat h = SetUpFeCOHeat();
    ASSERT_TRUE(BuildConstraintBlocks());
    ASSERT_EQ(Optimise(-1), lpMet);
    const std::vector<long double> plain = KeptCharge();
    richer(h);
    ASSERT_TRUE(BuildConstraintBlocks());
    ASSERT_EQ(Optimise(-1), lpMet);
    const std::vector<long double> listedAgain = KeptCharge();

    h = SetUpFeCOHeat();
    richer(h);
    ASSERT_TRUE(BuildConstraintBlocks());
    ASSERT_EQ(Optimise(-1), lpMet);
    const std::vector<long double> fresh = KeptCharge();
    ASSERT_EQ(fresh.size(), plain.size());
    long double apart = 0;
    for (std::size_t j = 0; j < fresh.size(); ++j) {
        EXPECT_NEAR(static_cast<double>(listedAgain[j]), static_cast<double>(fresh[j]), 0.0011) << j;
        apart = std::max(apart, std::fabs(listedAgain[j] - plain[j]));
    }
    EXPECT_GT(apart, 0.1L);
}

TEST_F(OptimiserRun, AFirstPassAfterADataChangeIsSolvedAfresh)
{
    // Richer pig iron without the blocks listed again: the first pass of
    // the next run must not start from the plain pig iron's equilibria, so
    // its programme (the charge a run stopped after it keeps) is that of a
    // fresh set-up.
    StopAtFirstPass stopping;
    const auto richer = [](const FeCOHeat& h) {
        CompositionMin[2][h.Pig] = CompositionMax[2][h.Pig] = 0.045f;
    };
    FeCOHeat h = SetUpFeCOHeat();
    ASSERT_TRUE(BuildConstraintBlocks());
    Optimise(-1);
    richer(h);
    StopRequested = false;
    Optimise(-1);
    const std::vector<long double> changed = KeptCharge();

    h = SetUpFeCOHeat();
    richer(h);
    ASSERT_TRUE(BuildConstraintBlocks());
    Optimise(-1);
    EXPECT_EQ(KeptCharge(), changed);
}

// ---------------------------------------------------------------------------
// A release whose first run stalls in a corner

TEST_F(OptimiserRun, AReleaseIsFoundWhereItsFirstRunStallsInACorner)
{
    // At most 0.047 % oxygen in the bath wants carbon beside it, so pig
    // iron; with the carbon limit released the cheapest metal is scrap
    // alone. The first run, started with mill scale in the charge, takes
    // one more block (the oxygen limit) whenever its rows cannot all be
    // met, and so ends at scrap alone, where the rows of the oxygen limit
    // cannot be met any more. Pig iron and scrap together meet every limit
    // but the carbon one: the release must be found.
    const FeCOHeat h = SetUpFeCOHeat();
    MaterialTable[h.Pig].Price = 340;
    MaterialTable[h.Scale].Price = 800;
    TTaskRecord& task = TaskList.CurrentTask();
    task.MinMet = 10.5L;
    task.MaxMet = 13;
    for (int m = 1; m <= 3; ++m)
        task.Materials[m].Recommended = std::array{5.25L, 4.5L, 2.4L}[static_cast<std::size_t>(m - 1)];
    const int c = ElementBase.IndexOfSymbol("C"), o = ElementBase.IndexOfSymbol("O");
    Sys(1).El(c).MetalLimit = 0.018L;
    Sys(1).El(o).MetalLimitGiven = true;
    Sys(1).El(o).MetalLimit = 0.00047L;
    ASSERT_TRUE(BuildConstraintBlocks());
    const int carbon = BlockNamed("[C] макс");
    ASSERT_GT(carbon, 0);

    ASSERT_EQ(Optimise(carbon), lpMet);
    EXPECT_LT(SlpPass, MaxSlpPasses);
    EXPECT_GT(MaterialTable[h.Pig].Amount, 1);
    // Melted again, within the rounding to 0.001 t.
    SlpPass = 0;
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE("system " + std::to_string(k));
        TThSys& s = Sys(k);
        ASSERT_TRUE(test::Solve(s));
        EXPECT_GE(s.MetalMass, 10.5L - 0.002L);
        EXPECT_LE(s.MetalMass, 13 + 0.002L);
        EXPECT_LE(s.El(o).MetalMass / s.MetalMass, 0.00047L * (1 + MeltCheckRelative));
    }
}
