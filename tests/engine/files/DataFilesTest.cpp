// The four database files: what each loader stores, the derived values, and
// how each meets damaged or oversized files.
#include "LoaderTestSupport.h"
#include "RecordingHost.h"

#include <algorithm>
#include <array>

namespace ferrolyt::test {
namespace {

class ConstantsFile : public LoaderTestBase {};

TEST_F(ConstantsFile, ReadsEveryElementLineWithItsDerivedFields)
{
    RecordingHost host;
    ASSERT_TRUE(LoadConstants(LoaderFixture("Test.CON").string()));
    EXPECT_TRUE(host.warnings.empty());
    ASSERT_EQ(ElementBase.Count, 10);
    EXPECT_EQ(BaseElemLast, 9);
    const TElementRecord& fe = ElementBase.Items[0];
    EXPECT_EQ(fe.Symbol, "Fe");
    EXPECT_EQ(fe.Label, "FeO");
    EXPECT_DOUBLE_EQ(double(fe.MolarMass), 55.847);
    EXPECT_DOUBLE_EQ(double(fe.CompoundFactor), double(7.9997L * 2 / 55.847L + 1));
    EXPECT_DOUBLE_EQ(double(fe.SlagA1), 2.302585093);       // field 6 value 1
    EXPECT_DOUBLE_EQ(double(fe.SlagEnergy), 0.7);           // sqrt(0.49)
    EXPECT_DOUBLE_EQ(double(fe.NmiSurfaceCoef), 1.25);
    EXPECT_DOUBLE_EQ(double(fe.LiquidEnthalpy[0]), 20.0);
    // Oxygen is an anion, carbon is carbon: both keep the factor 1.
    EXPECT_EQ(double(ElementBase.Items[1].CompoundFactor), 1.0);
    EXPECT_EQ(ElementBase.Items[5].Symbol, "C");
    EXPECT_EQ(double(ElementBase.Items[5].CompoundFactor), 1.0);
    EXPECT_EQ(ElementBase.Items[1].FileByte, 1);
    EXPECT_TRUE(ElementBase.Items[1].DirectStandard);
    EXPECT_FALSE(ElementBase.Items[0].DirectStandard);
    // The element whose numbers continue on the next line.
    EXPECT_EQ(ElementBase.Items[2].Symbol, "Si");
    EXPECT_DOUBLE_EQ(double(ElementBase.Items[2].LiquidEnthalpy[0]), 22.0);
    EXPECT_EQ(ElementBase.Items[3].Symbol, "Ca");
    EXPECT_EQ(ElementBase.Items[9].Index, 9);
}

const std::string Fields = " 0 55.847 2 1 -0.5 0.8 -0.3 0.49 -20000 5.5 0.01 0 1 2 3 4 5 6 7 8 0.5 10 11 12 1.5";

TEST_F(ConstantsFile, LowerCaseLinesAreNoElementsAndAFileWithoutElementsIsRefused)
{
    ASSERT_TRUE(LoadConstants(LoaderFixture("Test.CON").string()));
    RecordingHost host;
    EXPECT_FALSE(LoadConstantsFromLines({"title", "fe FeO   " + Fields, "o        " + Fields}, "low.CON"));
    EXPECT_TRUE(host.warned("не містить жодного елемента"));
    EXPECT_EQ(ElementBase.Count, 10);
    EXPECT_EQ(BaseElemLast, 9);
}

TEST_F(ConstantsFile, ChargeEnthalpyIsAnOptionalLastFieldOnTheSameLine)
{
    RecordingHost host;
    // Older files end after the surface coefficient, or carry text there
    // that was always ignored; a value on the next line is another element's.
    ASSERT_TRUE(LoadConstantsFromLines({"t", "Fe FeO   " + Fields + " -272040", "O        " + Fields + " 0",
                                        "S        " + Fields + " 0 sulphide", "Ca CaO   " + Fields + " 0",
                                        "-634920"},
                                       "h.CON"));
    EXPECT_TRUE(host.warnings.empty());
    ASSERT_EQ(ElementBase.Count, 4);
    EXPECT_EQ(double(ElementBase.Items[0].ChargeEnthalpy), -272040.0);
    EXPECT_DOUBLE_EQ(double(ElementBase.Items[0].NmiSurfaceCoef), 1.5);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(double(ElementBase.Items[static_cast<std::size_t>(i)].ChargeEnthalpy), 0.0) << i;
}

TEST_F(ConstantsFile, RefusesMoreThan41ElementsNamingFileLineAndLimit)
{
    std::vector<std::string> lines{"title"};
    for (int k = 0; k < 1000; ++k)
        lines.push_back(std::string{char('A' + k / 26 % 26), char('a' + k % 26), ' '} + "Lab   " + Fields);
    RecordingHost host;
    EXPECT_FALSE(LoadConstantsFromLines(lines, "big.CON"));
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_NE(host.warnings[0].find("Неможливо завантажити файл big.CON"), std::string::npos);
    EXPECT_NE(host.warnings[0].find("Рядок 43"), std::string::npos);
    EXPECT_NE(host.warnings[0].find("41"), std::string::npos);
    EXPECT_EQ(ElementBase.Count, 0);
    EXPECT_EQ(BaseElemLast, -1);
}

TEST_F(ConstantsFile, TruncatedOrUnreadableNumbersRefuseTheFile)
{
    for (const std::string& bad : {std::string("Fe FeO   0 55.847 2 1"),      // fields missing at the end
                                   std::string("Fe FeO   0 55.8x47" + Fields.substr(9)),
                                   std::string("Fe FeO   0 1e9999" + Fields.substr(9)),
                                   std::string("Fe FeO   0 0" + Fields.substr(9))}) { // zero molar mass
        ASSERT_TRUE(LoadConstants(LoaderFixture("Test.CON").string()));
        RecordingHost host;
        EXPECT_FALSE(LoadConstantsFromLines({"title", bad}, "bad.CON")) << bad;
        EXPECT_TRUE(host.warned("Рядок 2")) << bad;
        EXPECT_EQ(ElementBase.Count, 10) << bad; // the base it had
    }
}

TEST_F(ConstantsFile, MissingFileWarnsAndKeepsTheBase)
{
    ASSERT_TRUE(LoadConstants(LoaderFixture("Test.CON").string()));
    RecordingHost host;
    EXPECT_FALSE(LoadConstants("no-such-file.CON"));
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_EQ(host.warnings[0].rfind("Неможливо завантажити файл no-such-file.CON\n", 0), 0u) << host.warnings[0];
    EXPECT_EQ(ElementBase.Count, 10);
    EXPECT_EQ(BaseElemLast, 9);
}

// The interaction and gas files refer to the elements of the constants file.
class ConstantsLoaded : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        ASSERT_TRUE(LoadConstants(LoaderFixture("Test.CON").string()));
    }
};
class InteractionFile : public ConstantsLoaded {};

