// Every value a reader takes is the value the file holds: a row is read
// whole, and a value left out, one too many, one that is no number, a name
// given twice or bytes of another encoding refuse the file by line, leaving
// the tables as they were.

#include "LoaderTestSupport.h"
#include "RecordingHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>

namespace ferrolyt::test {
namespace {

namespace fs = std::filesystem;
using TLines = std::vector<std::string>;

TLines Sample(const std::string& name) { return ReadTextFile1251(fs::path(FERROLYT_FIXTURES) / "sample-melt" / name); }

std::size_t LineOf(const TLines& lines, const std::string& start)
{
    for (std::size_t k = 0; k < lines.size(); ++k)
        if (lines[k].rfind(start, 0) == 0)
            return k;
    ADD_FAILURE() << start;
    return 0;
}

std::string Num(long double v)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.21Lg ", v);
    return buf;
}

// A reader of the sample project, and everything it fills, printed exactly.
struct TReader {
    const char* File;
    std::function<bool(const TLines&)> Load;
    std::function<std::string()> Print;
};

const TReader Readers[] = {
    {"Ferrolyt.CON", [](const TLines& l) { return LoadConstantsFromLines(l, "Ferrolyt.CON"); },
     [] {
         std::string p;
         for (int k = 0; k < ElementBase.Count; ++k) {
             const TElementRecord& e = ElementBase.Items[static_cast<std::size_t>(k)];
             p += e.Symbol + std::to_string(e.FileByte) + std::to_string(e.DirectStandard);
             for (long double v : {e.MolarMass, e.Valence, e.SlagA1, e.SlagB1, e.SlagA2, e.SlagB2, e.SlagEnergy,
                                   e.MetalH, e.MetalS, e.Tolerance, e.NmiSurfaceCoef, e.ChargeEnthalpy,
                                   e.SolidEnthalpy[1], e.LiquidEnthalpy[0], e.LiquidEnthalpy[5]})
                 p += Num(v);
         }
         return p;
     }},
    {"Ferrolyt.EPS", [](const TLines& l) { return LoadInteractionParamsFromLines(l, "Ferrolyt.EPS"); },
     [] { return std::string(reinterpret_cast<const char*>(&WagnerMatrix), sizeof WagnerMatrix) + Num(WagnerE[7]); }},
    {"Ferrolyt.SLG", [](const TLines& l) { return LoadSlagDataFromLines(l, "Ferrolyt.SLG"); },
     [] { return std::string(reinterpret_cast<const char*>(&SlagMatrix), sizeof SlagMatrix); }},
    {"Ferrolyt.GAS", [](const TLines& l) { return LoadGasesFromLines(l, "Ferrolyt.GAS"); },
     [] {
         std::string p = std::to_string(GasBaseCount);
         for (int s = 1; s <= GasBaseCount; ++s) {
             p += GasBase[s].Name + std::to_string(GasBase[s].Count) + GasBase[s].Parts[1].Symbol;
             for (long double v : GasBase[s].Coef)
                 p += Num(v);
         }
         return p;
     }},
    {"Ferrolyt.MAT", [](const TLines& l) { return LoadMaterialsFromLines(l, "Ferrolyt.MAT", false, "Ferrolyt.MAT"); },
     [] {
         std::string p = std::to_string(MaterialCount);
         for (int m = 1; m <= MaterialCount; ++m) {
             p += MaterialTable[m].Name + Num(MaterialTable[m].Price) + Num(MaterialTable[m].RecoveryHi);
             for (std::size_t i = 0; i < CompositionMin.size(); ++i)
                 p += Num(CompositionMin[i][m]) + Num(CompositionMax[i][m]);
         }
         return p;
     }},
    {"Ferrolyt.TSK", [](const TLines& l) { return TaskList.LoadFromLines(l, "Ferrolyt.TSK", 0, "Ferrolyt.TSK"); },
     [] {
         std::string p;
         for (const std::string& line : TaskList.FileLines())
             p += line + "\n";
         return p;
     }},
};

const TReader& ReaderOf(const std::string& file)
{
    for (const TReader& r : Readers)
        if (file == r.File)
            return r;
    throw std::logic_error(file);
}

class WholeRows : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        for (const TReader& r : Readers)
            ASSERT_TRUE(r.Load(Sample(r.File))) << r.File;
    }
};

