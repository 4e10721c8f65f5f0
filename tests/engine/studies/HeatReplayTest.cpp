// Replaying heat logs on the sample project: the whole sample heat, the mass
// balance of the portion steps, scrap melting and solidification, the
// temperature calibration, slag run-off, stopping, and the batch report.

#include "HeatBatch.h"
#include "HeatTestSupport.h"
#include "Settings.h"
#include "TaskList.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace ferrolyt::test {
namespace {

bool Finite(const THeatStepInfo& s)
{
    return std::isfinite(s.MetalMass) && std::isfinite(s.SlagMass) && std::isfinite(s.TemperatureC) &&
           std::isfinite(s.GasMass) && std::isfinite(s.SolidScrap);
}

int FeIndex() { return ThSystems[0]->Elems->Key(keyFe); }

class HeatReplayBase : public HeatTestBase {
protected:
    // Loads a log of the sample's columns and replays its first row.
    static void StartReplay(THeatReplay& replay, const std::vector<std::string>& rows, int mode = ConsumptionPortion)
    {
        ASSERT_TRUE(LoadHeatFromLines(Log(rows), "x.HEA"));
        ASSERT_TRUE(replay.SetUp(mode));
        ASSERT_TRUE(replay.RunStep());
    }
};

class HeatReplayWholeHeat : public HeatTestBase {
protected:
    // Replays the whole sample log; returns the rows shown.
    static std::vector<THeatStepInfo> RunSampleHeat(int mode)
    {
        EXPECT_TRUE(LoadHeatFile(SampleHeatLog().string()));
        const TTaskRecord taskBefore = TaskList.CurrentTask();
        const long double feB2 = ThSystems[0]->El(FeIndex()).SlagB2;
        HeatRunning = true;
        std::vector<THeatStepInfo> shown;
        EXPECT_EQ(RunHeat(mode, [&](const THeatStepInfo& s) { shown.push_back(s); }), THeatRunResult::Completed);
        EXPECT_EQ(shown.size(), static_cast<std::size_t>(HeatLogCount + 1));
        for (const auto& s : shown)
            EXPECT_TRUE(Finite(s)) << "row " << s.Row;
        // A heat of about a hundred tonnes.
        if (!shown.empty()) {
            EXPECT_GT(shown.back().MetalMass, 90);
            EXPECT_LT(shown.back().MetalMass, 120);
        }
        // What the replay borrowed is back; only the mode of a run is kept.
        EXPECT_EQ(TaskList.CurrentTask().Energy, taskBefore.Energy);
        EXPECT_EQ(TaskList.CurrentTask().Losses, taskBefore.Losses);
        EXPECT_EQ(ThSystems[0]->El(FeIndex()).SlagB2, feB2);
        EXPECT_EQ(Settings.ConsumptionMode, mode);
        return shown;
    }
};

TEST_F(HeatReplayWholeHeat, SampleLogRunsToItsEndInPortionMode)
{
    const auto shown = RunSampleHeat(ConsumptionPortion);
    ASSERT_FALSE(shown.empty());
    EXPECT_NEAR(shown.front().MetalMass, Settings.HotHeelMetal, 1.5); // the hot heel first
    EXPECT_EQ(shown.back().SolidScrap, 0);
    EXPECT_GT(shown.back().TemperatureC, 1600);
    EXPECT_NEAR(shown.back().TemperatureC, 1646, 1e-6); // the last row's measurement
    EXPECT_TRUE(std::isfinite(SampleErrorSum));
    EXPECT_EQ(LastSlagMass, shown.back().SlagMass);
}

TEST_F(HeatReplayWholeHeat, SampleLogRunsToItsEndInAccumulatedMode)
{
    const auto shown = RunSampleHeat(ConsumptionAccumulated);
    ASSERT_FALSE(shown.empty());
    EXPECT_NEAR(shown.back().SumE, HeatLogTotals[HeatLogCount].ElectricEnergy / 3.6, 0.5);
}

TEST_F(HeatReplayWholeHeat, ReplayIsRefusedWhenAMaterialIsMissing)
{
    ASSERT_TRUE(LoadHeatFromLines({"| Вапно Лом_невідомий", "0 0 0 0 0 0 1 2"}, "x.HEA"));
    const TTaskRecord before = TaskList.CurrentTask();
    HeatRunning = true;
    int shown = 0;
    EXPECT_EQ(RunHeat(ConsumptionPortion, [&](const THeatStepInfo&) { ++shown; }), THeatRunResult::Refused);
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(host_.warned("Лом_невідомий"));
    EXPECT_EQ(TaskList.CurrentTask().Energy, before.Energy);
}

class HeatReplayMassBalance : public HeatTestBase {};

// Without measurements and samples nothing but the log charges the bath, so
// what is in the furnace, what left as gas and what ran off must add up to
// what was charged.
TEST_F(HeatReplayMassBalance, PortionStepsKeepEveryTonne)
{
    auto lines = SampleLines();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        // Column 5 is the measured temperature; the samples follow the '/'.
        std::istringstream in(lines[i].substr(0, lines[i].find('/')));
        lines[i].clear();
        std::string x;
        for (int k = 0; in >> x; ++k)
            lines[i] += (k == 5 ? "0" : x) + " ";
    }
    ASSERT_TRUE(LoadHeatFromLines(lines, "balance.HEA"));
    ASSERT_EQ(HeatMeasurementCount, 0);
    ASSERT_EQ(HeatSampleCount, 0);
    Settings.FurnaceVolume = 20; // some slag must run off
    THeatReplay replay;
    ASSERT_TRUE(replay.SetUp(ConsumptionPortion));
    while (replay.RunStep()) {
        for (std::size_t k = 0; k < 2; ++k) {
            const long double inFurnace = ThSystems[k]->MetalMass + ThSystems[k]->SlagMass;
            EXPECT_NEAR(inFurnace + replay.GasOut[k] + SlagRunOff[k], replay.ChargedMass[k], 1e-6 * replay.ChargedMass[k])
                << "system " << k << " row " << replay.Row();
        }
        // Scrap is either solid, melted or not yet charged.
        EXPECT_NEAR(SolidScrap + MeltedScrapTotal, 0.001L * HeatLogTotals[replay.Row()].Values[ScrapMeanColumn], 1e-9);
    }
    EXPECT_EQ(replay.Row(), HeatLogCount);
    EXPECT_GT(SlagRunOff[0], 0);
}

