// Every value a reader takes is the value the file holds: a row is read as
// a whole, and a row with a value left out, one too many, one that is no
// number, a name given twice or bytes of another encoding refuses the file
// by line, leaving the tables as they were.

#include "FieldDamage.h"
#include "LoaderTestSupport.h"
#include "RecordingHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>

namespace ferrolyt::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> SampleLines(const std::string& name)
{
    return ReadTextFile1251(fs::path(FERROLYT_FIXTURES) / "sample-melt" / name);
}

// The sample's line that starts with `start`, and its index.
std::size_t LineStarting(const std::vector<std::string>& lines, const std::string& start)
{
    for (std::size_t k = 0; k < lines.size(); ++k)
        if (lines[k].rfind(start, 0) == 0)
            return k;
    ADD_FAILURE() << start;
    return 0;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::string Num(long double v)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.21Lg ", v);
    return buf;
}

// Everything each reader fills, printed exactly.
std::string PrintConstants()
{
    std::string p;
    for (int k = 0; k < ElementBase.Count; ++k) {
        const TElementRecord& e = ElementBase.Items[static_cast<std::size_t>(k)];
        p += e.Symbol + " " + e.Label + " " + std::to_string(e.FileByte) + " " + std::to_string(e.DirectStandard);
        for (long double v : {e.MolarMass, e.Valence, e.SlagA1, e.SlagB1, e.SlagA2, e.SlagB2, e.SlagEnergy, e.MetalH,
                              e.MetalS, e.Tolerance, e.NmiSurfaceCoef, e.ChargeEnthalpy})
            p += Num(v);
        for (long double v : e.SolidEnthalpy)
            p += Num(v);
        for (long double v : e.LiquidEnthalpy)
            p += Num(v);
        p += "\n";
    }
    return p;
}

std::string PrintInteraction()
{
    std::string p;
    for (const auto& row : WagnerMatrix)
        for (double v : row)
            p += Num(v);
    for (long double v : WagnerE)
        p += Num(v);
    return p;
}

std::string PrintSlag()
{
    std::string p;
    for (const auto& row : SlagMatrix)
        for (int32_t v : row)
            p += std::to_string(v) + " ";
    return p;
}

std::string PrintGases()
{
    std::string p = std::to_string(GasBaseCount) + "\n";
    for (int s = 1; s <= GasBaseCount; ++s) {
        p += GasBase[s].Name + " " + std::to_string(GasBase[s].Count);
        for (long double v : GasBase[s].Coef)
            p += Num(v);
        for (const TGasSpeciesPart& part : GasBase[s].Parts)
            p += part.Symbol + std::to_string(part.Nu) + " ";
        p += "\n";
    }
    return p;
}

std::string PrintMaterials()
{
    std::string p = std::to_string(MaterialCount) + "\n";
    for (int m = 1; m <= MaterialCount; ++m) {
        const TMaterialRecord& r = MaterialTable[m];
        p += r.Name + " " + std::to_string(r.Type) + " " + std::to_string(r.Molten);
        for (long double v : {r.Price, r.RecoveryLo, r.RecoveryHi, r.Temperature})
            p += Num(v);
        for (std::size_t i = 0; i < CompositionMin.size(); ++i)
            p += Num(CompositionMin[i][m]) + Num(CompositionMax[i][m]);
        p += "\n";
    }
    return p;
}

std::string PrintTasks()
{
    std::string p;
    for (const std::string& line : TaskList.FileLines())
        p += line + "\n";
    return p;
}