// One edit of a sample file: the text `from` in the line starting with
// `line` becomes `to`, and the refusal names that line and says `says`.
struct TEdit {
    const char* File;
    const char* Line;
    const char* From;
    std::string To;
    std::string Says;
};

TEST_F(WholeRows, EachDamagedRowIsRefusedByItsLineAndLeavesTheTables)
{
    const TEdit edits[] = {
        // The constants' h298 is a number, never silently 0; rows are whole.
        {"Ferrolyt.CON", "Fe ", " -272040", " nan", "елемент Fe: поле 28 (h298): \"nan\" не є скінченним числом"},
        {"Ferrolyt.CON", "Fe ", " -272040", " inf", "поле 28 (h298)"},
        {"Ferrolyt.CON", "Fe ", " -272040", " 0x10", "поле 28 (h298): \"0x10\" не є числом (десятковий знак — крапка або кома)"},
        {"Ferrolyt.CON", "Fe ", " -272040", " -272040 5", "елемент Fe: зайве поле 29 \"5\""},
        {"Ferrolyt.CON", "O  ", " 14.31898 0 ", " 14.31898 ", "елемент O: немає поля 28 (h298), яке мають інші"},
        {"Ferrolyt.CON", "Fe ", " 0 140 -272040", "", "елемент Fe: немає поля 26"},
        {"Ferrolyt.CON", "Fe ", " 55.847 ", " 55,8,47 ", "поле 4 (M): \"55,8,47\" не є числом (десятковий знак"},
        // Al-O would turn from -129.6 into 5.29.
        {"Ferrolyt.EPS", "Al ", " -129.623", "", "параметри взаємодії Al: 15 значень, а в інших рядках таблиці — 16"},
        {"Ferrolyt.EPS", "Al ", " -129.623", " -129.623 7", "параметри взаємодії Al: 17 значень"},
        {"Ferrolyt.EPS", "Al ", "-129.623", "0x10", "параметр взаємодії Al ε1 (O): \"0x10\" не є числом"},
        {"Ferrolyt.EPS", "Al ", "-129.623", "--1", "параметр взаємодії Al ε1 (O): \"--1\""},
        {"Ferrolyt.SLG", "Ca ", " -27 ", " ", "енергії пар Ca: 15 значень, а в інших рядках таблиці — 16"},
        {"Ferrolyt.SLG", "Ca ", "-27", "-27,0x", "енергія пари Ca, значення 4 (Si): \"-27,0x\" не є числом"},
        {"Ferrolyt.GAS", "2.7030702606e+02", " O2     ", " O2      7", "зайвий текст \"7\" після назви частинки O2"},
        {"Ferrolyt.GAS", "2.7030702606e+02", " O2     ", "", "немає назви частинки"},
        // CO would vanish: "1", a count typed over the symbol, is no element.
        {"Ferrolyt.GAS", "2.4958379836e+02", " C  1 O  1", " C  1 1  1", "\"1\" на місці елемента 2 не є символом"},
        {"Ferrolyt.MAT", "@Fe C Si Mn P S Cr", " Cr ", " Cr Cr ", "стовпець Cr указано двічі"},
        {"Ferrolyt.MAT", "Кокс", "Кокс      ", "БРУХТ ВАЖКИЙ", "матеріал БРУХТ ВАЖКИЙ уже є в рядку 5"},
        {"Ferrolyt.MAT", "Брухт важкий", " $335", " 0.1 $335", "матеріал Брухт важкий: зайве значення \"0.1\""},
        {"Ferrolyt.MAT", "Брухт важкий", " - - $335", " - $335", "немає значення стовпця 16 (MgO"},
        // Cut at 255 characters this would read as 1.
        {"Ferrolyt.MAT", "Брухт важкий", "0.15/0.25", "1." + std::string(260, '0') + "e-1",
         "аналіз C: значення з 265 символів довше за 255"},
        {"Ferrolyt.TSK", "C   Si", "Si", "C ", "елемент C указано двічі"},
        {"Ferrolyt.TSK", "Брухт важкий", "~55 &80", "~55 &80\nБрухт важкий| &1/2", "матеріал Брухт важкий указано в завданні двічі"},
        {"Ferrolyt.TSK", ".04/.12", " -/-\n", " -/- 1/2\n", "зайве значення \"1/2\""},
        {"Ferrolyt.TSK", "MASSMET", " -/-", "", "MASSMET: немає значення"},
        {"Ferrolyt.TSK", "MASSMET", " -/-", " -/abc", "MASSMET: \"abc\" не є числом"},
        {"Ferrolyt.TSK", "OSNSLG", "1.8", "1,5,2", "OSNSLG: \"1,5,2\" не є числом (десятковий знак — крапка або кома)"},
    };
    for (const TEdit& e : edits) {
        SCOPED_TRACE(e.Says);
        const TReader& reader = ReaderOf(e.File);
        TLines lines = Sample(e.File);
        std::size_t at = LineOf(lines, e.Line);
        // The line with its break, so that an edit may end at it or add a line.
        std::string text = lines[at] + "\n";
        const std::size_t from = text.find(e.From);
        ASSERT_NE(from, std::string::npos);
        text.replace(from, std::strlen(e.From), e.To);
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
        for (std::size_t pos = 0, br; (br = text.find('\n', pos)) != std::string::npos; pos = br + 1)
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at++), text.substr(pos, br - pos));
        --at; // the edit's last line
        const std::string before = reader.Print();
        RecordingHost host;
        EXPECT_FALSE(reader.Load(lines));
        if (host.warnings.size() != 1u) {
            ADD_FAILURE() << host.warnings.size() << " warnings";
            ASSERT_TRUE(reader.Load(Sample(e.File)));
            continue;
        }
        EXPECT_EQ(host.warnings[0].rfind("Неможливо завантажити файл " + std::string(e.File) + "\nРядок " +
                                             std::to_string(at + 1) + ": ",
                                         0),
                  0u)
            << host.warnings[0];
        EXPECT_TRUE(host.warned(e.Says)) << host.warnings[0];
        EXPECT_TRUE(reader.Print() == before) << "the tables changed";
    }
}

