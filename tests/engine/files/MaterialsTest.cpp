// The materials file: the systems' elements from the header formulas, the
// composition tables, types, markers and the pseudo-materials; widening of
// ferroalloy analyses; and refusal of files that break the bounds.
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "ThSys.h"

namespace ferrolyt::test {
namespace {

class MaterialsFile : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        LoadFixtureDatabase();
    }
    static int Elem(const char* symbol) { return ThSystems[0]->Elems->IndexOfSymbol(symbol); }
    static float Min(const char* symbol, int m) { return CompositionMin[static_cast<std::size_t>(Elem(symbol) + 1)][m]; }
    static float Max(const char* symbol, int m) { return CompositionMax[static_cast<std::size_t>(Elem(symbol) + 1)][m]; }
};

TEST_F(MaterialsFile, ScrapAnalysisWithBalanceRecoveryAndPrice)
{
    RecordingHost host;
    ASSERT_TRUE(LoadMaterialsFromLines({"@Fe C Si Mn", "Scrap | 0,2/0,4 0.3 0.5/0.7 $120 #0.9/0.95"}, "s.MAT", false,
                                       "s.MAT"));
    ASSERT_EQ(MaterialCount, 1);
    EXPECT_NEAR(Min("C", 1), 0.002 * 0.9, 1e-7);
    EXPECT_NEAR(Min("Si", 1), 0.003 * 0.9, 1e-7);
    EXPECT_NEAR(Min("Mn", 1), 0.005 * 0.9, 1e-7);
    EXPECT_NEAR(Min("Fe", 1), 0.99 * 0.9, 1e-6);
    EXPECT_NEAR(Max("C", 1), 0.004 * 0.95, 1e-7);
    EXPECT_NEAR(Max("Mn", 1), 0.007 * 0.95, 1e-7);
    EXPECT_NEAR(Max("Fe", 1), 0.986 * 0.95, 1e-6);
    EXPECT_DOUBLE_EQ(double(MaterialTable[1].Price), 120.0);
    EXPECT_EQ(MaterialTable[1].Type, mtMetal);
    // Elements in the order of their first appearance, balance first.
    EXPECT_EQ(Elem("Fe"), 0);
    EXPECT_EQ(Elem("Mn"), 3);
    EXPECT_EQ(SystemElemLast, 3);
    // Row 0: Σ fraction / M.
    const long double row0 = Min("Fe", 1) / 55.847L + Min("C", 1) / 12.011L + Min("Si", 1) / 28.086L +
                             Min("Mn", 1) / 54.938L;
    EXPECT_NEAR(CompositionMin[0][1], double(row0), 1e-7);
}

TEST_F(MaterialsFile, FixtureBuildsTypesPseudoMaterialsAndTheTemplateTask)
{
    RecordingHost host;
    ASSERT_TRUE(LoadMaterials(LoaderFixture("Test.MAT").string(), false));
    EXPECT_TRUE(host.warnings.empty());
    ASSERT_EQ(MaterialCount, 10);
    EXPECT_EQ(MaterialTable[1].Name, "Електроенергія");
    EXPECT_EQ(MaterialTable[1].Type, mtEnergy);
    EXPECT_DOUBLE_EQ(double(MaterialTable[1].HeatA[0]), 7200.0);
    EXPECT_DOUBLE_EQ(double(MaterialTable[1].HeatTotal[1]), 10800.0);
    EXPECT_EQ(MaterialTable[2].Type, mtEnergy);
    EXPECT_TRUE(MaterialTable[2].Molten);
    EXPECT_DOUBLE_EQ(double(MaterialTable[2].HeatA[1]), -5400.0);
    EXPECT_EQ(MaterialTable[4].Name, "Чавун");
    EXPECT_DOUBLE_EQ(double(MaterialTable[4].Temperature), 1350.0);
    EXPECT_TRUE(MaterialTable[4].Molten);
    EXPECT_TRUE(IsUnset(MaterialTable[3].Temperature));
    // Oxides balance their charges: slag-forming.
    EXPECT_EQ(MaterialTable[6].Name, "Вапно");
    EXPECT_EQ(MaterialTable[6].Type, mtSlag);
    EXPECT_EQ(MaterialTable[9].Type, mtChargeCarrier);
    EXPECT_EQ(MaterialTable[9].ChargeSign[0], 1);
    EXPECT_EQ(MaterialTable[10].Type, mtGas);
    EXPECT_NEAR(Min("O", 10), 1.0, 1e-7);
    // The energy section carries no composition.
    EXPECT_EQ(CompositionMax[0][1], 0.0f);
    // A missing price is 0, a missing recovery 1.
    EXPECT_DOUBLE_EQ(double(MaterialTable[9].RecoveryHi), 1.0);
    EXPECT_EQ(MaterialTable[11].Name, "Метал");
    EXPECT_EQ(MaterialTable[12].Name, "Шлак");
    EXPECT_EQ(MaterialTable[13].Name, "Газ");
    EXPECT_TRUE(MaterialTable[12].Molten);
    EXPECT_FALSE(MaterialTable[13].Molten);
    EXPECT_EQ(host.materialNames[6], "Вапно");
    EXPECT_EQ(host.elementSymbols[1], " Fe");
    EXPECT_TRUE(host.actions["MeltA"]);
    EXPECT_EQ(host.clearResultsCalls, 1);
    const TTaskRecord& templ = TaskList.Items[0];
    EXPECT_EQ(templ.NEl, SystemElemLast + 1);
    EXPECT_EQ(templ.Symbols[1], "Fe");
    EXPECT_EQ(templ.NMat, 10);
    EXPECT_EQ(templ.Materials[7].Name, "Доломіт");
    // Key elements and the basic-oxide flag, copied to the upper system.
    EXPECT_EQ(ThSystems[0]->Elems->Key(keyFe), 0);
    EXPECT_EQ(ThSystems[1]->Elems->Key(keyCa), Elem("Ca"));
    EXPECT_TRUE(ThSystems[1]->Elems->BasicOxides);
    EXPECT_EQ(ThSystems[0]->Elems->Key(keyS), Elem("S"));
}