class WholeRows : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        ASSERT_TRUE(LoadConstantsFromLines(SampleLines("Ferrolyt.CON"), "Ferrolyt.CON"));
        ASSERT_TRUE(LoadInteractionParamsFromLines(SampleLines("Ferrolyt.EPS"), "Ferrolyt.EPS"));
        ASSERT_TRUE(LoadSlagDataFromLines(SampleLines("Ferrolyt.SLG"), "Ferrolyt.SLG"));
        ASSERT_TRUE(LoadGasesFromLines(SampleLines("Ferrolyt.GAS"), "Ferrolyt.GAS"));
        ASSERT_TRUE(LoadMaterialsFromLines(SampleLines("Ferrolyt.MAT"), "Ferrolyt.MAT", false, "Ferrolyt.MAT"));
        ASSERT_TRUE(TaskList.LoadFromLines(SampleLines("Ferrolyt.TSK"), "Ferrolyt.TSK", 0, "Ferrolyt.TSK"));
    }

    // Loads `lines` through `load` and expects a refusal naming `line`
    // (0-based) and `says`, with the reader's tables as they were.
    void ExpectRefused(const std::function<bool(const std::vector<std::string>&)>& load,
                       const std::function<std::string()>& print, const std::vector<std::string>& lines,
                       std::size_t line, const std::string& says)
    {
        const std::string before = print();
        RecordingHost host;
        EXPECT_FALSE(load(lines)) << says;
        ASSERT_EQ(host.warnings.size(), 1u) << says;
        EXPECT_TRUE(host.warned("Рядок " + std::to_string(line + 1) + ": ")) << host.warnings[0];
        EXPECT_TRUE(host.warned(says)) << host.warnings[0];
        EXPECT_EQ(print(), before) << says;
    }

    // The property every reader keeps: one field damaged at random either
    // loads to the very same tables or is refused naming its line.
    static void DamageEachFieldKind(const std::function<bool(const std::vector<std::string>&)>& load,
                                    const std::function<std::string()>& print, const std::vector<std::string>& lines,
                                    const std::vector<TField>& fields, unsigned seed)
    {
        ASSERT_FALSE(fields.empty());
        ASSERT_TRUE(load(lines));
        const std::string before = print();
        std::mt19937 random(seed);
        int refused = 0;
        int same = 0;
        for (int k = 0; k < 150; ++k) {
            const TField& field = fields[random() % fields.size()];
            const TDamage damage = DamageField(lines, field, random);
            RecordingHost host;
            if (load(damage.Lines)) {
                ++same;
                EXPECT_EQ(print(), before) << damage.What;
                ASSERT_TRUE(load(lines));
            } else {
                ++refused;
                EXPECT_FALSE(damage.SameValue) << damage.What;
                ASSERT_FALSE(host.warnings.empty()) << damage.What;
                EXPECT_TRUE(host.warned("Рядок " + std::to_string(field.Line + 1) + ": "))
                    << damage.What << "\n" << host.warnings.back();
                EXPECT_EQ(print(), before) << damage.What;
            }
        }
        // Both ways were taken, so the property was tried on both sides.
        EXPECT_GT(refused, 0);
        EXPECT_GT(same, 0);
    }
};

auto Constants = [](const std::vector<std::string>& l) { return LoadConstantsFromLines(l, "Ferrolyt.CON"); };
auto Interaction = [](const std::vector<std::string>& l) { return LoadInteractionParamsFromLines(l, "Ferrolyt.EPS"); };
auto Slag = [](const std::vector<std::string>& l) { return LoadSlagDataFromLines(l, "Ferrolyt.SLG"); };
auto Gases = [](const std::vector<std::string>& l) { return LoadGasesFromLines(l, "Ferrolyt.GAS"); };
auto Materials = [](const std::vector<std::string>& l) {
    return LoadMaterialsFromLines(l, "Ferrolyt.MAT", false, "Ferrolyt.MAT");
};
auto Tasks = [](const std::vector<std::string>& l) { return TaskList.LoadFromLines(l, "Ferrolyt.TSK", 0, "Ferrolyt.TSK"); };

// ---------------------------------------------------------------------------
// Any data file: the bytes themselves

