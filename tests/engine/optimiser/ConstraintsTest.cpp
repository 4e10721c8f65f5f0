// The optimiser's constraint blocks, the linear rows built from them, and
// the starting charge and estimate of a run.

#include "Constraints.h"
#include "Model.h"
#include "RecordingHost.h"
#include "Settings.h"
#include "SimplexLP.h"
#include "SmallSystems.h"
#include "SystemSetup.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ferrolyt;

namespace {

TThSys& Sys(int k) { return *ThSystems[static_cast<std::size_t>(k)]; }

// A fresh model: Fe, O, Si, Mn, Ca in both systems (basic oxides present),
// `materials` materials without bounds and an empty current task.
TTaskRecord& FreshTask(int materials = 3)
{
    test::BuildFeOSiMnCa();
    const char* labels[] = {"FeO", "O", "SiO2", "MnO", "CaO"};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 5; ++i)
            Sys(k).El(i).Label = labels[i];
    MaterialCount = materials;
    for (int j = 1; j <= materials; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        m = ZeroMaterialRecord();
        m.Name = "M" + std::to_string(j);
        m.Type = mtMetal;
        m.MinT = m.MaxT = m.Fixed = m.Recommended = m.MinPercent = m.MaxPercent = UnsetValue;
    }
    TaskList = TTaskList{};
    TaskList.Count = 1;
    TaskList.Current = 0;
    TaskList.Items[1] = TTaskRecord{};
    ConstraintBlockCount = 0;
    LpRowCount = 0;
    for (auto& row : LpTableau)
        row.fill(0);
    return TaskList.Items[1];
}

std::vector<std::string> BlockNames()
{
    std::vector<std::string> names;
    for (int k = 1; k <= ConstraintBlockCount; ++k)
        names.push_back(ConstraintBlocks[k].Name);
    return names;
}

std::vector<int> BlockKinds()
{
    std::vector<int> kinds;
    for (int k = 1; k <= ConstraintBlockCount; ++k)
        kinds.push_back(ConstraintBlocks[k].Kind);
    return kinds;
}

// Row r of the tableau over columns 0..MaterialCount.
std::vector<long double> TableauRow(int r)
{
    return std::vector<long double>(LpTableau[r].begin(), LpTableau[r].begin() + MaterialCount + 1);
}

} // namespace

// ---------------------------------------------------------------------------

TEST(ConstraintBlockList, BlocksFollowTheKindOrderAndRowsFollowTheBlocks)
{
    TTaskRecord& task = FreshTask(3);
    Settings.FinalTempMode = 1;
    // Si (index 2) with both metal limits, Mn (3) with a slag upper limit.
    Sys(0).El(2).MetalLimitGiven = Sys(1).El(2).MetalLimitGiven = true;
    Sys(1).El(3).SlagLimitGiven = true;
    task.MinMet = 90;
    task.MaxMet = 100;
    task.MinTemp = 1600;
    task.MaxTemp = 1650;
    task.MaxSlg = 8;
    task.MinOsn = 2;
    task.MaxGas = 3;
    MaterialTable[1].MinT = 1;
    MaterialTable[1].MaxT = 5;
    MaterialTable[1].MaxPercent = 40;
    MaterialTable[2].Fixed = 0;
    MaterialTable[2].MinT = 1; // ignored under Fixed
    MaterialTable[3].MinPercent = 10;
    ASSERT_TRUE(BuildConstraintBlocks());
    EXPECT_EQ(BlockNames(),
              (std::vector<std::string>{"[Si] мін", "[Si] макс", "Мін маса металу", "Макс маса металу",
                                        "Мін температура", "Макс температура", "(MnO) макс", "Макс маса шлаку",
                                        "Мін основність", "Макс маса газу", "Min mass of M1", "Брак M1",
                                        "Макс відсоток M1", "Відсутність M2", "Мін відсоток M3"}));
    EXPECT_EQ(BlockKinds(), (std::vector<int>{0, 0, 1, 1, 6, 6, 2, 3, 4, 5, 7, 7, 9, 8, 9}));
    // Limits on the heat's state take a row per system, material limits one.
    int next = 1;
    for (int k = 1; k <= ConstraintBlockCount; ++k) {
        EXPECT_EQ(ConstraintBlocks[k].FirstRow, next) << ConstraintBlocks[k].Name;
        EXPECT_EQ(ConstraintBlocks[k].LastRow - next + 1, k <= 10 ? 2 : 1) << ConstraintBlocks[k].Name;
        next = ConstraintBlocks[k].LastRow + 1;
    }
    EXPECT_EQ(LpRowCount, 10 * 2 + 5);
    EXPECT_EQ(ConstraintBlocks[1].Index, 2);
    EXPECT_EQ(ConstraintBlocks[4].Index, 1);
    EXPECT_EQ(ConstraintBlocks[7].Index, 3);
    EXPECT_EQ(ConstraintBlocks[14].Index, 2);
}