// The property every reader keeps: one number field damaged at random (left
// out, given twice, mistyped, too long, or only written another way: a
// decimal comma, a plus sign) loads to the very same tables or is refused
// naming its line.
TEST_F(WholeRows, OneFieldDamagedLoadsTheSameTablesOrIsRefusedByItsLine)
{
    static const char* const Typos[] = {"abc", "0x10", "--1", "nan", "inf", "1,5,2", "1.5.2", "1e400", "5/", "+"};
    for (const TReader& reader : Readers) {
        SCOPED_TRACE(reader.File);
        const TLines lines = Sample(reader.File);
        struct TField {
            std::size_t Line, Begin, End;
        };
        std::vector<TField> fields; // the words that start as numbers (a gas line's first 11 only)
        for (std::size_t k = 1; k < lines.size(); ++k)
            for (std::size_t pos = lines[k][0] == '*' ? std::string::npos : 0, n = 0; pos < lines[k].size(); ++n) {
                const std::size_t begin = lines[k].find_first_not_of(' ', pos);
                if (begin == std::string::npos)
                    break;
                pos = std::min(lines[k].find(' ', begin), lines[k].size());
                if (std::string("0123456789-.").find(lines[k][begin]) != std::string::npos &&
                    (reader.File != std::string("Ferrolyt.GAS") || n < 11))
                    fields.push_back({k, begin, pos});
            }
        const std::string before = reader.Print();
        std::mt19937 random(28);
        int refused = 0;
        for (int k = 0; k < 120; ++k) {
            const TField f = fields[random() % fields.size()];
            TLines damaged = lines;
            const std::string text = lines[f.Line].substr(f.Begin, f.End - f.Begin);
            std::string with = text + std::string(300, '0');
            bool same = false;
            switch (random() % 5) {
            case 0: with.clear(); break;
            case 1: with = text + " " + text; break;
            case 2: with = Typos[random() % std::size(Typos)]; break;
            case 3: break;
            default:
                with = text.find('.') != std::string::npos && text.find(',') == std::string::npos
                           ? std::string(text).replace(text.find('.'), 1, ",")
                           : "+" + text;
                same = text != "-" && text.find('/') == std::string::npos;
            }
            damaged[f.Line].replace(f.Begin, f.End - f.Begin, with);
            SCOPED_TRACE("\"" + text + "\" -> \"" + with + "\" in line " + std::to_string(f.Line + 1));
            RecordingHost host;
            if (reader.Load(damaged)) {
                EXPECT_TRUE(reader.Print() == before) << "loaded other tables";
                ASSERT_TRUE(reader.Load(lines));
                continue;
            }
            ++refused;
            EXPECT_FALSE(same) << host.warnings.at(0);
            EXPECT_TRUE(host.warned("Рядок " + std::to_string(f.Line + 1) + ": ")) << host.warnings.at(0);
            EXPECT_TRUE(reader.Print() == before) << "the tables changed";
        }
        EXPECT_GT(refused, 30);
    }
}