class AnyDataFile : public WholeRows {
protected:
    // The sample materials file, as bytes, changed by `edit`, loaded from disk.
    bool LoadMaterialBytes(const std::function<std::string(std::string)>& edit)
    {
        std::ifstream in(fs::path(FERROLYT_FIXTURES) / "sample-melt" / "Ferrolyt.MAT", std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::ofstream(folder_ / "Ferrolyt.MAT", std::ios::binary) << edit(bytes);
        return LoadMaterials((folder_ / "Ferrolyt.MAT").string(), false);
    }
    ScratchFolder folder_;
};

TEST_F(AnyDataFile, ANulByteIsRefusedByItsLineInsteadOfActingAsABlank)
{
    const std::string before = PrintMaterials();
    RecordingHost host;
    EXPECT_FALSE(LoadMaterialBytes([](std::string b) { return Replace(b, "0.15/0.25", std::string("0.15/\0 0.25", 11)); }));
    EXPECT_TRUE(host.warned("Рядок 5: нульовий байт (NUL)")) << host.warnings.at(0);
    EXPECT_EQ(PrintMaterials(), before);
}

TEST_F(AnyDataFile, AByteOrderMarkInFrontOfCodePage1251TextIsRefused)
{
    const std::string before = PrintMaterials();
    RecordingHost host;
    EXPECT_FALSE(LoadMaterialBytes([](std::string b) { return "\xEF\xBB\xBF" + b; }));
    EXPECT_TRUE(host.warned("Рядок 1: файл починається з позначки UTF-8 (BOM)")) << host.warnings.at(0);
    EXPECT_EQ(PrintMaterials(), before);
}

TEST_F(AnyDataFile, OneUtf8LineInACodePage1251FileIsRefusedByThatLine)
{
    RecordingHost host;
    EXPECT_FALSE(LoadMaterialBytes([](std::string b) { return Replace(b, ToCp1251("Кокс"), "Кокс"); }));
    EXPECT_TRUE(host.warned("записано в UTF-8, а файл — у Windows-1251")) << host.warnings.at(0);
    EXPECT_TRUE(host.warned("Рядок " + std::to_string(LineStarting(SampleLines("Ferrolyt.MAT"), "Кокс") + 1) + ":"));
    EXPECT_EQ(MaterialTable[MaterialIndexByName("Кокс")].Name, "Кокс");
}

TEST_F(AnyDataFile, ABinaryFileIsCountedInItsOwnBytes)
{
    // 300 bytes: 36 control characters and Cyrillic letters, two bytes
    // each once converted to UTF-8.
    RecordingHost host;
    EXPECT_FALSE(LoadMaterialBytes([](std::string) { return std::string(36, '\x01') + std::string(264, '\xE0'); }));
    EXPECT_TRUE(host.warned("36 керівних символів на 300 байт")) << host.warnings.at(0);
}

TEST_F(AnyDataFile, ACutTaskFileIsNamedByItsFullPathWhenTwoFoldersHoldOne)
{
    ScratchFolder program;
    std::ofstream(program / "Ferrolyt.TSK", std::ios::binary) << "*A\r\n";
    std::ofstream(folder_ / "Ferrolyt.TSK", std::ios::binary) << "*Cut\r\nC\r\n.1";
    SetProgramDir(program.path().string());
    fs::current_path(folder_.path());
    RecordingHost host;
    EXPECT_FALSE(TaskList.LoadFromFile("Ferrolyt.TSK", 0));
    EXPECT_TRUE(host.warned("Неможливо завантажити файл " + (folder_ / "Ferrolyt.TSK").lexically_normal().string() +
                            "\nРядок 3"))
        << host.warnings.at(0);
    EXPECT_EQ(TaskList.Count, 4);
}

// ---------------------------------------------------------------------------
// One rule for "1,5" in every reader

TEST_F(WholeRows, ADecimalCommaIsADecimalPointInEveryDataFile)
{
    std::vector<std::string> con = SampleLines("Ferrolyt.CON");
    const std::size_t fe = LineStarting(con, "Fe ");
    con[fe] = Replace(con[fe], " 55.847 ", " 55,847 ");
    con[fe] = Replace(con[fe], " -272040", " -272040,5");
    ASSERT_TRUE(Constants(con));
    EXPECT_EQ(ElementBase.Items[0].MolarMass, 55.847L);
    EXPECT_EQ(ElementBase.Items[0].ChargeEnthalpy, -272040.5L);

    std::vector<std::string> gas = SampleLines("Ferrolyt.GAS");
    gas[1] = Replace(gas[1], " 249.1750 ", " 249,1750 ");
    ASSERT_TRUE(Gases(gas));
    EXPECT_EQ(GasBase[1].Coef[7], 249175.0L);

    std::vector<std::string> eps = SampleLines("Ferrolyt.EPS");
    const std::size_t c = LineStarting(eps, "C ");
    eps[c] = Replace(eps[c], "-20.2058", "-20,2058");
    ASSERT_TRUE(Interaction(eps));
    EXPECT_EQ(WagnerMatrix[2][1], -20.2058);

    std::vector<std::string> tsk = SampleLines("Ferrolyt.TSK");
    tsk[LineStarting(tsk, "OSNSLG")] = "OSNSLG  | 1,5/2,8";
    ASSERT_TRUE(Tasks(tsk));
    EXPECT_EQ(TaskList.Items[1].MinOsn, 1.5L);

    // Two separators are no number anywhere, and the refusal says the rule.
    ExpectRefused(Tasks, PrintTasks, [&] { auto l = tsk; l[LineStarting(l, "OSNSLG")] = "OSNSLG  | 1,5,2/2,8"; return l; }(),
                  LineStarting(tsk, "OSNSLG"), "OSNSLG: \"1,5,2\" не є числом (десятковий знак — крапка або кома)");
    con[fe] = Replace(con[fe], " 55,847 ", " 55,8,47 ");
    ExpectRefused(Constants, PrintConstants, con, fe, "елемент Fe: поле 4 (M): \"55,8,47\" не є числом (десятковий знак");
}

// ---------------------------------------------------------------------------
// Element constants

TEST_F(WholeRows, ConstantsH298IsANumberOrTheFileIsRefused)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.CON");
    const std::size_t fe = LineStarting(lines, "Fe ");
    for (const char* bad : {"nan", "inf", "0x10", "-"}) {
        std::vector<std::string> l = lines;
        l[fe] = Replace(l[fe], " -272040", std::string(" ") + bad);
        ExpectRefused(Constants, PrintConstants, l, fe, "елемент Fe: поле 28 (h298)");
    }
}