TEST(ConstraintBlockList, FixedMaterialMakesOnlyItsFixedBlockAndAMaximumOfZeroIsAnAbsence)
{
    FreshTask(3);
    MaterialTable[1].Fixed = 0;
    MaterialTable[1].MaxT = 4;
    MaterialTable[2].Fixed = 2.5L;
    MaterialTable[2].MinT = 1;
    MaterialTable[2].MinPercent = 10;
    MaterialTable[3].MaxT = 0;
    ASSERT_TRUE(BuildConstraintBlocks());
    EXPECT_EQ(BlockNames(), (std::vector<std::string>{"Відсутність M1", "ЗаФіксована маса M2", "Відсутність M3"}));
    EXPECT_EQ(BlockKinds(), (std::vector<int>{ckFixedMass, ckFixedMass, ckMaterialMass}));
    EXPECT_EQ(ConstraintBlocks[1].LastRow - ConstraintBlocks[1].FirstRow, 0);
    EXPECT_EQ(ConstraintBlocks[2].LastRow - ConstraintBlocks[2].FirstRow, 1);
    EXPECT_EQ(LpRowCount, 4);
}

// A task without limits gives no rows; phase limits count only when
// positive, temperature limits only with the heat balance, basicity limits
// only with basic oxides in the system.
TEST(ConstraintBlockList, LimitsCountOnlyWhereTheyCanApply)
{
    const struct {
        void (*off)(TTaskRecord&);
        void (*on)(TTaskRecord&);
        std::vector<std::string> names;
    } cases[] = {
        {[](TTaskRecord&) {}, [](TTaskRecord& t) { t.MaxMet = 100; }, {"Макс маса металу"}},
        {[](TTaskRecord& t) { t.MinGas = t.MinSlg = 0; }, [](TTaskRecord& t) { t.MinGas = 0.5L; }, {"Мін маса газу"}},
        {[](TTaskRecord& t) { t.MinTemp = 1600; t.MaxTemp = 1700; Settings.FinalTempMode = 0; },
         [](TTaskRecord&) { Settings.FinalTempMode = 2; }, {"Мін температура", "Макс температура"}},
        {[](TTaskRecord& t) { t.MinOsn = 1.5L; t.MaxOsn = 3; Sys(0).Elems->BasicOxides = false; },
         [](TTaskRecord&) { Sys(0).Elems->BasicOxides = true; }, {"Мін основність", "Макс основність"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names[0]);
        TTaskRecord& task = FreshTask();
        c.off(task);
        EXPECT_FALSE(BuildConstraintBlocks());
        EXPECT_EQ(ConstraintBlockCount, 0);
        EXPECT_EQ(LpRowCount, 0);
        c.on(task);
        ASSERT_TRUE(BuildConstraintBlocks());
        EXPECT_EQ(BlockNames(), c.names);
        EXPECT_EQ(LpRowCount, 2 * static_cast<int>(c.names.size()));
    }
}

TEST(ConstraintBlockList, NamesAreCutTo25Characters)
{
    FreshTask(1);
    MaterialTable[1].Name = "Феросилікомарганець"; // 19 characters, 38 bytes
    MaterialTable[1].MaxPercent = 5;
    ASSERT_TRUE(BuildConstraintBlocks());
    EXPECT_EQ(ConstraintBlocks[1].Name, "Макс відсоток Феросиліком");
    EXPECT_EQ(Utf8Length(ConstraintBlocks[1].Name), 25u);
}

TEST(ConstraintBlockList, TaskBeyondTheTableauIsRefused)
{
    test::RecordingHost host;
    // 97 materials with four limits each: 388 blocks.
    FreshTask(MaxMaterials);
    for (int j = 1; j <= MaxMaterials; ++j) {
        MaterialTable[j].MinT = 0.1L;
        MaterialTable[j].MaxT = 50;
        MaterialTable[j].MinPercent = 1;
        MaterialTable[j].MaxPercent = 60;
    }
    EXPECT_FALSE(BuildConstraintBlocks());
    EXPECT_EQ(ConstraintBlockCount, 0);
    EXPECT_EQ(LpRowCount, 0);
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_TRUE(host.warned("388"));

    // The first `n` of 41 elements with all four limits.
    auto limitElements = [&host](int n) {
        host.warnings.clear();
        FreshTask(1);
        SystemElemLast = MaxElements - 1;
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < 2; ++k)
                Sys(k).El(i).MetalLimitGiven = Sys(k).El(i).SlagLimitGiven = true;
    };
    // 41 elements: 164 blocks, but 328 rows.
    limitElements(MaxElements);
    EXPECT_FALSE(BuildConstraintBlocks());
    EXPECT_EQ(ConstraintBlockCount, 0);
    EXPECT_EQ(LpRowCount, 0);
    EXPECT_TRUE(host.warned("328"));
    // Exactly 280 rows still fit.
    limitElements(35);
    EXPECT_TRUE(BuildConstraintBlocks());
    EXPECT_EQ(LpRowCount, 280);
    EXPECT_TRUE(host.warnings.empty());
}

