// Replaying heat logs on the sample project: the whole sample heat, the mass
// balance of the portion steps, scrap melting and solidification, the
// temperature calibration, slag run-off, stopping, and the batch report.

#include "HeatBatch.h"
#include "HeatTestSupport.h"
#include "Settings.h"
#include "TaskList.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace ferrolyt::test {
namespace {

bool Finite(const THeatStepInfo& s)
{
    return std::isfinite(s.MetalMass) && std::isfinite(s.SlagMass) && std::isfinite(s.TemperatureC) &&
           std::isfinite(s.GasMass) && std::isfinite(s.SolidScrap);
}

int FeIndex() { return ThSystems[0]->Elems->Key(keyFe); }

class HeatReplayWholeHeat : public HeatTestBase {};

TEST_F(HeatReplayWholeHeat, SampleLogRunsToItsEndInPortionMode)
{
    ASSERT_TRUE(LoadHeatFile(SampleHeatLog().string()));
    const TTaskRecord taskBefore = TaskList.CurrentTask();
    const long double feB2 = ThSystems[0]->El(FeIndex()).SlagB2;
    HeatRunning = true;
    std::vector<THeatStepInfo> shown;
    EXPECT_EQ(RunHeat(ConsumptionPortion, [&](const THeatStepInfo& s) { shown.push_back(s); }),
              THeatRunResult::Completed);
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(HeatLogCount + 1));
    for (const auto& s : shown)
        EXPECT_TRUE(Finite(s)) << "row " << s.Row;
    // The hot heel first, then a heat of about a hundred tonnes.
    EXPECT_NEAR(shown.front().MetalMass, Settings.HotHeelMetal, 1.5);
    EXPECT_GT(shown.back().MetalMass, 90);
    EXPECT_LT(shown.back().MetalMass, 120);
    EXPECT_EQ(shown.back().SolidScrap, 0);
    EXPECT_GT(shown.back().TemperatureC, 1600);
    EXPECT_NEAR(shown.back().TemperatureC, 1646, 1e-6); // the last row's measurement
    EXPECT_TRUE(std::isfinite(SampleErrorSum));
    EXPECT_EQ(LastSlagMass, shown.back().SlagMass);
    // What the replay borrowed is back.
    EXPECT_EQ(TaskList.CurrentTask().Energy, taskBefore.Energy);
    EXPECT_EQ(TaskList.CurrentTask().Losses, taskBefore.Losses);
    EXPECT_EQ(ThSystems[0]->El(FeIndex()).SlagB2, feB2);
    EXPECT_EQ(Settings.ConsumptionMode, ConsumptionPortion);
}