// ---------------------------------------------------------------------------
// What a file holds on disk is read exactly: its line ends, the unset mark
// written as a number, and names longer than the program keeps

bool LoadFile(const std::string& file, const fs::path& path)
{
    const std::string p = path.string();
    return file == "Ferrolyt.CON"   ? LoadConstants(p)
           : file == "Ferrolyt.EPS" ? LoadInteractionParams(p)
           : file == "Ferrolyt.SLG" ? LoadSlagData(p)
           : file == "Ferrolyt.GAS" ? LoadGases(p)
           : file == "Ferrolyt.MAT" ? LoadMaterials(p, false)
                                    : TaskList.LoadFromFile(p, 0);
}

// A CR that ends no line joined two lines; -1e20 written as a number was
// taken for "not given"; a name too long was cut without a word. A refusal
// names the line and keeps the tables; a name is read cut (stored files stay
// usable) with a warning naming its line.
TEST_F(WholeRows, EachReaderReadsWhatTheFileHoldsOrSaysSoByLine)
{
    const std::string cr = "символ CR (повернення каретки) не в кінці рядка";
    const std::string longName = "назву «Брухт важкий сортований для печей» довшу за 25 символів прочитано як «Брухт "
                                 "важкий сортований д»";
    const TEdit edits[] = {
        {"Ferrolyt.CON", "Fe ", "\r\n", "\r", cr}, // O's line fell into Fe's note
        {"Ferrolyt.CON", "Fe ", " 46.024 0 ", " 46.024 1.5 ", "елемент Fe: поле 23 (liquid s): 1.5 поза межами 0..1"},
        {"Ferrolyt.CON", "Fe ", " 46.024 0 ", " 46.024 -0.25 ", "поле 23 (liquid s): -0.25 поза межами 0..1"},
        {"Ferrolyt.EPS", "Al ", "\r\n", "\r", cr},
        {"Ferrolyt.SLG", "Ca ", " -27 ", " -27\r", cr},
        {"Ferrolyt.GAS", "2.7030702606e+02", "\r\n", "\r", cr},
        {"Ferrolyt.MAT", "Брухт важкий", "\r\n", "\r", cr},
        {"Ferrolyt.MAT", "Брухт важкий", "0.15/0.25", "-1e20/0.22", "аналіз C: -1e+20 поза межами 0..100"},
        {"Ferrolyt.MAT", "Брухт важкий", "0.15/0.25", "0.15/-1e20", "аналіз C: -1e+20 поза межами 0..100"},
        {"Ferrolyt.MAT", "Брухт важкий", "$335", "$-1E20", "ціна: -1e+20 поза межами"},
        {"Ferrolyt.MAT", "Чавун рідкий", "@1350", "@-100000000000000000000", "температура: -1e+20 поза межами"},
        {"Ferrolyt.TSK", "*", "\r\n", "\r", cr}, // the first task's material lines went into its name
        {"Ferrolyt.TSK", "TEMP", "1620/1660", "-1e20/1660", "TEMP: -1e+20 поза межами -273.15..5000"},
        {"Ferrolyt.TSK", "TEMP", "42000/19000", "42000/-1e20", "TEMP: -1e+20 поза межами"},
        {"Ferrolyt.TSK", ".04/.12", ".04/.12", "-1e+20/.12", "C: -1e+20 поза межами 0..100"},
        {"Ferrolyt.TSK", "Брухт важкий", "~55", "~-1e20", "Брухт важкий: -1e+20 поза межами 0..100000"},
        {"Ferrolyt.TSK", "*", "*ДСП-100, сталь 20", "*ДСП-100, сталь 20, плавка 4711 зміни Б", "назву «ДСП-100, сталь 20, плавка 4711 зміни Б» довшу за 25 символів прочитано як «ДСП-100, сталь 20, плавка»"},
        {"Ferrolyt.MAT", "Брухт важкий", "Брухт важкий", "Брухт важкий сортований для печей", longName},
    };
    ScratchFolder folder;
    for (const TEdit& e : edits) {
        SCOPED_TRACE(e.Says + " (" + e.File + ")");
        const TLines lines = Sample(e.File);
        const std::size_t at = LineOf(lines, e.Line);
        std::string text;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            std::string line = lines[k] + "\r\n";
            if (k == at)
                line.replace(line.find(e.From), std::strlen(e.From), e.To);
            text += line;
        }
        const fs::path path = folder / e.File;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << ToCp1251(text);
        const std::string before = ReaderOf(e.File).Print();
        const bool cut = e.Says.starts_with("назву");
        RecordingHost host;
        EXPECT_EQ(LoadFile(e.File, path), cut);
        EXPECT_EQ(host.warnings.size(), 1u) << testing::PrintToString(host.warnings);
        const std::string said = host.warnings.empty() ? std::string() : host.warnings[0];
        const std::string where = cut ? "Файл " + path.string() + ", рядок " + std::to_string(at + 1) + ": "
                                      : LoadFailedText(path.string(), at + 1, "");
        EXPECT_EQ(said.rfind(where, 0), 0u) << said;
        EXPECT_NE(said.find(e.Says), std::string::npos) << said;
        EXPECT_TRUE(cut || ReaderOf(e.File).Print() == before) << "the tables changed";
        ASSERT_TRUE(ReaderOf(e.File).Load(lines));
    }
}