TEST(ConstraintBlockList, MoreMaterialsThanColumnsAreRefused)
{
    test::RecordingHost host;
    FreshTask().MaxMet = 10;
    MaterialCount = LpMaxColumns + 1;
    EXPECT_FALSE(BuildConstraintBlocks());
    EXPECT_EQ(ConstraintBlockCount, 0);
    EXPECT_EQ(host.warnings.size(), 1u);
}

// ---------------------------------------------------------------------------

namespace {

// A fresh task with Fe (0) and Si (2) in the metal: per system kind, the
// effects of the three materials on the metal and slag, the present masses
// and the charge.
TTaskRecord& TaskWithEffects()
{
    TTaskRecord& task = FreshTask();
    for (int k = 0; k < 2; ++k) {
        auto& dM = MaterialEffectsOnMetal[k];
        auto& dS = MaterialEffectsOnSlag[k];
        const float s = k == 0 ? 1.0f : 1.1f;
        dM[1][1] = 0.9f * s; dM[1][2] = 0.5f; dM[1][3] = 0.2f; // Fe
        dM[3][1] = 0.01f * s; dM[3][2] = 0.0f; dM[3][3] = 0.1f; // Si
        dS[1][1] = 0.05f; dS[1][2] = 0.3f; dS[1][3] = 0.0f;
        dS[3][1] = 0.0f; dS[3][2] = 0.1f; dS[3][3] = 0.2f;
        Sys(k).El(0).MetalMass = 11;
        Sys(k).El(2).MetalMass = 0.2L;
        Sys(k).El(0).SlagMass = 1.5L;
        Sys(k).El(2).SlagMass = 0.4L;
        for (int i : {1, 3, 4})
            Sys(k).El(i).MetalMass = Sys(k).El(i).SlagMass = 0;
    }
    MaterialTable[1].Amount = 10;
    MaterialTable[2].Amount = 4;
    MaterialTable[3].Amount = 1;
    for (int j = 1; j <= 3; ++j)
        MaterialTable[j].Price = 100 * j;
    return task;
}

// Lists the blocks and fills their rows.
bool BuildRows()
{
    const bool any = BuildConstraintBlocks();
    BuildLinearRows();
    return any;
}

void ExpectRow(int r, const std::vector<long double>& expected)
{
    const std::vector<long double> row = TableauRow(r);
    ASSERT_EQ(row.size(), expected.size());
    for (std::size_t j = 0; j < row.size(); ++j)
        EXPECT_NEAR(static_cast<double>(row[j]), static_cast<double>(expected[j]), 1e-6)
            << "row " << r << ", column " << j;
}

} // namespace