TEST_F(MaterialsFile, ActiveSpeciesAndTheirReferenceSpecies)
{
    ASSERT_TRUE(LoadMaterialsFromLines({"@Fe C", "Чавун | 4"}, "c.MAT", false, "c.MAT"));
    // O is not in the system: only Fe and C (atoms) remain.
    ASSERT_EQ(ActiveGasCount, 2);
    EXPECT_EQ(ActiveGases[1].Name, "Fe");
    EXPECT_EQ(ActiveGases[2].Name, "C");
    EXPECT_EQ(ActiveGases[2].Parts[0].Elem, 1);
    EXPECT_EQ(ActiveGases[2].Parts[0].RefSpecies, 2);
    EXPECT_EQ(ThSystems[0]->Elems->Items[1].GasLinks[0], 2);

    ASSERT_TRUE(LoadMaterials(LoaderFixture("Test.MAT").string(), false));
    auto species = [](const std::string& name) {
        for (int s = 1; s <= ActiveGasCount; ++s)
            if (ActiveGases[s].Name == name)
                return s;
        return 0;
    };
    const int o2 = species("O2");
    const int co = species("CO");
    ASSERT_GT(o2, 0);
    ASSERT_GT(co, 0);
    const int oxygen = Elem("O");
    EXPECT_EQ(ThSystems[0]->Elems->Items[static_cast<std::size_t>(oxygen)].GasLinks[1], o2);
    EXPECT_EQ(ActiveGases[co].Parts[1].RefSpecies, ThSystems[0]->Elems->Items[static_cast<std::size_t>(oxygen)].GasLinks[0]);
}

TEST_F(MaterialsFile, HeaderEdgeCases)
{
    ASSERT_TRUE(LoadMaterialsFromLines({"@ CaO SiO2", "Lime | 90 5", "@Fe C Si {comment Mn", "Steel | 1 2"},
                                       "h.MAT", false, "h.MAT"));
    // Bare '@': no balance, so 95 % of the lime is all there is.
    EXPECT_NEAR(Min("Ca", 1) + Min("O", 1) + Min("Si", 1), 0.95, 1e-6);
    EXPECT_LT(Elem("Mn"), 0); // after '{'
    // Two columns: the 3 is not read as a value.
    EXPECT_NEAR(Max("Si", 2), 0.02, 1e-7);
    // Si keeps its first index.
    EXPECT_EQ(Elem("Si"), 2);
}

TEST_F(MaterialsFile, WideningOfFerroalloys)
{
    Settings.WidenFerroalloys = true;
    ASSERT_TRUE(LoadMaterialsFromLines({"@Fe Si C", "ФС75 | 75 0.1", "Lime | 75 0.1"}, "w.MAT", false, "w.MAT"));
    // 75 % Si widened to 75 ± 0.6; 0.1 % C to 0.1 ± 0.015.
    EXPECT_NEAR(Min("Si", 1), 0.744, 1e-6);
    EXPECT_NEAR(Max("Si", 1), 0.756, 1e-6);
    EXPECT_NEAR(Min("C", 1), 0.00085, 1e-8);
    EXPECT_NEAR(Max("C", 1), 0.00115, 1e-8);
    EXPECT_NEAR(Min("Si", 2), 0.75, 1e-7);
    EXPECT_NEAR(Max("Si", 2), 0.75, 1e-7);

    long double lo = 10;
    long double hi = 30;
    CompleteFerroalloyComposition("фмн78", "Si", lo, hi); // already wider than m ± d
    EXPECT_EQ(lo, 10.0L);
    EXPECT_EQ(hi, 30.0L);
    lo = hi = 99.9L;
    CompleteFerroalloyComposition("FeMn", "Mn", lo, hi);
    EXPECT_DOUBLE_EQ(double(hi), 100.0);
    EXPECT_DOUBLE_EQ(double(lo), 99.4);
}

