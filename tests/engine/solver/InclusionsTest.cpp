// The inclusions block after a displayed solve and its two tables.

#include "Inclusions.h"
#include "RecordingHost.h"
#include "SolverFixtures.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace ferrolyt;
using namespace ferrolyt::test;

namespace {

double D(long double v) { return static_cast<double>(v); }

// The melt with slag, labels on its elements, inclusions on and both
// tables asked for over the ranges of the options' example.
TThSys& ChargeWithInclusions()
{
    TThSys& sys = ChargeFeOSiMnCa();
    const char* const labels[] = {"Fe", "O", "SiO2", "MnO", "CaO"};
    for (int i = 0; i <= SystemElemLast; ++i)
        sys.El(i).Label = labels[i];
    Settings.CalcNmi = true;
    Settings.AutoNmiRadius = true;
    Settings.EndoNmiMultiple = 2;
    Settings.NmiTemp = 1400;
    Settings.ExoNmiRadius = 5;
    Settings.ExportMultipleFrom = 1;
    Settings.ExportMultipleTo = 3;
    Settings.ExportMultipleStep = 50;
    Settings.ExportMultipleTemp = 1400;
    Settings.ExportTempFrom = 1300;
    Settings.ExportTempTo = 1400;
    Settings.ExportTempStep = 1000;
    Settings.ExportTempMultiple = 2;
    TaskList.Count = 1;
    TaskList.Current = 0;
    return sys;
}

const std::string ElementHeader = ";Fe, г/т;Fe, %;O, г/т;O, %;Si, г/т;SiO2, %;Mn, г/т;MnO, %;Ca, г/т;CaO, %";

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> cells(1);
    for (char c : line) {
        if (c == ';')
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

// Solves the melt on display with one table asked for and returns its lines.
std::vector<std::string> SolveForTable(TThSys& sys, bool& request, const std::string& file)
{
    request = true;
    EXPECT_TRUE(Solve(sys, true));
    EXPECT_TRUE(std::filesystem::exists(file)) << file;
    return std::filesystem::exists(file) ? ReadTextFile1251(file) : std::vector<std::string>{};
}

} // namespace

TEST(InclusionTables, RadiusTableHasItsHeaderAndOneRowPerMultiple)
{
    RecordingHost host;
    TTempFolder folder;
    TThSys& sys = ChargeWithInclusions();
    const auto lines = SolveForTable(sys, Settings.ExportNmiByMultiple, "Nmi_1400.csv");
    ASSERT_FALSE(lines.empty()) << (host.warnings.empty() ? "" : host.warnings[0]);
    EXPECT_EQ(lines[0], "Rad, мкм;r/rc;m, г/т" + ElementHeader);
    ASSERT_EQ(lines.size(), 6u); // r/rc = 1.0, 1.5, 2.0, 2.5, 3.0
    const char* const multiples[] = {"1", "1.5", "2", "2.5", "3"};
    for (std::size_t r = 1; r < lines.size(); ++r) {
        const auto cells = Split(lines[r]);
        ASSERT_EQ(cells.size(), 3u + 2u * 5u);
        EXPECT_EQ(cells[1], multiples[r - 1]);
    }
    EXPECT_FALSE(Settings.ExportNmiByMultiple);
    // The table describes a copy: the system keeps its own temperature.
    EXPECT_EQ(sys.Temperature, 1873.15L);
}

TEST(InclusionTables, TemperatureTableHasOneRowPerTenDegrees)
{
    RecordingHost host;
    TTempFolder folder;
    TThSys& sys = ChargeWithInclusions();
    const auto lines = SolveForTable(sys, Settings.ExportNmiByTemp, "NmiT_0.csv");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "t,C;RadCr, мкм;Rad, мкм;m, г/т" + ElementHeader);
    ASSERT_EQ(lines.size(), 12u); // 1300, 1310, ..., 1400 °C
    for (std::size_t r = 1; r < lines.size(); ++r) {
        const auto cells = Split(lines[r]);
        ASSERT_EQ(cells.size(), 4u + 2u * 5u);
        EXPECT_EQ(cells[0], std::to_string(1300 + 10 * (r - 1)));
        // Rad is the whole multiple of RadCr.
        EXPECT_NEAR(std::stod(cells[2]), 2 * std::stod(cells[1]), 1e-9 * std::stod(cells[2]));
    }
    EXPECT_FALSE(Settings.ExportNmiByTemp);
}

TEST(InclusionTables, NegativeLambdaWarnsAndWritesNoRadiusTable)
{
    RecordingHost host;
    TTempFolder folder;
    TThSys& sys = ChargeWithInclusions();
    ASSERT_TRUE(Solve(sys, true));
    // At 1550 °C this melt is not supersaturated: no inclusion can nucleate.
    Settings.ExportMultipleTemp = 1550;
    Settings.ExportNmiByMultiple = true;
    sys.CalcInclusions();
    EXPECT_TRUE(host.warned("Критическое Lambda отрицательное"));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    EXPECT_FALSE(Settings.ExportNmiByMultiple);
}

TEST(InclusionTables, AnUnwritableTableWarnsAndStaysRequested)
{
    RecordingHost host;
    TTempFolder folder;
    TThSys& sys = ChargeWithInclusions();
    std::filesystem::create_directory("NmiT_0.csv"); // a folder where the file should go
    Settings.ExportNmiByTemp = true;
    ASSERT_TRUE(Solve(sys, true));
    EXPECT_FALSE(host.warnings.empty());
    EXPECT_TRUE(Settings.ExportNmiByTemp);
    EXPECT_EQ(host.gridShows, 1); // the solve itself went on
}