TEST_F(WholeRows, ConstantsRowsAreTakenWhole)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.CON");
    const std::size_t fe = LineStarting(lines, "Fe ");
    const std::size_t o = LineStarting(lines, "O  ");
    std::vector<std::string> l = lines;
    l[fe] += " 5";
    ExpectRefused(Constants, PrintConstants, l, fe, "елемент Fe: зайве поле 29 \"5\"");
    // A field lost before the last ones moves them up: h298 would become
    // the surface coefficient and vanish itself.
    l = lines;
    l[o] = Replace(l[o], " 14.31898 0 ", " 14.31898 ");
    ExpectRefused(Constants, PrintConstants, l, o, "елемент O: немає поля 28 (h298), яке мають інші елементи");
    // A field lost on the last line of an element is not taken from the
    // next element's line.
    l = lines;
    l[fe] = Replace(l[fe], " -272040", "");
    l[fe] = Replace(l[fe], " 140", "");
    ExpectRefused(Constants, PrintConstants, l, fe, "елемент Fe: немає поля 27");
}

TEST_F(WholeRows, ConstantsNamingAnElementTwiceAreRefusedByTheirOwnName)
{
    std::vector<std::string> lines = SampleLines("Ferrolyt.CON");
    const std::size_t o = LineStarting(lines, "O  ");
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(o) + 2, lines[o]);
    ExpectRefused(Constants, PrintConstants, lines, o + 2,
                  "елемент O уже описано в рядку " + std::to_string(o + 1));
    RecordingHost host;
    EXPECT_FALSE(Constants(lines));
    EXPECT_TRUE(host.warned("Неможливо завантажити файл Ferrolyt.CON\n"));
}

TEST_F(WholeRows, ConstantsOneFieldDamagedLoadsTheSameOrIsRefusedByLine)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.CON");
    std::vector<TField> fields;
    for (std::size_t k = 1; k < lines.size(); ++k)
        if (!lines[k].empty() && lines[k][0] >= 'A' && lines[k][0] <= 'Z') {
            const std::vector<TField> words = Words(lines[k], k, 9); // after the symbol and the label
            fields.insert(fields.end(), words.begin(), words.end());
        }
    DamageEachFieldKind(Constants, PrintConstants, lines, fields, 28);
}

// ---------------------------------------------------------------------------
// Interaction parameters

TEST_F(WholeRows, InteractionRowsAreTakenWhole)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.EPS");
    const std::size_t al = LineStarting(lines, "Al ");
    for (const char* bad : {"0x10", "--1", "abc"}) {
        std::vector<std::string> l = lines;
        l[al] = Replace(l[al], "-129.623", bad);
        ExpectRefused(Interaction, PrintInteraction, l, al, "параметр взаємодії Al ε1 (O): \"" + std::string(bad));
    }
    // Al without its O value would turn Al-O from -129.6 into 5.29.
    std::vector<std::string> l = lines;
    l[al] = Replace(l[al], " -129.623", "");
    ExpectRefused(Interaction, PrintInteraction, l, al, "параметри взаємодії Al: 15 значень, а в інших рядках таблиці — 16");
    l = lines;
    l[al] += " 7";
    ExpectRefused(Interaction, PrintInteraction, l, al, "параметри взаємодії Al: 17 значень");
    // A row that says where it ends keeps loading, as the triangular
    // tables always have.
    l = lines;
    l[al] = "Al  2.27472 -129.623 - the rest from the later rows";
    EXPECT_TRUE(Interaction(l));
}