TEST_F(HeatReplayWholeHeat, SampleLogRunsToItsEndInAccumulatedMode)
{
    ASSERT_TRUE(LoadHeatFile(SampleHeatLog().string()));
    HeatRunning = true;
    THeatStepInfo last;
    int steps = 0;
    EXPECT_EQ(RunHeat(ConsumptionAccumulated,
                      [&](const THeatStepInfo& s) {
                          EXPECT_TRUE(Finite(s)) << "row " << s.Row;
                          last = s;
                          ++steps;
                      }),
              THeatRunResult::Completed);
    EXPECT_EQ(steps, HeatLogCount + 1);
    EXPECT_GT(last.MetalMass, 90);
    EXPECT_LT(last.MetalMass, 120);
    EXPECT_EQ(Settings.ConsumptionMode, ConsumptionAccumulated);
    EXPECT_NEAR(last.SumE, HeatLogTotals[HeatLogCount].ElectricEnergy / 3.6, 0.5);
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
        auto& l = lines[i];
        l = l.substr(0, l.find('/'));
        std::vector<std::string> f;
        std::size_t p = 0;
        while ((p = l.find_first_not_of(' ', p)) != std::string::npos) {
            const auto q = l.find(' ', p);
            f.push_back(l.substr(p, q - p));
            p = q;
        }
        f[5] = "0";
        l.clear();
        for (const auto& x : f)
            l += x + " ";
    }
    ASSERT_TRUE(LoadHeatFromLines(lines, "balance.HEA"));
    ASSERT_EQ(HeatMeasurementCount, 0);
    ASSERT_EQ(HeatSampleCount, 0);
    Settings.FurnaceVolume = 20; // some slag must run off
    THeatReplay replay;
    ASSERT_TRUE(replay.SetUp(ConsumptionPortion));
    while (replay.RunStep()) {
        for (int k = 0; k < 2; ++k) {
            const TThSys& sys = *ThSystems[static_cast<std::size_t>(k)];
            const long double inFurnace = sys.MetalMass + sys.SlagMass;
            const long double out = replay.GasOut[static_cast<std::size_t>(k)] + SlagRunOff[static_cast<std::size_t>(k)];
            EXPECT_NEAR(inFurnace + out, replay.ChargedMass[static_cast<std::size_t>(k)],
                        1e-6 * replay.ChargedMass[static_cast<std::size_t>(k)])
                << "system " << k << " row " << replay.Row();
        }
        // Scrap is either solid, melted or not yet charged.
        EXPECT_NEAR(SolidScrap + MeltedScrapTotal, 0.001L * HeatLogTotals[replay.Row()].Values[ScrapMeanColumn], 1e-9);
    }
    EXPECT_EQ(replay.Row(), HeatLogCount);
    EXPECT_GT(SlagRunOff[0], 0);
}

class HeatReplayScrapMelting : public HeatTestBase {};

TEST_F(HeatReplayScrapMelting, NoNetEnergyMeltsNothingWithoutCrystallisation)
{
    Settings.AllowCrystallisation = false;
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 3000 0 0 0 0 0 20000 0 0 0", "2 0 3000 0 0 0 0 0 0 0 0"}), "x.HEA"));
    THeatReplay replay;
    ASSERT_TRUE(replay.SetUp(ConsumptionPortion));
    ASSERT_TRUE(replay.RunStep());
    const long double melted = MeltedScrapTotal;
    EXPECT_GT(melted, 0);
    ASSERT_TRUE(replay.RunStep());
    EXPECT_EQ(StepMelt, 0);
    EXPECT_EQ(MeltedScrapTotal, melted);
}

TEST_F(HeatReplayScrapMelting, CrystallisationNeverExceedsWhatMelted)
{
    Settings.AllowCrystallisation = true;
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 1500 0 0 0 0 0 20000 0 0 0", "2 0 30000 0 0 0 0 0 0 0 0"}), "x.HEA"));
    THeatReplay replay;
    ASSERT_TRUE(replay.SetUp(ConsumptionPortion));
    ASSERT_TRUE(replay.RunStep());
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

TEST_F(HeatReplayScrapMelting, AccumulatedModeAlwaysAllowsSolidification)
{
    Settings.AllowCrystallisation = false;
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 1500 0 0 0 0 0 20000 0 0 0", "2 0 30000 0 0 0 0 0 0 0 0"}), "x.HEA"));
    THeatReplay replay;
    ASSERT_TRUE(replay.SetUp(ConsumptionAccumulated));
    ASSERT_TRUE(replay.RunStep());
    ASSERT_GT(MeltedScrapTotal, 0);
    ASSERT_TRUE(replay.RunStep());
    EXPECT_LT(StepMelt, 0);
    EXPECT_GE(MeltedScrapTotal, 0);
}

TEST_F(HeatReplayScrapMelting, TheFirstMeasurementMeltsTheRemainingScrap)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 100 0 0 0 0 0 30000 0 0 0", "2 0 0 0 0 1580 0 0 0 0 0"}), "x.HEA"));
    THeatReplay replay;
    ASSERT_TRUE(replay.SetUp(ConsumptionPortion));
    ASSERT_TRUE(replay.RunStep());
    const long double solid = SolidScrap;
    const long double metal = ThSystems[0]->MetalMass;
    ASSERT_GT(solid, 20);
    ASSERT_TRUE(replay.RunStep());
    EXPECT_EQ(SolidScrap, 0);
    EXPECT_NEAR(ThSystems[0]->MetalMass, metal + solid * MaterialTable[ScrapMeanMaterial].RecoveryLo, 0.05L * solid);
    EXPECT_NEAR(ThSystems[0]->Temperature, 1580 + KelvinOffset, 1e-9);
}