using HeatReplayScrapMelting = HeatReplayBase;

TEST_F(HeatReplayScrapMelting, NoNetEnergyMeltsNothingWithoutCrystallisation)
{
    Settings.AllowCrystallisation = false;
    THeatReplay replay;
    ASSERT_NO_FATAL_FAILURE(StartReplay(replay, {"0 3000 0 0 0 0 0 20000 0 0 0", "2 0 3000 0 0 0 0 0 0 0 0"}));
    const long double melted = MeltedScrapTotal;
    EXPECT_GT(melted, 0);
    ASSERT_TRUE(replay.RunStep());
    EXPECT_EQ(StepMelt, 0);
    EXPECT_EQ(MeltedScrapTotal, melted);
}

// The accumulated mode solidifies even with crystallisation switched off.
TEST_F(HeatReplayScrapMelting, CrystallisationNeverExceedsWhatMelted)
{
    for (const int mode : {ConsumptionPortion, ConsumptionAccumulated}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Settings.AllowCrystallisation = mode == ConsumptionPortion;
        THeatReplay replay;
        ASSERT_NO_FATAL_FAILURE(
            StartReplay(replay, {"0 1500 0 0 0 0 0 20000 0 0 0", "2 0 30000 0 0 0 0 0 0 0 0"}, mode));
        const long double melted = MeltedScrapTotal;
        const long double metalBefore = ThSystems[0]->MetalMass;
        ASSERT_GT(melted, 0);
        ASSERT_TRUE(replay.RunStep());
        EXPECT_EQ(StepMelt, -melted);
        EXPECT_EQ(MeltedScrapTotal, 0);
        EXPECT_NEAR(SolidScrap, 20.0L, 1e-9);
        // The metal that solidified has left the bath.
        EXPECT_LT(ThSystems[0]->MetalMass, metalBefore - 0.9L * melted);
    }
}