// A CR LF file converted once more ends its lines in CR CR LF: it reads as
// the file itself, with no CR left at the end of a name.
TEST_F(WholeRows, EachReaderReadsCrCrLfAsTheFileItself)
{
    ScratchFolder folder;
    for (const TReader& reader : Readers) {
        SCOPED_TRACE(reader.File);
        std::string text;
        for (const std::string& line : Sample(reader.File))
            text += line + "\r\r\n";
        std::ofstream(folder / reader.File, std::ios::binary) << ToCp1251(text);
        const std::string before = reader.Print();
        RecordingHost host;
        EXPECT_TRUE(LoadFile(reader.File, folder / reader.File));
        EXPECT_TRUE(host.warnings.empty()) << host.warnings.at(0);
        EXPECT_TRUE(reader.Print() == before) << "read other tables";
    }
}

// What the program writes, the task file and the project file, reads back
// to the same model without a message: the shipped project and the sample,
// each with a task at the ends of the ranges and a name of 25 characters.
TEST_F(WholeRows, EveryFileTheProgramWritesReadsBackToTheSameModel)
{
    auto tables = [] {
        std::string p;
        for (const TReader& r : Readers)
            p += r.Print();
        return p;
    };
    for (const fs::path& from : {fs::path(FERROLYT_DATA), fs::path(FERROLYT_FIXTURES) / "sample-melt"}) {
        SCOPED_TRACE(from.string());
        ScratchFolder folder;
        fs::copy(from, folder.path()); // the files, not the folders in it
        SetProgramDir(folder.path().string());
        RecordingHost host;
        ASSERT_TRUE(LoadProject((folder / "FERROLYT.FWP").string()));
        TTaskRecord edge = TaskList.Items[1];
        edge.Name = "Плавка 4711, зміна Б  (1)";
        const std::pair<long double TTaskRecord::*, long double> ends[] = {
            {&TTaskRecord::MinTemp, -273.15L}, {&TTaskRecord::MaxTemp, 5000}, {&TTaskRecord::IniTemp, 1e-4L},
            {&TTaskRecord::AmbTemp, -40},      {&TTaskRecord::Energy, -1e9L}, {&TTaskRecord::Losses, 1e9L},
            {&TTaskRecord::ExtP, 1000},        {&TTaskRecord::Charge, -1e6L}, {&TTaskRecord::MinOsn, 0},
            {&TTaskRecord::MaxOsn, 1000},      {&TTaskRecord::MinMet, 99999.5L}, {&TTaskRecord::MaxMet, 1e5L},
        };
        for (const auto& [field, value] : ends)
            edge.*field = value;
        edge.Materials[1].Fixed = 1e5L;
        TaskList.Add(edge, true, false);
        ASSERT_TRUE(SaveProject(0));
        const std::vector<std::string> project = ProjectFileLines();
        const std::string written = tables();

        ClearProjectState();
        TaskList.Clear();
        ASSERT_TRUE(LoadProject((folder / "FERROLYT.FWP").string()));
        EXPECT_TRUE(host.warnings.empty()) << host.warnings.at(0);
        EXPECT_EQ(ProjectFileLines(), project);
        EXPECT_TRUE(tables() == written) << "read other tables";
        const TTaskRecord& back = TaskList.Items[static_cast<std::size_t>(TaskList.Count)];
        EXPECT_EQ(back.Name, edge.Name);
        for (const auto& [field, value] : ends)
            EXPECT_EQ(back.*field, value);
        EXPECT_EQ(back.Materials[1].Fixed, 1e5L);
    }
}