class HeatReplayCalibration : public HeatTestBase {};

TEST_F(HeatReplayCalibration, MeasurementsSetTheBathTemperatureAndCountTheError)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 0 0 0 0 0", "2 500 0 0 0 1590 0 0 0 0 0"}), "x.HEA"));
    THeatReplay replay;
    ASSERT_TRUE(replay.SetUp(ConsumptionPortion));
    ASSERT_TRUE(replay.RunStep());
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
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 0 0 0 0 0", "2 0 0 0 0 0 0 0 0 0 0 /C=0.30/Mn=0.20"}), "x.HEA"));
    THeatReplay replay;
    ASSERT_TRUE(replay.SetUp(ConsumptionPortion));
    ASSERT_TRUE(replay.RunStep());
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

class HeatReplaySlagRunOff : public HeatTestBase {};

TEST_F(HeatReplaySlagRunOff, AFurnaceTooSmallForTheMetalKeepsNoSlag)
{
    Settings.FurnaceVolume = 1;
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 2000 0 0 0 0"}), "x.HEA"));
    THeatReplay replay;
    ASSERT_TRUE(replay.SetUp(ConsumptionPortion));
    ASSERT_TRUE(replay.RunStep());
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(ThSystems[static_cast<std::size_t>(k)]->SlagMass, AmountFloor);
        EXPECT_GT(SlagRunOff[static_cast<std::size_t>(k)], 4);
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
    for (int k = 0; k < 2; ++k) {
        const TThSys& sys = *ThSystems[static_cast<std::size_t>(k)];
        EXPECT_TRUE(std::isfinite(sys.MetalMass) && sys.MetalMass > 0);
        EXPECT_TRUE(std::isfinite(sys.Temperature));
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

TEST_F(HeatBatchNumbering, CounterSevenGivesReportEight)
{
    ScratchFolder dir;
    WriteTextFile1251(dir / "NUM.TXT", {"7"});
    int n = 0;
    ASSERT_TRUE(NextHeatReportNumber(dir.path(), n));
    EXPECT_EQ(n, 8);
    ASSERT_TRUE(WriteHeatBatchReport(dir.path(), n, {"a", "b"}));
    EXPECT_EQ(ReadTextFile1251(dir / "8.RES"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ReadTextFile1251(dir / "NUM.TXT"), std::vector<std::string>{"8"});
}

TEST_F(HeatBatchNumbering, AMissingCounterStartsAtOne)
{
    ScratchFolder dir;
    int n = 0;
    ASSERT_TRUE(NextHeatReportNumber(dir.path(), n));
    EXPECT_EQ(n, 1);
}

TEST_F(HeatBatchNumbering, AnExistingReportIsNeverOverwritten)
{
    ScratchFolder dir;
    WriteTextFile1251(dir / "NUM.TXT", {"2"});
    WriteTextFile1251(dir / "3.RES", {"earlier"});
    int n = 0;
    ASSERT_TRUE(NextHeatReportNumber(dir.path(), n));
    EXPECT_EQ(n, 4);
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
    EXPECT_EQ(lines[0], "Пл.№  Шл.  d(х/с)   dT    dT^2");
    EXPECT_EQ(lines[1], "A1  10.0  0.123   12.3   15.0");
    EXPECT_EQ(lines[2], "B2  12.0  0.200   -4.0    5.0");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "Cр.   11.0  0.162    4.2   10.0");
    EXPECT_EQ(lines[5], "");
    bool perRow = false;
    for (const auto& l : lines)
        perRow = perRow || l == "Ср. время счета одного кванта, с: 0.200";
    EXPECT_TRUE(perRow);
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
