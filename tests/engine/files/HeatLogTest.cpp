// Reading arc-furnace heat logs: columns, rows, measurements, samples, the
// mean scrap analysis, and logs that must be refused whole.

#include "HeatTestSupport.h"
#include "Project.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

namespace ferrolyt::test {
namespace {

class HeatLogColumns : public HeatTestBase {};

TEST_F(HeatLogColumns, NamedColumnsFollowedByTheThreeComputedOnes)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 1 2 3 4 5"}), "x.HEA"));
    ASSERT_EQ(HeatColumnCount, 8);
    EXPECT_EQ(ScrapMeanColumn, 6);
    EXPECT_EQ(ColumnName[1], "Вапно");
    EXPECT_EQ(ColumnName[6], "Лом_ср");
    EXPECT_EQ(ColumnName[7], "Кислород");
    EXPECT_EQ(ColumnName[8], "Электроды");
    for (int k = 1; k <= 6; ++k)
        EXPECT_EQ(ColumnIsScrap[k], (k >= 2 && k <= 4) || k == 6) << ColumnName[k];
    EXPECT_EQ(ColumnMaterial[1], MaterialIndexByName("Вапно"));
    EXPECT_EQ(ScrapMeanMaterial, MaterialIndexByName("Лом_ср"));
    EXPECT_GE(ScrapMeanMaterial, 1);
}

TEST_F(HeatLogColumns, HeaderWithoutBarUsesTheWholeLine)
{
    ASSERT_TRUE(LoadHeatFromLines({"Вапно Кокс", "0 0 0 0 0 0 7 8"}, "x.HEA"));
    ASSERT_EQ(HeatColumnCount, 5);
    EXPECT_EQ(ColumnName[1], "Вапно");
    EXPECT_EQ(ColumnName[2], "Кокс");
    EXPECT_FLOAT_EQ(HeatLog[1].Values[2], 8.0f);
}

TEST_F(HeatLogColumns, MissingMaterialsAreListed)
{
    ASSERT_TRUE(LoadHeatFromLines({"| Вапно Лом_невідомий", "0 0 0 0 0 0 1 2"}, "x.HEA"));
    const auto missing = MissingHeatMaterials();
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0], "Лом_невідомий");
    EXPECT_EQ(ColumnMaterial[2], -1);
}

class HeatLogRows : public HeatTestBase {};

TEST_F(HeatLogRows, EnergiesAreConvertedAndComputedColumnsFilled)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"2 1000.4 100.2 40 50 0 10 20 30 40 5"}), "x.HEA"));
    ASSERT_EQ(HeatLogCount, 1);
    const THeatLogRecord& r = HeatLog[1];
    EXPECT_EQ(r.Time, 2);
    EXPECT_FLOAT_EQ(r.ElectricEnergy, 3601.0f); // round(3601.44)
    EXPECT_FLOAT_EQ(r.LossEnergy, 361.0f);      // round(360.72)
    EXPECT_FLOAT_EQ(r.Gas, 40.0f);
    EXPECT_FLOAT_EQ(r.Oxygen, 50.0f);
    EXPECT_FLOAT_EQ(r.Values[ScrapMeanColumn], 90.0f); // 20 + 30 + 40
    EXPECT_FLOAT_EQ(r.Values[ScrapMeanColumn + 1], 65.0f);
    EXPECT_NEAR(r.Values[ScrapMeanColumn + 2], 0.00375 * 1000.4, 1e-4);
}

TEST_F(HeatLogRows, TotalsRunOverTheRows)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 100 10 1 0 0 1 2 0 0 0", "5 200 20 2 9 0 3 4 0 0 0"}), "x.HEA"));
    ASSERT_EQ(HeatLogCount, 2);
    EXPECT_EQ(HeatLogTotals[2].Time, 5);
    EXPECT_FLOAT_EQ(HeatLogTotals[2].ElectricEnergy, 360.0f + 720.0f);
    EXPECT_FLOAT_EQ(HeatLogTotals[2].LossEnergy, 36.0f + 72.0f);
    EXPECT_FLOAT_EQ(HeatLogTotals[2].Gas, 3.0f);
    EXPECT_FLOAT_EQ(HeatLogTotals[2].Oxygen, 0.0f);
    EXPECT_FLOAT_EQ(HeatLogTotals[2].Values[1], 4.0f);
    EXPECT_FLOAT_EQ(HeatLogTotals[2].Values[ScrapMeanColumn], 6.0f);
}

TEST_F(HeatLogRows, ARowMayContinueOnTheNextLine)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 100 10 1 0", "  0 1 2 0 0 0 /C=0.2", "", "   ", "4 0 0 0 0 0 0 0 0 0 0", ""}),
                                  "x.HEA"));
    ASSERT_EQ(HeatLogCount, 2);
    EXPECT_EQ(HeatLog[1].SampleNumber, 1);
    EXPECT_EQ(HeatLog[2].Time, 4);
    EXPECT_EQ(HeatSampleCount, 1);
}