TEST_F(InteractionFile, RowsFillTheMatrixSymmetricallyAndStopAtAnUnsetValue)
{
    RecordingHost host;
    ASSERT_TRUE(LoadInteractionParams(LoaderFixture("Test.EPS").string()));
    EXPECT_DOUBLE_EQ(double(WagnerE[0]), 1.0);
    EXPECT_DOUBLE_EQ(double(WagnerE[1]), 1.6);
    EXPECT_DOUBLE_EQ(double(WagnerE[3]), 1.8);
    // Row 3 (Ca): 0,030 (first comma accepted) at column 1, 0.060 at column 2.
    EXPECT_DOUBLE_EQ(WagnerMatrix[3][1], 0.03);
    EXPECT_DOUBLE_EQ(WagnerMatrix[1][3], 0.03);
    EXPECT_DOUBLE_EQ(WagnerMatrix[3][2], 0.06);
    // The "-" ends the row: the note after it, a number in it too, is not read.
    EXPECT_EQ(WagnerMatrix[1][1], 0.0);
    EXPECT_EQ(WagnerMatrix[3][3], 0.0);
    // Energy -RT ln x at 1600 °C; with the solvent x = e_r (1.6), otherwise
    // x = (e_r e_c + 1 - ε) / (1/e_r + 1/e_c) with e 1.8 and 1.7, ε 0.06.
    EXPECT_NEAR(double(InteractionEnergy[1][0]), -7319.955539388108, 1e-9);
    EXPECT_EQ(InteractionEnergy[1][0], InteractionEnergy[0][1]);
    EXPECT_NEAR(double(InteractionEnergy[3][2]), -19498.12883631965, 1e-6);
    EXPECT_EQ(InteractionEnergy[2][2], 0.0L);
    EXPECT_TRUE(host.warnings.empty());
}