TEST(InclusionTables, NothingDuringAnOptimisationRun)
{
    RecordingHost host;
    TTempFolder folder;
    TThSys& sys = ChargeWithInclusions();
    Settings.ExportNmiByMultiple = true;
    CalcBusy = true;
    EXPECT_TRUE(Solve(sys, true));
    CalcBusy = false;
    EXPECT_TRUE(Settings.ExportNmiByMultiple);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

// ---------------------------------------------------------------------------

// Slag particles carried into the metal: 2 kg of the slag material's
// composition as the inclusions of the input.
constexpr long double InclusionInput = 0.002L;

void GiveInclusionInput(TThSys& sys)
{
    const std::pair<const char*, long double> slag[] = {{"Ca", 0.30L}, {"Si", 0.12L}, {"Fe", 0.12L}, {"Mn", 0.05L}, {"O", 0.41L}};
    for (const auto& [symbol, share] : slag)
        sys.El(sys.Elems->IndexOfSymbol(symbol)).InputNmiMass = InclusionInput * share;
}

// Each element's phases add up to its amount, the inclusions once.
void ExpectEveryElementKept(const TThSys& sys)
{
    long double mass = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        EXPECT_NEAR(D((e.MetalAmount + e.SlagAmount + e.GasAmount + e.NmiAmount) / e.Amount), 1.0, 1e-12)
            << e.Symbol;
        mass += e.MolarMass * e.Amount;
    }
    EXPECT_NEAR(D((sys.MetalMass + sys.SlagMass + sys.GasMass + sys.NmiMass) / mass), 1.0, 1e-12);
}

TEST(InclusionPhase, InclusionsKeepTheMassBalance)
{
    RecordingHost host;
    TTempFolder folder;
    TThSys& sys = ChargeWithInclusions();
    ASSERT_TRUE(Solve(sys));
    sys.CalcInclusions();
    ASSERT_TRUE(sys.NmiSolved);
    EXPECT_GT(sys.NmiMass, 0);
    EXPECT_GT(sys.NmiCriticalRadius, 0);
    EXPECT_NEAR(D(sys.NmiRadius), D(2 * sys.NmiCriticalRadius), D(1e-12L * sys.NmiRadius));
    ExpectEveryElementKept(sys);
    long double charge = 0, scale = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        charge += e.Valence * e.NmiAmount;
        scale += std::fabs(e.Valence * e.NmiAmount);
    }
    EXPECT_LT(std::fabs(charge), 1e-8L * scale); // the inclusions are electroneutral
}

TEST(InclusionPhase, InclusionsOfTheInputAreReportedAndCountedOnce)
{
    RecordingHost host;
    TThSys& sys = ChargeWithInclusions();
    GiveInclusionInput(sys);
    ASSERT_TRUE(Solve(sys));
    sys.CalcInclusions();
    ASSERT_TRUE(sys.NmiSolved);
    // The oxides carried in stay inclusions: at 1400 °C they do not dissolve.
    EXPECT_GT(sys.NmiMass, 0.5L * InclusionInput);
    ExpectEveryElementKept(sys);
}

TEST(InclusionPhase, WithoutTheInclusionBlockTheInputIsCountedOnce)
{
    RecordingHost host;
    TThSys& sys = ChargeWithInclusions();
    Settings.CalcNmi = false;
    GiveInclusionInput(sys);
    ASSERT_TRUE(Solve(sys, true));
    ExpectEveryElementKept(sys);
}

TEST(InclusionPhase, AGivenEndogenousRadiusSkipsTheCriticalRadius)
{
    RecordingHost host;
    TThSys& sys = ChargeWithInclusions();
    Settings.AutoNmiRadius = false;
    Settings.EndoNmiRadius = 3;
    ASSERT_TRUE(Solve(sys));
    sys.CalcInclusions();
    EXPECT_EQ(sys.NmiCriticalRadius, 0);
    EXPECT_EQ(sys.NmiRadius, 3);
    // With no radius given the critical radius is computed anyway.
    Settings.EndoNmiRadius = 0;
    ASSERT_TRUE(Solve(sys));
    sys.CalcInclusions();
    EXPECT_GT(sys.NmiCriticalRadius, 0);
}

// ---------------------------------------------------------------------------

TEST(InclusionNumberTexts, GeneralFormatKeepsFifteenDigits)
{
    EXPECT_EQ(FormatGeneral(0), "0");
    EXPECT_EQ(FormatGeneral(1.5L), "1.5");
    EXPECT_EQ(FormatGeneral(-2), "-2");
    EXPECT_EQ(FormatGeneral(1550), "1550");
    EXPECT_EQ(FormatGeneral(0.000123L), "0.000123");
    EXPECT_EQ(FormatGeneral(1e-6L), "1E-6");
    EXPECT_EQ(FormatGeneral(2.5e20L), "2.5E20");
    EXPECT_EQ(FormatGeneral(1.0L / 3), "0.333333333333333");
    EXPECT_EQ(FormatFloatOneDecimal(1550), "1550");
    EXPECT_EQ(FormatFloatOneDecimal(1550.25L), "1550.3");
    EXPECT_EQ(FormatFloatOneDecimal(1549.96L), "1550");
}