TEST(LinearRows, MetalMassRowsPerSystemAndTheCostRow)
{
    TTaskRecord& task = TaskWithEffects();
    task.MinMet = 8;
    task.MaxMet = 12;
    LpTableau[0][0] = 123;
    ASSERT_TRUE(BuildRows());
    ExpectRow(0, {0, 100, 200, 300}); // the prices
    ASSERT_EQ(LpRowCount, 4);
    // Lower system: M = (0.91, 0.5, 0.3); base 0.91·10 + 0.5·4 + 0.3·1 − 11.2.
    const long double m0 = 0.91L * 10 + 0.5L * 4 + 0.3L - 11.2L;
    ExpectRow(1, {-m0 - 8, -0.91L, -0.5L, -0.3L});
    // Upper system: the first material's effects are 10 % larger.
    const long double m1 = 1.001L * 10 + 0.5L * 4 + 0.3L - 11.2L;
    ExpectRow(2, {-m1 - 8, -1.001L, -0.5L, -0.3L});
    ExpectRow(3, {12 + m0, 0.91L, 0.5L, 0.3L});
    ExpectRow(4, {12 + m1, 1.001L, 0.5L, 0.3L});
}

TEST(LinearRows, ChargeCarriersStayOutOfTheMetalBasePoint)
{
    TaskWithEffects().MaxMet = 12;
    MaterialTable[2].Type = mtChargeCarrier;
    ASSERT_TRUE(BuildRows());
    const long double m0 = 0.91L * 10 + 0.3L - 11.2L;
    ExpectRow(1, {12 + m0, 0.91L, 0.5L, 0.3L});
}

TEST(LinearRows, ElementContentRows)
{
    TaskWithEffects();
    Sys(0).El(2).MetalLimitGiven = true;
    Sys(0).El(2).MetalLimit = 0.02L;
    Sys(1).El(2).MetalLimitGiven = true;
    Sys(1).El(2).MetalLimit = 0.05L;
    ASSERT_TRUE(BuildRows());
    ASSERT_EQ(LpRowCount, 4);
    // Lower system: Si a = (0, 0.01, 0, 0.1), metal M = (0.2, 0.91, 0.5, 0.3);
    // the rows are 0.02 M − a and a − 0.05 M.
    ExpectRow(1, {0.004L, 0.0082L, 0.01L, -0.094L});
    ExpectRow(3, {-0.01L, -0.0355L, -0.025L, 0.085L});
}

TEST(LinearRows, SlagLimitIsTurnedIntoAnElementFraction)
{
    TaskWithEffects();
    // Si: compound fraction in slag 0.3 for an element fraction 0.14.
    Sys(1).El(2).SlagLimitGiven = true;
    Sys(1).El(2).SlagLimit = 0.25L;
    Sys(1).El(2).SlagFraction = 0.14L;
    Sys(1).El(2).SlagCompoundFraction = 0.30L;
    ASSERT_TRUE(BuildRows());
    const long double u = 0.25L * 0.14L / 0.30L;
    // The row is b − u S. Lower-system slag: S = (0.4, 0.05, 0.4, 0.2), base
    // 0.05·10 + 0.4·4 + 0.2 − 1.9; Si b = (0.2, 0, 0.1, 0.2), base 0.4 + 0.2 − 0.4.
    ExpectRow(1, {0.2L - 0.4L * u, -0.05L * u, 0.1L - 0.4L * u, 0.2L - 0.2L * u});
}

TEST(LinearRows, SlagWithoutTheCompoundUsesTheOxideFactor)
{
    TaskWithEffects();
    Sys(0).El(2).SlagLimitGiven = true;
    Sys(0).El(2).SlagLimit = 0.2L;
    Sys(0).El(2).SlagFraction = 0;
    Sys(0).El(2).SlagCompoundFraction = 0;
    ASSERT_TRUE(BuildRows());
    for (long double v : TableauRow(1))
        EXPECT_TRUE(std::isfinite(static_cast<double>(v)));
    const long double u = 0.2L / Sys(0).El(2).CompoundFactor;
    EXPECT_NEAR(static_cast<double>(LpTableau[1][2]), static_cast<double>(u * 0.4L - 0.1L), 1e-6);
}