TEST_F(InteractionFile, RowWithoutValuesGivesTheSolventPairOnly)
{
    ASSERT_TRUE(LoadConstantsFromLines({"t", "Fe FeO   " + Fields, "O        " + Fields}, "two.CON"));
    RecordingHost host;
    ASSERT_TRUE(LoadInteractionParamsFromLines({"t", "O 2"}, "one.EPS"));
    EXPECT_NEAR(double(InteractionEnergy[1][0]), -10795.24971348305, 1e-9); // -RT ln 2
}

TEST_F(InteractionFile, IncompatiblePairWarnsLaterElementFirstAndGetsNoEnergy)
{
    ASSERT_TRUE(LoadConstantsFromLines({"t", "Fe FeO   " + Fields, "O        " + Fields, "S        " + Fields},
                                       "three.CON"));
    RecordingHost host;
    ASSERT_TRUE(LoadInteractionParamsFromLines({"t", "O 1", "S 1 3"}, "pair.EPS"));
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_EQ(host.warnings[0], "Параметр взаємодії Вагнера S-O не сумісний с параметрами МКЕ");
    EXPECT_EQ(InteractionEnergy[2][1], 0.0L);
    EXPECT_EQ(InteractionEnergy[1][2], 0.0L);
}

TEST_F(InteractionFile, ElementWithoutRowIsReportedOnceAndLeftWithoutEnergy)
{
    RecordingHost host;
    ASSERT_TRUE(LoadInteractionParamsFromLines({"t", "O 1.5"}, "short.EPS"));
    ASSERT_EQ(host.warnings.size(), 8u); // elements 2..9 have no row
    EXPECT_TRUE(host.warned("Si"));
    EXPECT_EQ(InteractionEnergy[2][1], 0.0L);
    EXPECT_EQ(InteractionEnergy[2][0], 0.0L);
}

TEST_F(InteractionFile, OversizedFilesAreRefusedAndTheTablesKept)
{
    ASSERT_TRUE(LoadInteractionParams(LoaderFixture("Test.EPS").string()));
    const auto before = InteractionEnergy;
    std::vector<std::string> rows{"t"};
    for (int r = 0; r < 41; ++r)
        rows.push_back("X 1");
    std::string wide = "X 1";
    for (int c = 0; c < 41; ++c)
        wide += " 0.1";
    for (const auto& lines : {rows, std::vector<std::string>{"t", wide}, std::vector<std::string>{"t", "X 1 1e400"}}) {
        RecordingHost host;
        EXPECT_FALSE(LoadInteractionParamsFromLines(lines, "big.EPS"));
        EXPECT_TRUE(host.warned("Неможливо завантажити файл big.EPS"));
        EXPECT_EQ(InteractionEnergy, before);
        EXPECT_DOUBLE_EQ(WagnerMatrix[3][2], 0.06);
    }
}

class SlagFile : public LoaderTestBase {};

TEST_F(SlagFile, FirstRowIsElementZeroDiagonalDiscardedTiesToEven)
{
    ASSERT_TRUE(LoadSlagDataFromLines({"title", "Fe 5 -3.5 2.5", "O 1 2 3"}, "t.SLG"));
    using Row = std::array<int32_t, 3>;
    EXPECT_EQ((Row{SlagMatrix[0][0], SlagMatrix[0][1], SlagMatrix[0][2]}), (Row{0, -4, 2}));
    EXPECT_EQ((Row{SlagMatrix[1][0], SlagMatrix[1][1], SlagMatrix[1][2]}), (Row{1, 0, 3}));
}