class HeatLogMeasurements : public HeatTestBase {};

TEST_F(HeatLogMeasurements, OnlyTemperaturesAboveTheScrapMeltingPointCount)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 1505 0 0 0 0 0", "1 0 0 0 0 1506 0 0 0 0 0", "2 0 0 0 0 0 0 0 0 0 0",
                                       "3 0 0 0 0 1600.6 0 0 0 0 0"}),
                                  "x.HEA"));
    EXPECT_EQ(HeatMeasurementCount, 2);
    EXPECT_EQ(HeatLog[1].MeasurementNumber, 0);
    EXPECT_EQ(HeatLog[2].MeasurementNumber, 1);
    EXPECT_EQ(HeatMeasurements[1].Row, 2);
    EXPECT_EQ(HeatMeasurements[1].Temperature, 1506);
    EXPECT_EQ(HeatMeasurements[2].Temperature, 1601);
    EXPECT_EQ(HeatMeasurements[2].Time, 3);
}

class HeatLogSamples : public HeatTestBase {};

TEST_F(HeatLogSamples, ItemsAreStoredByElement)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 0 0 0 0 0   /C=0.31/mn=0.45 / Si = 0.2 "}), "x.HEA"));
    ASSERT_EQ(HeatSampleCount, 1);
    const auto& el = *ThSystems[0]->Elems;
    const THeatSample& s = HeatSamples[1];
    EXPECT_DOUBLE_EQ(s.Percent[static_cast<std::size_t>(el.IndexOfSymbol("C"))], 0.31);
    EXPECT_DOUBLE_EQ(s.Percent[static_cast<std::size_t>(el.IndexOfSymbol("Mn"))], 0.45);
    EXPECT_DOUBLE_EQ(s.Percent[static_cast<std::size_t>(el.IndexOfSymbol("Si"))], 0.2);
    EXPECT_EQ(HeatKeyElements.C, el.IndexOfSymbol("C"));
}

// The rule of every data file: a decimal comma is a decimal point, and a
// number with two separators is refused by its line, saying the rule.
TEST_F(HeatLogSamples, ADecimalCommaReadsAsInEveryDataFile)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"2 1000,4 100.2 40 50 0 10 20 30 40 5 /C=0,31"}), "x.HEA"));
    EXPECT_FLOAT_EQ(HeatLog[1].ElectricEnergy, 3601.0f);
    EXPECT_DOUBLE_EQ(HeatSamples[1].Percent[static_cast<std::size_t>(ThSystems[0]->Elems->IndexOfSymbol("C"))], 0.31);
    RecordingHost host;
    EXPECT_FALSE(LoadHeatFromLines(Log({"2 1000,4,1 100.2 40 50 0 10 20 30 40 5"}), "y.HEA"));
    EXPECT_TRUE(host.warned("«1000,4,1» не є числом")) << host.warnings.at(0);
    EXPECT_TRUE(host.warned("десятковий знак — крапка або кома"));
}

TEST_F(HeatLogSamples, BlanksAfterTheNumbersAreNoSample)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 0 0 0 0 0 \t  "}), "x.HEA"));
    EXPECT_EQ(HeatSampleCount, 0);
    EXPECT_EQ(HeatLog[1].SampleNumber, 0);
}

TEST_F(HeatLogSamples, UnusableItemsStillMakeASampleRow)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 0 0 0 0 0 /Xx=0.3/C=abc/Mn=150/Si"}), "x.HEA"));
    ASSERT_EQ(HeatSampleCount, 1);
    EXPECT_EQ(HeatLog[1].SampleNumber, 1);
    for (double p : HeatSamples[1].Percent)
        EXPECT_EQ(p, 0.0);
}

class HeatLogRefusal : public HeatTestBase {};

// A log that cannot be read whole is refused whole: the warning names the
// file, and nothing of it (or of the log loaded before) stays.
TEST_F(HeatLogRefusal, UnreadableLogsAreRefusedWhole)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"big.HEA", {"| a b c d e f g h i j", "0 0 0 0 0 0 1 1 1 1 1 1 1 1 1 1"}}, // ten named columns
        {"bad.HEA", Log({"0 0 0 0 0 0 1 1 1 1 1", "2 abc 0 0 0 0 1 1 1 1 1"})},
        {"cut.HEA", Log({"0 0 0 0 0 0 1 1 1 1 1", "2 0 0 0 0 0 1 1"})}, // an incomplete last row
        {"neg.HEA", Log({"0 0 0 0 0 0 -1 1 1 1 1"})},
        {"late.HEA", Log({"70000 0 0 0 0 0 1 1 1 1 1"})},
        {"frac.HEA", Log({"1.5 0 0 0 0 0 1 1 1 1 1"})},
        {"huge.HEA", Log({"0 1e60 0 0 0 0 1 1 1 1 1"})},
        {"hot.HEA", Log({"0 0 0 0 0 16000 0 0 0 0 0"})}, // an impossible temperature
    };
    for (const auto& [name, lines] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 1600 0 0 0 0 0 /C=0.1"}), "good.HEA"));
        EXPECT_FALSE(LoadHeatFromLines(lines, name));
        EXPECT_TRUE(host_.warned("Неможливо завантажити файл " + name));
        EXPECT_EQ(HeatLogCount, 0);
        EXPECT_EQ(HeatColumnCount, 0);
        EXPECT_EQ(HeatMeasurementCount, 0);
        EXPECT_EQ(HeatSampleCount, 0);
        EXPECT_TRUE(HeatFileName.empty());
    }
}