TEST(LinearRows, BasicityRows)
{
    TTaskRecord& task = TaskWithEffects();
    task.MinOsn = 2;
    Sys(0).El(4).SlagMass = 0.9L; // Ca
    MaterialEffectsOnSlag[0][5][3] = 0.4f;
    ASSERT_TRUE(BuildRows());
    const long double fSi = Sys(0).El(2).CompoundFactor;
    const long double fCa = Sys(0).El(4).CompoundFactor;
    // The row is 2 fSi b(Si) − fCa b(Ca): Si b = (0.2, 0, 0.1, 0.2); Ca b = (0.4 − 0.9, 0, 0, 0.4).
    ExpectRow(1, {0.4L * fSi + 0.5L * fCa, 0, 0.2L * fSi, 0.4L * fSi - 0.4L * fCa});
}

TEST(LinearRows, TemperatureRows)
{
    TTaskRecord& task = TaskWithEffects();
    Settings.FinalTempMode = 1;
    task.MinTemp = 1580;
    task.MaxTemp = 1620;
    for (int k = 0; k < 2; ++k) {
        Sys(k).Temperature = 1600 + KelvinOffset + 10 * k;
        MaterialTable[1].TempEffect[k] = -2;
        MaterialTable[2].TempEffect[k] = 5;
        MaterialTable[3].TempEffect[k] = 1;
    }
    MaterialTable[3].Type = mtChargeCarrier;
    ASSERT_TRUE(BuildRows());
    const long double D = -2 * 10 + 5 * 4; // the charge carrier left out
    ExpectRow(1, {(1600 - 1580) - D, 2, -5, -1});
    ExpectRow(2, {(1610 - 1580) - D, 2, -5, -1});
    ExpectRow(3, {-((1600 - 1620) - D), -2, 5, 1});
}

TEST(LinearRows, MaterialRows)
{
    FreshTask(5);
    MaterialTable[1].Fixed = 2.5L;
    MaterialTable[2].Fixed = 0;
    MaterialTable[3].MinPercent = 20;
    MaterialTable[4].MinT = 1.5L;
    MaterialTable[4].MaxT = 0;
    MaterialTable[5].MaxPercent = 30;
    ASSERT_TRUE(BuildRows());
    ASSERT_EQ(LpRowCount, 7);
    ExpectRow(1, {2.5L, 1, 0, 0, 0, 0});
    ExpectRow(2, {-2.5L, -1, 0, 0, 0, 0});
    ExpectRow(3, {0, 0, 1, 0, 0, 0});
    ExpectRow(4, {0, 0.2L, 0.2L, -0.8L, 0.2L, 0.2L});
    ExpectRow(5, {-1.5L, 0, 0, 0, -1, 0});
    ExpectRow(6, {0, 0, 0, 0, 1, 0});
    ExpectRow(7, {0, -0.3L, -0.3L, -0.3L, -0.3L, 0.7L});
}

TEST(LinearRows, LiftedAbsenceKeepsEveryLaterBlockOnItsRows)
{
    FreshTask(2);
    MaterialTable[1].Fixed = 0;
    MaterialTable[1].MaxT = 7; // listed under Fixed: no block of its own
    MaterialTable[2].MaxT = 4;
    ASSERT_TRUE(BuildConstraintBlocks());
    ASSERT_EQ(LpRowCount, 2);
    // The run lifts the absence mark after the blocks were listed.
    MaterialTable[1].Fixed = UnsetValue;
    LpTableau[1].fill(99);
    BuildLinearRows();
    EXPECT_EQ(LpRowCount, 2);
    ExpectRow(1, {0, 0, 0});
    ExpectRow(2, {4, 0, 1});
}

// ---------------------------------------------------------------------------