TEST_F(HeatReplayScrapMelting, TheFirstMeasurementMeltsTheRemainingScrap)
{
    THeatReplay replay;
    ASSERT_NO_FATAL_FAILURE(StartReplay(replay, {"0 100 0 0 0 0 0 30000 0 0 0", "2 0 0 0 0 1580 0 0 0 0 0"}));
    const long double solid = SolidScrap;
    const long double metal = ThSystems[0]->MetalMass;
    ASSERT_GT(solid, 20);
    ASSERT_TRUE(replay.RunStep());
    EXPECT_EQ(SolidScrap, 0);
    EXPECT_NEAR(ThSystems[0]->MetalMass, metal + solid * MaterialTable[ScrapMeanMaterial].RecoveryLo, 0.05L * solid);
    EXPECT_NEAR(ThSystems[0]->Temperature, 1580 + KelvinOffset, 1e-9);
}

// The scrap a measurement declares melted joined the bath without its heat;
// the energy of the rows that follow pays that heat before it warms the
// bath, as it would have melted the scrap. Otherwise a measurement would
// create the melting heat of every tonne still solid (some 1.3 GJ/t) and
// the replay would run hot after meltdown.
TEST_F(HeatReplayScrapMelting, TheMeltingHeatOfScrapAMeasurementMeltsIsPaidByTheNextRows)
{
    Settings.FinalTempMode = 1;
    // The bath after the row that follows the measurement (electric energy
    // and losses, kWh).
    auto bathAfter = [&](const std::string& energyAndLosses, long double* owed) {
        THeatReplay replay;
        StartReplay(replay, {"0 100 0 0 0 0 0 30000 0 0 0", "2 0 0 0 0 1580 0 0 0 0 0",
                             "4 " + energyAndLosses + " 0 0 0 0 0 0 0 0"});
        const long double solid = SolidScrap;
        EXPECT_TRUE(replay.RunStep());
        *owed = solid * MaterialTable[ScrapMeanMaterial].HeatContent;
        EXPECT_TRUE(replay.RunStep());
        return replay.StepInfo(replay.Row()).TemperatureC;
    };
    // As much energy as is lost (0.99 x 2000 kWh) leaves the bath's heat
    // as it was; the same energy without the loss goes to the scrap.
    ASSERT_EQ(Settings.ElectricHeatCoef, 0.99);
    long double owed = 0;
    const long double unheated = bathAfter("2000 1980", &owed);
    const long double heated = bathAfter("2000 0", &owed);
    ASSERT_GT(owed, Settings.ElectricHeatCoef * 2000 * 3.6) << "the row must not pay off all of the heat";
    EXPECT_NEAR(heated, unheated, 0.5);
}

using HeatReplayCalibration = HeatReplayBase;

TEST_F(HeatReplayCalibration, MeasurementsSetTheBathTemperatureAndCountTheError)
{
    THeatReplay replay;
    ASSERT_NO_FATAL_FAILURE(StartReplay(replay, {"0 0 0 0 0 0 0 0 0 0 0", "2 500 0 0 0 1590 0 0 0 0 0"}));
    ASSERT_TRUE(replay.RunStep());
    const THeatStepInfo info = replay.StepInfo(2);
    ASSERT_TRUE(info.HasTempError);
    // The hot heel stays at 1620 °C without a heat balance.
    EXPECT_EQ(info.TempError, 30);
    EXPECT_EQ(info.TempErrorAve, 30);
    EXPECT_NEAR(TempErrorSum, 30, 1e-6);
    EXPECT_NEAR(info.TemperatureC, 1590, 1e-9);
}

// With the heat balance on, the energy correction of the accumulated mode
// carries a measurement into the following steps: the bath computed after a
// calibrated row lies nearer the next measurement than without it.
TEST_F(HeatReplayCalibration, AccumulatedCorrectionMovesTheComputedTemperatureTowardsTheMeasured)
{
    Settings.FinalTempMode = 1;
    const std::vector<std::string> rows = {"0 0 0 0 0 0 0 0 0 0 0", "2 400 0 0 0 1560 0 0 0 0 0",
                                           "4 0 0 0 0 0 0 0 0 0 0"};
    auto run = [&](const std::vector<std::string>& r) {
        EXPECT_TRUE(LoadHeatFromLines(Log(r), "x.HEA"));
        THeatReplay replay;
        EXPECT_TRUE(replay.SetUp(ConsumptionAccumulated));
        while (replay.RunStep()) {
        }
        return replay.StepInfo(replay.Row()).TemperatureC;
    };
    const long double calibrated = run(rows);
    const long double correction = HeatCorrection;
    auto uncalibrated = rows;
    uncalibrated[1] = "2 400 0 0 0 0 0 0 0 0 0";
    const long double free = run(uncalibrated);
    ASSERT_GT(free, 1560 + 5) << "the heel must be computed hotter than the measurement";
    EXPECT_LT(std::fabs(calibrated - 1560), std::fabs(free - 1560));
    EXPECT_LT(correction, 0); // the bath was computed too hot
}