TEST_F(SlagFile, FixtureLoadsAndBadFilesKeepTheTable)
{
    ASSERT_TRUE(LoadSlagData(LoaderFixture("Test.SLG").string()));
    const auto before = SlagMatrix;
    EXPECT_EQ(SlagMatrix[1][0], 2); // (7 + 0) % 11 - 5
    std::vector<std::string> many{"t"};
    for (int r = 0; r < 42; ++r)
        many.push_back("X 1");
    RecordingHost host;
    EXPECT_FALSE(LoadSlagDataFromLines(many, "many.SLG"));
    EXPECT_FALSE(LoadSlagDataFromLines({"t", "Fe 0 1e30"}, "huge.SLG"));
    EXPECT_FALSE(LoadSlagDataFromLines({"t", "Fe 0 -1e20"}, "unset.SLG")); // the "not given" value is no entry
    EXPECT_EQ(host.warnings.size(), 3u);
    EXPECT_EQ(SlagMatrix, before);
    EXPECT_FALSE(LoadSlagData("missing.SLG"));
    EXPECT_EQ(SlagMatrix, before);
}

// "-" ends an interaction or slag row: a value after it is refused by its
// line, the tables kept; a row out of its element's place is read by its
// place and named. Value is what the tables then hold at one place.
TEST_F(SlagFile, ValuesAfterARowsEndAreRefusedAndRowsOutOfPlaceNamed)
{
    ASSERT_TRUE(LoadConstantsFromLines({"t", "Fe FeO   " + Fields, "O        " + Fields, "Si SiO2  " + Fields}, "3.CON"));
    using TLines = std::vector<std::string>;
    const struct {
        bool Eps, Refused;
        TLines Lines;
        std::string Says;
        double Value;
    } cases[] = {
        {true, true, {"t", "O 1.6 - 0.1", "Si 1.7 0.1 0.3"}, "Рядок 2: параметр взаємодії O ε2 (Si): \"0.1\" після \"-\"", 1.6},
        {true, true, {"t", "O 1.6 0.5 0.1", "Si 1.7 - -"}, "Рядок 3: параметр взаємодії Si ε2 (Si): \"-\" після \"-\"", 1.6},
        {true, false, {"t", "Si 1.7 0.1 0.3", "O 1.6 0.5 0.1"}, "Рядок 3: символ O, а на цьому місці — Si", 1.7},
        {true, false, {"t", "Si 1.7 0.1 0.3"}, "Рядок 2: символ Si, а на цьому місці — O", 1.7},
        {false, true, {"t", "Fe 0 - 1 2", "O 1 0 3", "Si 2 3 0"}, "Рядок 2: енергія пари Fe, значення 3 (Si): \"1\" після \"-\"", 1},
        {false, true, {"t", "Fe 0 1 2", "O 1 - -", "Si 2 3 0"}, "Рядок 3: енергія пари O, значення 3 (Si): \"-\" після \"-\"", 1},
        {false, false, {"t", "Fe 0 1 2", "Si 2 3 0", "O 1 0 3"}, "Рядок 3: символ Si, а на цьому місці — O", 2},
        {false, false, {"t", "O 1 0 3", "Si 2 3 0"}, "Рядок 2: символ O, а на цьому місці — Fe", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Says);
        const std::string file = c.Eps ? "rows.EPS" : "rows.SLG";
        auto load = [&](const TLines& lines) {
            return c.Eps ? LoadInteractionParamsFromLines(lines, file) : LoadSlagDataFromLines(lines, file);
        };
        ASSERT_TRUE(load(c.Eps ? TLines{"t", "O 1.6 0.5 0.1", "Si 1.7 0.1 0.3"}
                               : TLines{"t", "Fe 0 1 2", "O 1 0 3", "Si 2 3 0"}));
        const auto energy = InteractionEnergy;
        RecordingHost host;
        EXPECT_EQ(load(c.Lines), !c.Refused);
        const std::string start = c.Refused ? "Неможливо завантажити файл " + file + "\n" + c.Says : "Файл " + file + ": ";
        EXPECT_TRUE(std::any_of(host.warnings.begin(), host.warnings.end(), [&](const std::string& w) {
            return w.rfind(start, 0) == 0 && w.find(c.Says) != std::string::npos;
        })) << testing::PrintToString(host.warnings);
        EXPECT_DOUBLE_EQ(c.Eps ? double(WagnerE[1]) : double(SlagMatrix[1][0]), c.Value);
        EXPECT_TRUE(!c.Refused || InteractionEnergy == energy);
    }
}