namespace {

TMaterialRecord TaskMaterial(int slot, long double fixed, long double recommended, long double minT)
{
    TMaterialRecord m;
    m.Name = MaterialTable[slot].Name;
    m.TableIndex = static_cast<uint16_t>(slot);
    m.Fixed = fixed;
    m.Recommended = recommended;
    m.MinT = minT;
    return m;
}

} // namespace

TEST(StartingCharge, TaskMaterialsGetFixedRecommendedOrMinimum)
{
    TTaskRecord& task = FreshTask(6);
    for (int j = 1; j <= 6; ++j)
        MaterialTable[j].Amount = MaterialTable[j].LpAmount = 9;
    task.NMat = 5;
    task.Materials[1] = TaskMaterial(1, 4, 10, 20);                 // Fixed wins
    task.Materials[2] = TaskMaterial(2, UnsetValue, 3, 5);          // Min t above Recommended
    task.Materials[3] = TaskMaterial(3, UnsetValue, 12, 5);         // Recommended above Min t
    task.Materials[4] = TaskMaterial(4, UnsetValue, -2, UnsetValue); // never negative
    task.Materials[5] = TaskMaterial(5, UnsetValue, UnsetValue, UnsetValue);
    ChargePortion = 50;
    InitialChargeFromTask();
    const long double expected[] = {2, 5, 6, 0, 0, 0}; // the sixth is not in the task
    for (int j = 1; j <= 6; ++j) {
        EXPECT_EQ(MaterialTable[j].Amount, expected[j - 1]) << j;
        EXPECT_EQ(MaterialTable[j].LpAmount, 0) << j;
    }
}

TEST(StartingCharge, NoCurrentTaskLeavesEverythingAtZero)
{
    TTaskRecord& task = FreshTask(1);
    task.NMat = 1;
    task.Materials[1] = TaskMaterial(1, 4, UnsetValue, UnsetValue);
    TaskList.Current = -1;
    MaterialTable[1].Amount = 3;
    InitialChargeFromTask();
    EXPECT_EQ(MaterialTable[1].Amount, 0);
}

TEST(StartingEstimate, TargetsFollowTheInitialMassesWithinTheLimits)
{
    TTaskRecord& task = FreshTask();
    task.IniMaxMet = 100;
    task.IniMinMet = 80;
    task.IniMaxSlg = 10;
    task.IniMinSlg = 5;
    task.MaxMet = 90; // clamps the lower system's 100 t
    task.MinSlg = 6;  // raises the upper system's 5 t
    // Si in the lower and the upper system.
    auto& lo = Sys(0).El(2);
    auto& up = Sys(1).El(2);
    lo.InputMetalMass = up.InputMetalMass = 0.3L;
    lo.InputSlagMass = up.InputSlagMass = 0.5L;
    lo.MetalLimit = 0.002L; // at least 0.3 %
    up.MetalLimit = 0.0035L;
    lo.SlagLimit = 0;
    up.SlagLimit = 0.15L;
    InitialEstimateFromTargets();
    const long double f = lo.CompoundFactor;

    // Lower system: fraction 0.3/100 = 0.003, mass clamped to 90 t.
    EXPECT_NEAR(static_cast<double>(lo.MetalFraction), 0.003, 1e-15);
    EXPECT_NEAR(static_cast<double>(lo.GivenMetalMass), 0.003 * 90, 1e-12);
    // Slag: 0.5/10 = 0.05 element, 0.05·f compound (< 0.15), 10 t.
    EXPECT_NEAR(static_cast<double>(lo.SlagFraction), 0.05, 1e-15);
    EXPECT_NEAR(static_cast<double>(lo.GivenSlagMass), static_cast<double>((0.3L - 0.27L) + 0.05L * f * 10 / f), 1e-12);

    // Upper system: 0.3/80 = 0.00375, lowered to 0.0035; slag 0.5/5 = 0.1
    // element, compound 0.1·f clamped to 0.15, mass raised to 6 t.
    EXPECT_NEAR(static_cast<double>(up.GivenMetalMass), 0.0035 * 80, 1e-12);
    EXPECT_NEAR(static_cast<double>(up.GivenSlagMass), static_cast<double>(0.3L - 0.28L + 0.15L * 6 / f), 1e-12);
}

// ---------------------------------------------------------------------------
// A melted charge against the task