TEST_F(WholeRows, InteractionOneFieldDamagedLoadsTheSameOrIsRefusedByLine)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.EPS");
    std::vector<TField> fields;
    for (std::size_t k = 1; k < lines.size(); ++k)
        if (!lines[k].empty() && lines[k][0] >= 'A' && lines[k][0] <= 'Z') {
            const std::vector<TField> words = Words(lines[k], k);
            fields.insert(fields.end(), words.begin() + 1, words.end());
        }
    DamageEachFieldKind(Interaction, PrintInteraction, lines, fields, 29);
}

// ---------------------------------------------------------------------------
// Slag table

TEST_F(WholeRows, SlagRowsAreTakenWhole)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.SLG");
    const std::size_t ca = LineStarting(lines, "Ca ");
    std::vector<std::string> l = lines;
    l[ca] = Replace(l[ca], "-6 0 0 -27", "-6 0 0");
    ExpectRefused(Slag, PrintSlag, l, ca, "енергії пар Ca: 15 значень, а в інших рядках таблиці — 16");
    l = lines;
    l[ca] = Replace(l[ca], "-27", "-27,0x");
    ExpectRefused(Slag, PrintSlag, l, ca, "енергія пари Ca, значення 4 (Si): \"-27,0x\" не є числом");
}

TEST_F(WholeRows, SlagOneFieldDamagedLoadsTheSameOrIsRefusedByLine)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.SLG");
    std::vector<TField> fields;
    for (std::size_t k = 1; k < lines.size(); ++k)
        if (!lines[k].empty() && lines[k][0] >= 'A' && lines[k][0] <= 'Z') {
            const std::vector<TField> words = Words(lines[k], k);
            fields.insert(fields.end(), words.begin() + 1, words.end());
        }
    DamageEachFieldKind(Slag, PrintSlag, lines, fields, 30);
}

// ---------------------------------------------------------------------------
// Gas species

TEST_F(WholeRows, GasLinesAreTakenWhole)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.GAS");
    std::vector<std::string> l = lines;
    l[2] += " 7";
    ExpectRefused(Gases, PrintGases, l, 2, "зайвий текст \"7\" після назви частинки O2");
    l = lines;
    l[2] = Replace(l[2], " O2     ", "");
    ExpectRefused(Gases, PrintGases, l, 2, "немає назви частинки");
}

TEST_F(WholeRows, GasOneFieldDamagedLoadsTheSameOrIsRefusedByLine)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.GAS");
    std::vector<TField> fields;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const std::vector<TField> words = Words(lines[k], k);
        if (words.size() > 11) // the eight coefficients, the two temperatures and the count
            fields.insert(fields.end(), words.begin(), words.begin() + 11);
    }
    DamageEachFieldKind(Gases, PrintGases, lines, fields, 31);
}

// ---------------------------------------------------------------------------
// Materials

TEST_F(WholeRows, MaterialsRowsAreTakenWhole)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.MAT");
    const std::size_t header = LineStarting(lines, "@Fe C Si Mn P S Cr");
    const std::size_t heavy = LineStarting(lines, "Брухт важкий");
    std::vector<std::string> l = lines;
    l[header] = Replace(l[header], " Cr ", " Cr Cr ");
    ExpectRefused(Materials, PrintMaterials, l, header, "стовпець Cr указано двічі");
    l = lines;
    l[heavy] = Replace(l[heavy], " $335", " 0.1 $335");
    ExpectRefused(Materials, PrintMaterials, l, heavy, "матеріал Брухт важкий: зайве значення \"0.1\"");
    l = lines;
    l[heavy] = Replace(l[heavy], " - - $335", " - $335");
    ExpectRefused(Materials, PrintMaterials, l, heavy, "матеріал Брухт важкий: немає значення стовпця 16 (MgO");
    // Cut at 255 characters this would read as 1.
    l = lines;
    l[heavy] = Replace(l[heavy], "0.15/0.25", "1." + std::string(260, '0') + "e-1");
    ExpectRefused(Materials, PrintMaterials, l, heavy, "аналіз C: значення з 265 символів довше за 255");
}