class GasFile : public ConstantsLoaded {};

TEST_F(GasFile, KeepsOnlySpeciesWhoseElementsAreKnown)
{
    RecordingHost host;
    ASSERT_TRUE(LoadGases(LoaderFixture("Test.GAS").string()));
    EXPECT_TRUE(host.warnings.empty());
    // H, H2O and N are dropped; the blank last line is no species.
    ASSERT_EQ(GasBaseCount, 8);
    EXPECT_EQ(GasBase[1].Name, "O");
    EXPECT_EQ(GasBase[2].Name, "O2");
    EXPECT_EQ(GasBase[2].Atoms, 2);
    EXPECT_EQ(GasBase[5].Name, "CO");
    EXPECT_EQ(GasBase[5].Count, 2);
    EXPECT_EQ(GasBase[5].Parts[0].Symbol, "C");
    EXPECT_EQ(GasBase[5].Parts[0].Elem, 5);
    EXPECT_EQ(GasBase[5].Parts[1].Elem, 1);
    EXPECT_EQ(GasBase[7].Name, "S2");
    EXPECT_EQ(GasBase[8].Name, "Mg");
    EXPECT_DOUBLE_EQ(double(GasBase[1].Coef[0]), 200.1);
    EXPECT_DOUBLE_EQ(double(GasBase[1].Coef[7]), 249200.0); // kJ -> J
}

TEST_F(GasFile, UnusedGroupsAreReadAndIgnored)
{
    ASSERT_TRUE(LoadGasesFromLines({"t", "1 2 3 4 5 6 7 8 0 0 2 C  1 O  1 Xx 9 Yy 9 CO     "}, "g.GAS"));
    ASSERT_EQ(GasBaseCount, 1);
    EXPECT_EQ(GasBase[1].Atoms, 2);
    EXPECT_EQ(GasBase[1].Parts[2].Symbol, "Xx");
    EXPECT_EQ(GasBase[1].Name, "CO");
}

TEST_F(GasFile, DamagedLinesAndTooManySpeciesRefuseTheFileAndKeepTheSpecies)
{
    std::vector<std::string> many{"t"};
    for (int k = 0; k < 400; ++k)
        many.push_back("1 2 3 4 5 6 7 8 0 0 1 O  1 Fe 0 Fe 0 Fe 0 O      ");
    for (const auto& lines : {many, std::vector<std::string>{"t", "1 2 3"},
                              std::vector<std::string>{"t", "1 2 3 4 5 6 7 8 0 0 9 O  1"},
                              std::vector<std::string>{"t", "1 2 3 4 5 6 7 x 0 0 1 O  1"}}) {
        ASSERT_TRUE(LoadGases(LoaderFixture("Test.GAS").string()));
        RecordingHost host;
        EXPECT_FALSE(LoadGasesFromLines(lines, "bad.GAS"));
        EXPECT_TRUE(host.warned("Неможливо завантажити файл bad.GAS"));
        EXPECT_EQ(GasBaseCount, 8);
    }
    RecordingHost host;
    EXPECT_FALSE(LoadGasesFromLines(many, "many.GAS"));
    EXPECT_TRUE(host.warned("Рядок 302")) << host.warnings[0];
    EXPECT_TRUE(host.warned("300"));
}

TEST_F(GasFile, FilesWithoutUsableSpeciesAreRefusedAndKeepTheSpecies)
{
    // With no species the gas phase cannot form and no melt converges.
    for (const auto& lines : {std::vector<std::string>{"t"},
                              std::vector<std::string>{"t", "1 2 3 4 5 6 7 8 0 0 1 Xx 1 Fe 0 Fe 0 Fe 0 X      "}}) {
        ASSERT_TRUE(LoadGases(LoaderFixture("Test.GAS").string()));
        const std::string first = GasBase[1].Name;
        RecordingHost host;
        EXPECT_FALSE(LoadGasesFromLines(lines, "none.GAS"));
        EXPECT_TRUE(host.warned("не містить жодної частинки газу"));
        EXPECT_EQ(GasBaseCount, 8);
        EXPECT_EQ(GasBase[1].Name, first);
    }
}

} // namespace
} // namespace ferrolyt::test