namespace {

// Both systems as if melted: 100 t of metal with 0.5 % Mn, 10 t of slag of
// basicity 2 at 1600 °C.
void Melted()
{
    for (int k = 0; k < 2; ++k) {
        TThSys& s = Sys(k);
        s.MetalMass = 100;
        s.SlagMass = 10;
        s.GasMass = 1;
        s.Basicity = 2;
        s.Temperature = 1600 + KelvinOffset;
        s.El(3).MetalFraction = 0.005L;
        s.El(2).SlagCompoundFraction = 0.2L;
    }
}

std::vector<std::string> BrokenNames(int32_t released = -1)
{
    std::vector<std::string> names;
    for (int32_t k : BrokenBlocks(released))
        names.push_back(ConstraintBlocks[k].Name);
    return names;
}

} // namespace

TEST(MeltCheck, EachLimitHoldsWithinItsMarginAndBreaksBeyondIt)
{
    TTaskRecord& task = FreshTask(2);
    task.MinMet = 100.05L;  // 0.05 t short: within 1e-3 of the limit
    task.MaxSlg = 9.9L;     // 0.1 t over: beyond it
    task.MinOsn = 2.001L;   // within
    task.MaxTemp = 1599.6L; // 0.4 K over: within half a kelvin
    task.MinTemp = 1600.6L; // 0.6 K short: beyond it
    Settings.FinalTempMode = 1;
    Sys(0).El(3).MetalLimitGiven = true; // [Mn] at least 0.5004 %: within
    Sys(0).El(3).MetalLimit = 0.005004L;
    Sys(1).El(3).MetalLimitGiven = true; // at most 0.499 %: beyond
    Sys(1).El(3).MetalLimit = 0.00499L;
    Sys(1).El(2).SlagLimitGiven = true;  // (SiO2) at most 19.99 %: within
    Sys(1).El(2).SlagLimit = 0.1999L;
    ASSERT_TRUE(BuildConstraintBlocks());
    Melted();
    // The upper system alone breaks a limit too.
    Sys(1).MetalMass = 100.3L;
    task.MaxMet = 100.1L;
    AddConstraintBlock("Макс маса металу", ckMetalMass, 1, 2, csUpper);

    EXPECT_EQ(BrokenNames(), (std::vector<std::string>{"[Mn] макс", "Мін температура", "Макс маса шлаку",
                                                        "Макс маса металу"}));
    Settings.FinalTempMode = 0;
}

TEST(MeltCheck, TheReleasedBlockIsNotChecked)
{
    TTaskRecord& task = FreshTask(2);
    task.MinSlg = 12;
    task.MaxMet = 90;
    ASSERT_TRUE(BuildConstraintBlocks());
    Melted();
    EXPECT_EQ(BrokenNames(), (std::vector<std::string>{"Макс маса металу", "Мін маса шлаку"}));
    EXPECT_EQ(BrokenNames(2), (std::vector<std::string>{"Макс маса металу"}));
}

TEST(MeltCheck, MaterialAmountsAndSharesHoldToTheGram)
{
    FreshTask(3);
    MaterialTable[1].MinT = 5;
    MaterialTable[1].MaxPercent = 75;
    MaterialTable[2].MaxT = 0;
    MaterialTable[3].Fixed = 2;
    ASSERT_TRUE(BuildConstraintBlocks());
    Melted();
    // 4.9995 t against at least 5 t, 0.0005 t of an absent material, and
    // the fixed 2 t exactly: all held, as rounding to 0.001 t leaves them.
    MaterialTable[1].Amount = 4.9995L;
    MaterialTable[2].Amount = 0.0005L;
    MaterialTable[3].Amount = 2;
    EXPECT_TRUE(BrokenNames().empty());
    // Material 1 at 78 % of the charge, 0.01 t of the absent one and the
    // fixed one 0.01 t short.
    MaterialTable[1].Amount = 7;
    MaterialTable[2].Amount = 0.01L;
    MaterialTable[3].Amount = 1.99L;
    EXPECT_EQ(BrokenNames(), (std::vector<std::string>{"Макс відсоток M1", "Відсутність M2", "ЗаФіксована маса M3"}));
}