TEST_F(WholeRows, MaterialsNamingAMaterialTwiceAreRefused)
{
    std::vector<std::string> lines = SampleLines("Ferrolyt.MAT");
    const std::size_t heavy = LineStarting(lines, "Брухт важкий");
    const std::size_t coke = LineStarting(lines, "Кокс");
    lines[coke] = Replace(lines[coke], "Кокс      ", "БРУХТ ВАЖКИЙ");
    ExpectRefused(Materials, PrintMaterials, lines, coke,
                  "матеріал БРУХТ ВАЖКИЙ уже є в рядку " + std::to_string(heavy + 1));
}

TEST_F(WholeRows, MaterialsOneFieldDamagedLoadsTheSameOrIsRefusedByLine)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.MAT");
    std::vector<TField> fields;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::size_t bar = lines[k].find('|');
        if (lines[k].empty() || lines[k][0] == '#' || lines[k][0] == '@' || bar == std::string::npos)
            continue;
        // The column values: up to the first marker.
        for (const TField& w : Words(lines[k], k, bar + 1)) {
            if (std::string("$#@~*").find(lines[k][w.Begin]) != std::string::npos)
                break;
            fields.push_back(w);
        }
    }
    DamageEachFieldKind(Materials, PrintMaterials, lines, fields, 32);
}

// ---------------------------------------------------------------------------
// Task files

TEST_F(WholeRows, TasksNamingAnElementOrAMaterialTwiceAreRefused)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.TSK");
    const std::size_t symbols = LineStarting(lines, "*") + 1;
    std::vector<std::string> l = lines;
    l[symbols] = Replace(l[symbols], "Si", "C ");
    ExpectRefused(Tasks, PrintTasks, l, symbols, "елемент C указано двічі");
    // F8 would take one of the two, and F10 would search long for nothing.
    const std::size_t heavy = LineStarting(lines, "Брухт важкий");
    l = lines;
    l.insert(l.begin() + static_cast<std::ptrdiff_t>(heavy) + 1, "Брухт важкий| &1/2");
    ExpectRefused(Tasks, PrintTasks, l, heavy + 1, "матеріал Брухт важкий указано в завданні двічі");
}

TEST_F(WholeRows, TaskLinesAreTakenWhole)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.TSK");
    const std::size_t metal = LineStarting(lines, "*") + 2;
    const std::size_t mass = LineStarting(lines, "MASSMET");
    const std::size_t heavy = LineStarting(lines, "Брухт важкий");
    std::vector<std::string> l = lines;
    l[metal] += " 1/2";
    ExpectRefused(Tasks, PrintTasks, l, metal, "зайве значення \"1/2\"");
    l = lines;
    l[mass] = "MASSMET | 95/105";
    ExpectRefused(Tasks, PrintTasks, l, mass, "MASSMET: немає значення");
    l = lines;
    l[heavy] += " 12";
    ExpectRefused(Tasks, PrintTasks, l, heavy, "зайве значення \"12\"");
    l = lines;
    l[mass] = "MASSMET | 95/105 -/abc";
    ExpectRefused(Tasks, PrintTasks, l, mass, "MASSMET: \"abc\" не є числом");
}

TEST_F(WholeRows, TasksOneFieldDamagedLoadsTheSameOrIsRefusedByLine)
{
    const std::vector<std::string> lines = SampleLines("Ferrolyt.TSK");
    std::vector<TField> fields;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (!lines[k].empty() && lines[k][0] == '*')
            for (std::size_t v = k + 2; v <= k + 4; ++v) { // the three value lines
                const std::vector<TField> words = Words(lines[v], v);
                fields.insert(fields.end(), words.begin(), words.end());
            }
        const std::size_t bar = lines[k].find('|');
        static const std::vector<std::string> Keys{"MASSMET", "MASSSLG", "OSNSLG", "MASSGAS", "TEMP", "EXTP", "CHARGE"};
        if (bar != std::string::npos &&
            std::find(Keys.begin(), Keys.end(), TrimBlanks(lines[k].substr(0, bar))) != Keys.end()) {
            const std::vector<TField> words = Words(lines[k], k, bar + 1);
            fields.insert(fields.end(), words.begin(), words.end());
        }
    }
    DamageEachFieldKind(Tasks, PrintTasks, lines, fields, 33);
}

} // namespace
} // namespace ferrolyt::test