TEST_F(MaterialsFile, RefusedFilesLeaveThePreviousMaterials)
{
    ASSERT_TRUE(LoadMaterials(LoaderFixture("Test.MAT").string(), false));
    const float limeCa = Min("Ca", 6);
    std::vector<std::string> many{"@Fe"};
    for (int m = 0; m < 200; ++m)
        many.push_back("M" + std::to_string(m) + " | ");
    std::string wide = "@Fe";
    for (int c = 0; c < 60; ++c)
        wide += " C";
    const struct {
        std::vector<std::string> lines;
        const char* expected;
    } cases[] = {
        {many, "Рядок 99"},
        {{wide, "X | 1"}, "50"},
        {{"@Fe Xq", "X | 1"}, "Xq"},
        {{"@Fe C", "X | 1e41"}, "Рядок 2"},
        {{"@Fe0", "X | 1"}, "Fe0"},
        {{"@Fe C", "Scrap | 0.2 $120", "Slag | 0.1 $-50"}, "Рядок 3: матеріал Slag: ціна"},
    };
    for (const auto& c : cases) {
        RecordingHost host;
        EXPECT_FALSE(LoadMaterialsFromLines(c.lines, "bad.MAT", false, "bad.MAT")) << c.expected;
        EXPECT_TRUE(host.warned("Неможливо завантажити файл bad.MAT"));
        EXPECT_TRUE(host.warned(c.expected)) << (host.warnings.empty() ? "" : host.warnings[0]);
        EXPECT_EQ(MaterialCount, 10);
        EXPECT_EQ(Min("Ca", 6), limeCa);
        EXPECT_EQ(host.clearResultsCalls, 0);
    }
    RecordingHost host;
    EXPECT_FALSE(LoadMaterials("missing.MAT", false));
    EXPECT_EQ(MaterialCount, 10);
}

TEST_F(MaterialsFile, LowerEndsMayExceedTheWholeOnlyByTheRoundingTolerance)
{
    RecordingHost host;
    // 100.9 %: analyses rounded up, within the tolerance of 1 %.
    ASSERT_TRUE(LoadMaterialsFromLines({"@ CaO SiO2 MgO", "Lime | 95/96 4.5/5 1.4/2"}, "l.MAT", false, "l.MAT"));
    EXPECT_TRUE(host.warnings.empty());
    // 101.1 %: mass from nothing.
    EXPECT_FALSE(LoadMaterialsFromLines({"@ CaO SiO2 MgO", "#", "Lime | 95/96 4.5/5 1.6/2"}, "l.MAT", false, "l.MAT"));
    EXPECT_TRUE(host.warned("Неможливо завантажити файл l.MAT\nРядок 3: матеріал Lime: нижні межі аналізу дають "
                            "разом 101.1 %, більше 100 %"))
        << host.warnings.back();
    // Upper ends over 100 % are a wide analysis, not an impossible one.
    EXPECT_TRUE(LoadMaterialsFromLines({"@ CaO SiO2", "Lime | 50/60 40/60"}, "p.MAT", false, "p.MAT"));
}

TEST_F(MaterialsFile, NinetySevenMaterialsFitWithThePseudoMaterialsBehind)
{
    std::vector<std::string> lines{"@Fe"};
    for (int m = 0; m < 97; ++m)
        lines.push_back("M" + std::to_string(m) + " |");
    ASSERT_TRUE(LoadMaterialsFromLines(lines, "full.MAT", false, "full.MAT"));
    EXPECT_EQ(MaterialTable[100].Name, "Газ");
    EXPECT_EQ(TaskList.Items[0].NMat, 30);
}

TEST_F(MaterialsFile, StoredNameIsBareInTheProjectFolder)
{
    ScratchFolder dir;
    SetProgramDir(dir.path().string());
    std::filesystem::create_directories(dir / "proj");
    std::filesystem::copy_file(LoaderFixture("Test.MAT"), dir / "proj" / "Test.MAT");
    std::filesystem::copy_file(LoaderFixture("Test.MAT"), dir / "Other.MAT");
    ProjectDir = "proj";
    RecordingHost host;
    ASSERT_TRUE(LoadMaterials((dir / "proj" / "Test.MAT").string(), false));
    EXPECT_EQ(ProjectValue("MatFile"), "Test.MAT");
    EXPECT_EQ(host.status[4], " Test.MAT");
    ASSERT_TRUE(LoadMaterials((dir / "Other.MAT").string(), true));
    EXPECT_EQ(ProjectValue("MatFile"), "Other.MAT");
    EXPECT_TRUE(host.lastClearKeptAmounts);
    ProjectDir = "";
    ASSERT_TRUE(LoadMaterials((dir / "proj" / "Test.MAT").string(), false));
    EXPECT_EQ(ProjectValue("MatFile"), "proj/Test.MAT");
}

} // namespace
} // namespace ferrolyt::test