// The log's tables are fixed in size: a log that fills one is read, one
// more row, measurement or sample refuses it.
TEST_F(HeatLogRefusal, TablesHoldTheirLimitAndNoMore)
{
    const std::tuple<std::string, int, const int32_t*> cases[] = {
        {"0 0 0 0 0 0 0 0 0 0 0", MaxHeatLogRows, &HeatLogCount},
        {"0 0 0 0 0 1600 0 0 0 0 0", MaxHeatMeasurements, &HeatMeasurementCount},
        {"0 0 0 0 0 0 0 0 0 0 0 /C=0.1", MaxHeatSamples, &HeatSampleCount},
    };
    for (const auto& [row, limit, count] : cases) {
        SCOPED_TRACE(row);
        std::vector<std::string> rows(static_cast<std::size_t>(limit) + 1, row);
        EXPECT_FALSE(LoadHeatFromLines(Log(rows), "x.HEA"));
        rows.pop_back();
        EXPECT_TRUE(LoadHeatFromLines(Log(rows), "x.HEA"));
        EXPECT_EQ(*count, limit);
    }
}

class HeatLogScrapMean : public HeatTestBase {};

TEST_F(HeatLogScrapMean, CompositionIsTheMassWeightedMeanOfTheScrap)
{
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 500 30000 0 10000 0", "2 0 0 0 0 0 0 0 0 0 800"}), "x.HEA"));
    const int heavy = MaterialIndexByName("Лом_важкий");
    const int shred = MaterialIndexByName("Лом_шредований");
    for (int e = 0; e <= SystemElemLast; ++e)
        for (const TCompositionTable* t : {&CompositionMin, &CompositionMax}) {
            const auto& row = (*t)[static_cast<std::size_t>(e + 1)];
            const double expected = (row[heavy] * 30000.0 + row[shred] * 10000.0) / 40000.0;
            EXPECT_NEAR(row[ScrapMeanMaterial], expected, 1e-6) << "element " << e;
        }
}

TEST_F(HeatLogScrapMean, ALogWithoutScrapKeepsTheFilesAnalysis)
{
    const int mean = MaterialIndexByName("Лом_ср");
    const float before = CompositionMin[1][mean];
    ASSERT_TRUE(LoadHeatFromLines(Log({"0 0 0 0 0 0 500 0 0 0 0"}), "x.HEA"));
    EXPECT_EQ(CompositionMin[1][mean], before);
    EXPECT_TRUE(std::isfinite(CompositionMin[1][mean]));
}

class HeatLogFile : public HeatTestBase {};

TEST_F(HeatLogFile, SampleLogLoadsAndNamesTheProjectKey)
{
    ASSERT_TRUE(LoadHeatFile(SampleHeatLog().string()));
    EXPECT_EQ(HeatFileName, "DSP23517");
    EXPECT_EQ(ProjectValue("HeaFile"), "DSP23517.HEA");
    EXPECT_EQ(HeatLogCount, 26);
    EXPECT_EQ(HeatMeasurementCount, 4);
    EXPECT_EQ(HeatSampleCount, 3);
    EXPECT_TRUE(MissingHeatMaterials().empty());
    EXPECT_TRUE(host_.warnings.empty());
}

TEST_F(HeatLogFile, LongNamesAreCutToEightCharacters)
{
    ScratchFolder dir;
    WriteTextFile1251(dir / "Плавка123456.hea", Log({"0 0 0 0 0 0 0 0 0 0 0"}));
    ASSERT_TRUE(LoadHeatFile((dir / "Плавка123456.hea").string()));
    EXPECT_EQ(HeatFileName, "Плавка12");
}

// An unopenable file warns and an empty name does not; either way the log
// loaded before is cleared.
TEST_F(HeatLogFile, ANameThatGivesNoLogClearsTheLog)
{
    for (const std::string name : {"/no/such/folder/X.HEA", ""}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(LoadHeatFile(SampleHeatLog().string()));
        host_.warnings.clear();
        EXPECT_FALSE(LoadHeatFile(name));
        ASSERT_EQ(host_.warnings.size(), name.empty() ? 0u : 1u);
        if (!name.empty()) {
            EXPECT_EQ(host_.warnings[0].rfind("Неможливо завантажити файл " + name + "\n", 0), 0u);
        }
        EXPECT_EQ(HeatLogCount, 0);
        EXPECT_TRUE(HeatFileName.empty());
    }
}

} // namespace
} // namespace ferrolyt::test