TEST_F(HeatReplayCalibration, SamplesAreComparedAndImposedOnTheMetal)
{
    THeatReplay replay;
    ASSERT_NO_FATAL_FAILURE(StartReplay(replay, {"0 0 0 0 0 0 0 0 0 0 0", "2 0 0 0 0 0 0 0 0 0 0 /C=0.30/Mn=0.20"}));
    ASSERT_TRUE(replay.RunStep());
    const THeatStepInfo info = replay.StepInfo(2);
    ASSERT_TRUE(info.HasSampleError);
    // The heel holds 0.04..0.08 % C and 0.05..0.10 % Mn.
    EXPECT_GT(info.SampleError, 0.1);
    EXPECT_EQ(info.SampleErrorAve, info.SampleError);
    // The metal takes the sample's analysis and then meets the slag and
    // the gas again, which burn part of the carbon: it ends between the
    // heel's analysis and the sample's.
    EXPECT_GT(info.Grid[hgC], 0.15);
    EXPECT_LE(info.Grid[hgC], 0.30);
    EXPECT_NEAR(info.Grid[hgMn], 0.20, 0.03);
}

using HeatReplaySlagRunOff = HeatReplayBase;

TEST_F(HeatReplaySlagRunOff, AFurnaceTooSmallForTheMetalKeepsNoSlag)
{
    Settings.FurnaceVolume = 1;
    THeatReplay replay;
    ASSERT_NO_FATAL_FAILURE(StartReplay(replay, {"0 0 0 0 0 0 2000 0 0 0 0"}));
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(ThSystems[k]->SlagMass, AmountFloor);
        EXPECT_GT(SlagRunOff[k], 4);
    }
    const THeatStepInfo info = replay.StepInfo(1);
    for (long double v : info.Grid)
        EXPECT_FALSE(std::isinf(v));
}

class HeatReplayStop : public HeatTestBase {};

TEST_F(HeatReplayStop, StopAfterAStepLeavesAConsistentState)
{
    ASSERT_TRUE(LoadHeatFile(SampleHeatLog().string()));
    const TTaskRecord before = TaskList.CurrentTask();
    const long double feB2 = ThSystems[0]->El(FeIndex()).SlagB2;
    HeatRunning = true;
    int lastRow = -1;
    EXPECT_EQ(RunHeat(ConsumptionPortion,
                      [&](const THeatStepInfo& s) {
                          lastRow = s.Row;
                          if (s.Row == 5 && s.Time == HeatLog[5].Time)
                              HeatRunning = false; // the stop command during step 5
                      }),
              THeatRunResult::Stopped);
    EXPECT_EQ(lastRow, 5);
    EXPECT_EQ(TaskList.CurrentTask().Energy, before.Energy);
    EXPECT_EQ(ThSystems[0]->El(FeIndex()).SlagB2, feB2);
    for (const std::size_t k : {0u, 1u}) {
        EXPECT_TRUE(std::isfinite(ThSystems[k]->MetalMass) && ThSystems[k]->MetalMass > 0);
        EXPECT_TRUE(std::isfinite(ThSystems[k]->Temperature));
    }
    // Whatever was charged by then is solid or melted.
    EXPECT_NEAR(SolidScrap + MeltedScrapTotal, 0.001L * HeatLogTotals[5].Values[ScrapMeanColumn], 1e-6);
}