// ---------------------------------------------------------------------------
// The bytes of any data file, and the name a refusal gives it

TEST_F(WholeRows, NulBytesAndMixedEncodingsAreRefusedByLine)
{
    std::ifstream in(fs::path(FERROLYT_FIXTURES) / "sample-melt" / "Ferrolyt.MAT", std::ios::binary);
    const std::string good{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string b = good;
        return b.replace(b.find(from), from.size(), to);
    };
    const struct {
        std::string Bytes;
        std::string Says;
    } cases[] = {
        // A NUL acted as a blank: "0.15/<NUL>0.25" moved the columns.
        {replaced("0.15/0.25", std::string("0.15/\0 0.25", 11)), "Рядок 5: нульовий байт (NUL)"},
        {"\xEF\xBB\xBF" + good, "Рядок 1: файл починається з позначки UTF-8 (BOM), а цей рядок записано не в UTF-8"},
        {replaced(ToCp1251("Кокс"), "Кокс"), "Рядок " + std::to_string(LineOf(Sample("Ferrolyt.MAT"), "Кокс") + 1) +
                                                   ": рядок записано в UTF-8, а файл — у Windows-1251"},
        // 300 bytes, which UTF-8 makes 564.
        {std::string(36, '\x01') + std::string(264, '\xE0'), "це не текст: 36 керівних символів на 300 байт"},
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        std::ofstream(folder / "Ferrolyt.MAT", std::ios::binary | std::ios::trunc) << c.Bytes;
        const std::string before = ReaderOf("Ferrolyt.MAT").Print();
        RecordingHost host;
        EXPECT_FALSE(LoadMaterials((folder / "Ferrolyt.MAT").string(), false));
        EXPECT_TRUE(host.warned(c.Says)) << host.warnings.at(0);
        EXPECT_TRUE(ReaderOf("Ferrolyt.MAT").Print() == before) << "the tables changed";
    }
}

TEST_F(WholeRows, ACutTaskFileIsNamedByItsFullPathWhenTwoFoldersHoldOne)
{
    ScratchFolder program;
    ScratchFolder project;
    std::ofstream(program / "Ferrolyt.TSK", std::ios::binary) << "*A\r\n";
    std::ofstream(project / "Ferrolyt.TSK", std::ios::binary) << "*Cut\r\nC\r\n.1";
    SetProgramDir(program.path().string());
    fs::current_path(project.path());
    RecordingHost host;
    EXPECT_FALSE(TaskList.LoadFromFile("Ferrolyt.TSK", 0));
    EXPECT_TRUE(host.warned("Неможливо завантажити файл " + (project / "Ferrolyt.TSK").lexically_normal().string() +
                            "\nРядок 3"))
        << host.warnings.at(0);
}

} // namespace
} // namespace ferrolyt::test