TEST_F(HeatReplayStop, ThePreviewShowsOnlyTheInitialState)
{
    ASSERT_TRUE(LoadHeatFile(SampleHeatLog().string()));
    Settings.ConsumptionMode = 1;
    HeatRunning = false;
    int shown = 0;
    EXPECT_EQ(RunHeat(ConsumptionPortion, [&](const THeatStepInfo& s) {
                  ++shown;
                  EXPECT_EQ(s.Time, HeatLog[1].Time);
              }),
              THeatRunResult::Stopped);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(Settings.ConsumptionMode, 1); // only a run stores its mode
    EXPECT_EQ(MeltedScrapTotal, 0);
}

// ---------------------------------------------------------------------------

class HeatBatchNumbering : public HeatTestBase {};

// The counter holds the last report's number; a missing counter starts at
// one, and an existing report is never overwritten.
TEST_F(HeatBatchNumbering, ReportNumberFollowsTheCounterAndSkipsExistingReports)
{
    struct TCase {
        const char* Counter;
        const char* Existing;
        int Expected;
    };
    for (const TCase& c : {TCase{"7", nullptr, 8}, TCase{nullptr, nullptr, 1}, TCase{"2", "3.RES", 4}}) {
        SCOPED_TRACE(c.Expected);
        ScratchFolder dir;
        if (c.Counter)
            WriteTextFile1251(dir / "NUM.TXT", {c.Counter});
        if (c.Existing)
            WriteTextFile1251(dir / c.Existing, {"earlier"});
        int n = 0;
        ASSERT_TRUE(NextHeatReportNumber(dir.path(), n));
        EXPECT_EQ(n, c.Expected);
        ASSERT_TRUE(WriteHeatBatchReport(dir.path(), n, {"a", "b"}));
        const std::string number = std::to_string(n);
        EXPECT_EQ(ReadTextFile1251(dir / (number + ".RES")), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(ReadTextFile1251(dir / "NUM.TXT"), std::vector<std::string>{number});
    }
}

TEST_F(HeatBatchNumbering, ACounterThatIsNoNumberStopsTheBatch)
{
    ScratchFolder dir;
    for (const char* text : {"", "abc", "-3", "7x"}) {
        WriteTextFile1251(dir / "NUM.TXT", {text});
        int n = 0;
        std::string error;
        EXPECT_FALSE(NextHeatReportNumber(dir.path(), n, &error)) << text;
        EXPECT_NE(error.find("NUM.TXT"), std::string::npos);
    }
}

TEST_F(HeatBatchNumbering, AFailedReportLeavesTheCounter)
{
    ScratchFolder dir;
    WriteTextFile1251(dir / "NUM.TXT", {"4"});
    std::filesystem::create_directory(dir / "5.RES"); // the report's name is taken by a folder
    std::string error;
    EXPECT_FALSE(WriteHeatBatchReport(dir.path(), 5, {"x"}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadTextFile1251(dir / "NUM.TXT"), std::vector<std::string>{"4"});
}

class HeatBatchReport : public HeatTestBase {};

TEST_F(HeatBatchReport, LinesHoldEachLogAndTheAverages)
{
    const std::vector<THeatBatchEntry> entries = {{"A1", 10.04L, 0.1234L, 12.34L, 15.0L, 20},
                                                  {"B2", 12.0L, 0.2L, -4.0L, 5.0L, 30}};
    const auto lines = HeatBatchReportLines(entries, 10.0L);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6),
              (std::vector<std::string>{"Пл.№  Шл.  d(х/с)   dT    dT^2", "A1  10.0  0.123   12.3   15.0",
                                        "B2  12.0  0.200   -4.0    5.0", "", "Cр.   11.0  0.162    4.2   10.0", ""}));
    EXPECT_NE(std::ranges::find(lines, "Ср. время счета одного кванта, с: 0.200"), lines.end());
}

TEST_F(HeatBatchReport, UndefinedMeansAreShownAsDashes)
{
    const auto none = HeatBatchReportLines({}, 0);
    EXPECT_EQ(none[2], "Cр.   -  -      -      -");
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 0 0 0 0 0"}), "NOSAMPLE.HEA"));
    const THeatBatchEntry e = CurrentHeatBatchEntry(true);
    EXPECT_TRUE(std::isnan(e.SampleError));
    EXPECT_TRUE(std::isnan(e.TempError));
    EXPECT_EQ(HeatBatchReportLines({e}, 1)[1].substr(0, 10), "NOSAMPLE  ");
}

} // namespace
} // namespace ferrolyt::test
