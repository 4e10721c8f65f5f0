// The task list: number formats, the task file's reader and writer, the
// list operations and the moves to and from the task editor.
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "TaskEntries.h"
#include "Utils.h"

#include <functional>
#include <map>
#include <utility>

namespace ferrolyt::test {
namespace {

// The twenty values of a task, in the order of the editor's fields.
constexpr std::array<long double TTaskRecord::*, 20> TaskValues{
    &TTaskRecord::MinMet, &TTaskRecord::MaxMet, &TTaskRecord::IniMinMet, &TTaskRecord::IniMaxMet, &TTaskRecord::MinSlg,
    &TTaskRecord::MaxSlg, &TTaskRecord::IniMinSlg, &TTaskRecord::IniMaxSlg, &TTaskRecord::MinOsn, &TTaskRecord::MaxOsn,
    &TTaskRecord::MinGas, &TTaskRecord::MaxGas, &TTaskRecord::MinTemp, &TTaskRecord::MaxTemp, &TTaskRecord::IniTemp,
    &TTaskRecord::AmbTemp, &TTaskRecord::Energy, &TTaskRecord::Losses, &TTaskRecord::ExtP, &TTaskRecord::Charge};

TEST(TaskNumberFormats, FileValues)
{
    EXPECT_EQ(FormatFileValue(0), "0");
    EXPECT_EQ(FormatFileValue(UnsetValue), "-");
    EXPECT_EQ(FormatFileValue(0.5L), ".5");
    EXPECT_EQ(FormatFileValue(-0.25L), "-.25");
    EXPECT_EQ(FormatFileValue(12345.6789L), "12345.67");
    EXPECT_EQ(FormatFileValue(1600), "1600");
    EXPECT_EQ(FormatFileValue(0.12345L), ".1235");
    // Rounds to zero: still a field, not an empty text.
    EXPECT_EQ(FormatFileValue(0.00001L), "0");
    // Whole digits are never cut: the value reads back.
    long double back = 0;
    ASSERT_TRUE(TryParseReal(FormatFileValue(123456789.0L), back));
    EXPECT_NEAR(double(back), 123456789.0, 1.0);
    ASSERT_TRUE(TryParseReal(FormatFileValue(-1e30L), back));
    EXPECT_NEAR(double(back / -1e30L), 1.0, 1e-7);
}

TEST(TaskNumberFormats, EditorValues)
{
    EXPECT_EQ(FormatTaskValue(UnsetValue), "");
    EXPECT_EQ(FormatTaskValue(0.5L), "0.5");
    EXPECT_EQ(FormatTaskValue(-2), "-2");
    EXPECT_EQ(FormatTaskValue(1.23456L), "1.2346");
    EXPECT_LE(FormatTaskValue(1e25L).size(), 15u);
    long double x = 0;
    ReadEditValue(" 1,5 ", x);
    EXPECT_EQ(x, 1.5L);
    ReadEditValue("", x);
    EXPECT_TRUE(IsUnset(x));
    ReadEditValue("abc", x);
    EXPECT_TRUE(IsUnset(x));
    ReadEditValue("1,5,2", x);
    EXPECT_TRUE(IsUnset(x));
}

class TaskFile : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        LoadFixtureDatabase();
        ASSERT_TRUE(LoadMaterials(LoaderFixture("Test.MAT").string(), false));
    }
};

TEST_F(TaskFile, ReadsTheFixtureFromTheFirstStarLine)
{
    RecordingHost host;
    ASSERT_TRUE(TaskList.LoadFromFile(LoaderFixture("Test.TSK").string(), 0));
    // The one material the materials file lacks is named, once.
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_TRUE(host.warned("Test.TSK: матеріалів, яких немає у файлі матеріалів, не враховано (1): Невідомий"))
        << host.warnings[0];
    ASSERT_EQ(TaskList.Count, 2);
    EXPECT_EQ(TaskList.Current, 0);
    EXPECT_EQ(host.taskBox, (std::vector<std::string>{"Плавка 101", "Плавка 102"}));
    EXPECT_EQ(host.taskBoxIndex, 0);
    const TTaskRecord& t = TaskList.Items[1];
    EXPECT_EQ(t.Name, "Плавка 101");
    ASSERT_EQ(t.NEl, 4);
    EXPECT_EQ(t.Symbols[2], "C");
    EXPECT_TRUE(IsUnset(t.MetalMin[1]));
    EXPECT_DOUBLE_EQ(double(t.MetalMin[2]), 0.1);
    EXPECT_DOUBLE_EQ(double(t.MetalMax[4]), 0.6);
    EXPECT_DOUBLE_EQ(double(t.MetalSample[1]), 99.0);
    EXPECT_TRUE(IsUnset(t.SlagSample[1]));
    const std::pair<long double TTaskRecord::*, long double> values[] = {
        {&TTaskRecord::MinMet, 100}, {&TTaskRecord::IniMaxMet, 95}, {&TTaskRecord::MaxSlg, 10},
        {&TTaskRecord::MaxOsn, 3}, {&TTaskRecord::MaxTemp, 1650}, {&TTaskRecord::IniTemp, 1550},
        {&TTaskRecord::Energy, 0}, {&TTaskRecord::Losses, 500}, {&TTaskRecord::AmbTemp, 20},
        {&TTaskRecord::ExtP, 1}, {&TTaskRecord::IniMinSlg, UnsetValue}, {&TTaskRecord::Charge, UnsetValue}};
    for (const auto& [field, value] : values)
        EXPECT_EQ(t.*field, value) << double(value);
    // The unknown material is dropped; names match whatever their case.
    ASSERT_EQ(t.NMat, 3);
    EXPECT_EQ(t.Materials[1].Name, "Брухт");
    EXPECT_EQ(t.Materials[1].TableIndex, 3);
    EXPECT_DOUBLE_EQ(double(t.Materials[1].Recommended), 80.0);
    EXPECT_DOUBLE_EQ(double(t.Materials[1].MinT), 60.0);
    EXPECT_DOUBLE_EQ(double(t.Materials[1].MaxPercent), 90.0);
    EXPECT_EQ(t.Materials[2].TableIndex, 4);
    EXPECT_DOUBLE_EQ(double(t.Materials[2].Fixed), 20.0);
    // "&5": Max t 5, Min t unset.
    EXPECT_TRUE(IsUnset(t.Materials[3].MinT));
    EXPECT_DOUBLE_EQ(double(t.Materials[3].MaxT), 5.0);
    // The second task has no EXTP line.
    EXPECT_TRUE(IsUnset(TaskList.Items[2].ExtP));
    EXPECT_TRUE(host.actions["StartA"]);
    EXPECT_TRUE(host.actions["MeltRecA"]);
}

TEST_F(TaskFile, CurrentIndexIsClampedToTheList)
{
    RecordingHost host;
    ASSERT_TRUE(TaskList.LoadFromFile(LoaderFixture("Test.TSK").string(), 5));
    EXPECT_EQ(TaskList.Current, 1);
    EXPECT_FALSE(host.actions["StartA"]); // task 2 has no mass bounds
    ASSERT_TRUE(TaskList.LoadFromFile(LoaderFixture("Test.TSK").string(), -1));
    EXPECT_EQ(TaskList.Current, -1);
    ASSERT_TRUE(TaskList.LoadFromFile(LoaderFixture("Test.TSK").string(), -7));
    EXPECT_EQ(TaskList.Current, -1);
}

TEST_F(TaskFile, FileWithoutTasksOrMissingFileIsRefusedAndKeepsTheTasks)
{
    RecordingHost host;
    ASSERT_TRUE(TaskList.LoadFromLines({"*kept", "Fe"}, "kept.TSK", 0, "kept.TSK"));
    EXPECT_FALSE(TaskList.LoadFromLines({"no tasks here", "MASSMET | 1/2"}, "empty.TSK", 0, "empty.TSK"));
    EXPECT_TRUE(host.warned("Неможливо завантажити файл empty.TSK"));
    EXPECT_TRUE(host.warned("не містить жодного завдання"));
    EXPECT_FALSE(TaskList.LoadFromFile("missing.TSK", 0));
    EXPECT_TRUE(host.warned("Неможливо завантажити файл missing.TSK\n"));
    ASSERT_EQ(TaskList.Count, 1);
    EXPECT_EQ(TaskList.Items[1].Name, "kept");
    EXPECT_EQ(TaskList.FileName, "kept.TSK");
    EXPECT_EQ(host.taskBox, std::vector<std::string>{"kept"});
}

TTaskRecord FullTask(const std::string& name)
{
    TTaskRecord t;
    t.Name = name;
    long double v = 1.25L;
    for (auto f : TaskValues)
        t.*f = (v += 1.5L);
    t.Charge = -0.0625L;
    t.NEl = 3;
    const char* symbols[] = {"Fe", "C", "Mn"};
    const long double mins[] = {0.1L, 0.2L, 0.3L}, maxs[] = {0.2L, 0.4L, 0.6L}, samples[] = {0.15L, UnsetValue, 0.45L};
    for (int e = 1; e <= 3; ++e) {
        t.Symbols[e] = symbols[e - 1];
        t.MetalMin[e] = mins[e - 1];
        t.MetalMax[e] = maxs[e - 1];
        t.MetalSample[e] = samples[e - 1];
        t.SlagMin[e] = 12.5L;
        t.SlagMax[e] = 15;
        t.SlagSample[e] = 0.25L;
    }
    t.NMat = 3;
    const char* names[] = {"Брухт", "Вапно", "Кисень"};
    const int slots[] = {3, 6, 10};
    for (int j = 1; j <= 3; ++j) {
        t.Materials[j] = TMaterialRecord{};
        t.Materials[j].Name = names[j - 1];
        t.Materials[j].TableIndex = static_cast<uint16_t>(slots[j - 1]);
    }
    TMaterialRecord& scrap = t.Materials[1];
    scrap.Recommended = 80.5L;
    scrap.Fixed = scrap.MinPercent = 0;
    scrap.MinT = 60;
    scrap.MaxT = 100;
    scrap.MaxPercent = 90;
    t.Materials[2].MinT = 2; // no Max t: written "&2/-"
    t.Materials[3].MaxPercent = 3.5L;
    return t;
}

TEST_F(TaskFile, WrittenAndReadBackKeepsEveryValue)
{
    ScratchFolder dir;
    SetProgramDir(dir.path().string());
    std::filesystem::current_path(dir.path());
    RecordingHost host;
    auto list = std::make_unique<TTaskList>();
    list->Items[0] = TTaskRecord{};
    for (int k = 0; k < 3; ++k)
        list->Add(FullTask("Плавка " + std::to_string(k)), false, false);
    list->Items[2].ExtP = UnsetValue; // no EXTP line
    list->FileName = "Round.TSK";
    ASSERT_TRUE(list->SaveToFile());

    const auto lines = ReadTextFile1251((dir / "Round.TSK").string());
    EXPECT_EQ(lines[0], "*Плавка 0");
    EXPECT_EQ(lines[1], "Fe   C   Mn");
    EXPECT_EQ(lines[3], "12.5/15 12.5/15 12.5/15");
    EXPECT_EQ(lines[5], "MASSMET | 2.75/4.25 5.75/7.25");
    EXPECT_EQ(lines[14], "Вапно     | &2/-");

    auto back = std::make_unique<TTaskList>();
    ASSERT_TRUE(back->LoadFromFile("Round.TSK", 2));
    EXPECT_EQ(back->FileName, "Round.TSK");
    ASSERT_EQ(back->Count, 3);
    EXPECT_EQ(back->Current, 2);
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE("task " + std::to_string(k));
        const TTaskRecord& a = list->Items[static_cast<std::size_t>(k)];
        const TTaskRecord& b = back->Items[static_cast<std::size_t>(k)];
        EXPECT_EQ(a.Name, b.Name);
        for (auto f : TaskValues)
            EXPECT_EQ(a.*f, b.*f);
        ASSERT_EQ(b.NEl, 3);
        for (int e = 1; e <= 3; ++e) {
            EXPECT_EQ(a.Symbols[e], b.Symbols[e]);
            for (auto f : {&TTaskRecord::MetalMin, &TTaskRecord::MetalMax, &TTaskRecord::MetalSample,
                           &TTaskRecord::SlagMin, &TTaskRecord::SlagMax, &TTaskRecord::SlagSample})
                EXPECT_EQ((a.*f)[e], (b.*f)[e]) << "element " << e;
        }
        ASSERT_EQ(b.NMat, 3);
        for (int j = 1; j <= 3; ++j) {
            const TMaterialRecord& ma = a.Materials[j];
            const TMaterialRecord& mb = b.Materials[j];
            EXPECT_EQ(ma.Name, mb.Name);
            EXPECT_EQ(ma.TableIndex, mb.TableIndex);
            for (auto f : {&TMaterialRecord::Recommended, &TMaterialRecord::Fixed, &TMaterialRecord::MinT,
                           &TMaterialRecord::MaxT, &TMaterialRecord::MinPercent, &TMaterialRecord::MaxPercent})
                EXPECT_EQ(ma.*f, mb.*f) << "material " << j;
        }
    }
}

TEST_F(TaskFile, TheFilesDescriptionBeforeTheFirstTaskIsWrittenBack)
{
    ScratchFolder dir;
    SetProgramDir(dir.path().string());
    std::filesystem::current_path(dir.path());
    std::filesystem::copy_file(LoaderFixture("Test.TSK"), dir / "Test.TSK");
    const auto original = ReadTextFile1251((dir / "Test.TSK").string());
    ASSERT_NE(original[0].front(), '*'); // a description, not a task
    RecordingHost host;
    ASSERT_TRUE(TaskList.LoadFromFile("Test.TSK", 0));
    ASSERT_TRUE(TaskList.SaveToFile());
    const auto saved = ReadTextFile1251((dir / "Test.TSK").string());
    ASSERT_GE(saved.size(), 2u);
    EXPECT_EQ(saved[0], original[0]);
    EXPECT_EQ(saved[1], "*Плавка 101");

    // The working copy carries it; a list read from a file without one
    // writes none.
    auto copy = std::make_unique<TTaskList>();
    copy->Assign(TaskList);
    EXPECT_EQ(copy->FileLines(), TaskList.FileLines());
    TaskList.Clear();
    EXPECT_TRUE(TaskList.FileLines().empty());
}

TEST_F(TaskFile, EqualMinAndMaxTonnesComeBackAsMaxOnly)
{
    auto list = std::make_unique<TTaskList>();
    TTaskRecord t;
    t.Name = "A";
    t.NMat = 1;
    t.Materials[1].Name = "Вапно";
    t.Materials[1].MinT = t.Materials[1].MaxT = 3;
    list->Add(t, false, false);
    const auto lines = list->FileLines();
    EXPECT_EQ(lines.back().empty() ? lines[lines.size() - 2] : lines.back(), "Вапно     | &3/3");
    ASSERT_TRUE(list->LoadFromLines(lines, "x.TSK", 0, "x.TSK"));
    EXPECT_TRUE(IsUnset(list->Items[1].Materials[1].MinT));
    EXPECT_EQ(list->Items[1].Materials[1].MaxT, 3.0L);
}

TEST_F(TaskFile, OversizedFilesKeepTheFirstTasksElementsAndMaterials)
{
    // Forty materials of their own names, and sixty symbols of their own.
    std::vector<std::string> materials{"@Fe C"};
    for (int j = 0; j < 40; ++j)
        materials.push_back("Брухт " + std::to_string(j) + " | 0.1");
    ASSERT_TRUE(LoadMaterialsFromLines(materials, "big.MAT", false, "big.MAT"));
    std::vector<std::string> lines;
    for (int k = 0; k < 70; ++k) {
        lines.push_back("*T" + std::to_string(k));
        std::string symbols;
        std::string values;
        for (int e = 0; e < (k == 0 ? 60 : 1); ++e) {
            symbols += std::string("   X") + char('a' + e / 26) + char('a' + e % 26);
            values += " 1/2";
        }
        lines.push_back(symbols);
        if (k == 0)
            lines.insert(lines.end(), {values, values, values, ""});
        else
            lines.insert(lines.end(), {"1/2", "-", "-", ""});
        if (k == 0)
            for (int j = 0; j < 40; ++j)
                lines.push_back("Брухт " + std::to_string(j) + " | ~1");
    }
    RecordingHost host;
    auto list = std::make_unique<TTaskList>();
    ASSERT_TRUE(list->LoadFromLines(lines, "big.TSK", 0, "big.TSK"));
    EXPECT_EQ(list->Count, 60);
    EXPECT_EQ(list->Items[60].Name, "T59");
    EXPECT_EQ(list->Items[1].NEl, 41);
    EXPECT_EQ(list->Items[1].NMat, 30);
    ASSERT_EQ(host.warnings.size(), 3u);
    EXPECT_TRUE(host.warned("big.TSK, рядок 2: більше 41"));
    EXPECT_TRUE(host.warned("більше 30 матеріалів"));
    EXPECT_TRUE(host.warned("більше 60 завдань"));
}

TEST_F(TaskFile, MaterialsTheMaterialsFileLacksAreNamedInOneWarning)
{
    std::vector<std::string> lines;
    for (int k = 0; k < 3; ++k) {
        lines.insert(lines.end(), {"*T" + std::to_string(k), "C", ".1/.2", "-", "-", "", "Брухт | ~1"});
        for (int j = 0; j < 40; ++j)
            lines.push_back("Лом " + std::to_string(j) + " | ~1");
    }
    RecordingHost host;
    auto list = std::make_unique<TTaskList>();
    ASSERT_TRUE(list->LoadFromLines(lines, "far.TSK", 0, "far.TSK"));
    EXPECT_EQ(list->Count, 3);
    EXPECT_EQ(list->Items[3].NMat, 1);
    ASSERT_EQ(host.warnings.size(), 1u);
    const std::string& w = host.warnings[0];
    EXPECT_NE(w.find("far.TSK: матеріалів, яких немає у файлі матеріалів, не враховано (40): Лом 0, Лом 1,"),
              std::string::npos)
        << w;
    EXPECT_NE(w.find("Лом 19 і ще 20"), std::string::npos) << w;
    EXPECT_EQ(w.find("Лом 20"), std::string::npos) << w;
}

TEST_F(TaskFile, DamagedBlockDoesNotSwallowTheNextTask)
{
    auto list = std::make_unique<TTaskList>();
    RecordingHost host;
    ASSERT_TRUE(list->LoadFromLines({"*Cut", "Fe C", "*Whole", "C", ".1/.2", "-", "-", "MASSMET | 5/6 -/-"},
                                    "cut.TSK", 1, "cut.TSK"));
    ASSERT_EQ(list->Count, 2);
    EXPECT_EQ(list->Items[1].NEl, 2);
    EXPECT_EQ(list->Items[2].Name, "Whole");
    EXPECT_EQ(list->Items[2].MaxMet, 6.0L);
}

TEST_F(TaskFile, SaveFailureKeepsTheOldFileAndTheTasks)
{
    ScratchFolder dir;
    std::filesystem::current_path(dir.path());
    RecordingHost host;
    auto list = std::make_unique<TTaskList>();
    list->Add(FullTask("Good"), false, false);
    list->FileName = "Keep.TSK";
    ASSERT_TRUE(list->SaveToFile());
    const auto before = ReadTextFile1251((dir / "Keep.TSK").string());
    list->Items[1].Name = "名"; // no code page 1251 character for it
    EXPECT_FALSE(list->SaveToFile());
    EXPECT_TRUE(host.warned("Неможливо зберегти файл Keep.TSK"));
    EXPECT_EQ(ReadTextFile1251((dir / "Keep.TSK").string()), before);
    EXPECT_EQ(list->Items[1].Name, "名");
    // No temporary file left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// Earlier versions wrote bounds upside down: such a file is written and read
// back as it stands, with one warning naming the file, the line and the
// first limit, and the task names the limit until it is mended.
TEST_F(TaskFile, TasksWithABoundUpsideDownAreWrittenAndReadBackWithOneWarning)
{
    ScratchFolder dir;
    std::filesystem::current_path(dir.path());
    RecordingHost host;
    auto list = std::make_unique<TTaskList>();
    list->Add(FullTask("Good"), false, false);
    list->Add(FullTask("Typo"), false, false);
    list->FileName = "Keep.TSK";
    const struct {
        std::function<void(TTaskRecord&)> change;
        const char* says; // on line `line` of the file
        int line;
    } cases[] = {
        {[](TTaskRecord& t) { t.MinMet = 105, t.MaxMet = 95; }, "MASSMET: нижня межа 105 більша за верхню 95", 23},
        {[](TTaskRecord& t) { t.MinTemp = 1700; }, "TEMP: нижня межа 1700", 27},
        {[](TTaskRecord& t) { t.MetalMin[2] = 0.22L, t.MetalMax[2] = 0.17L; }, "C: нижня межа 0.22", 20},
        {[](TTaskRecord& t) { t.Materials[1].MinPercent = 95; }, "Брухт: нижня межа 95 більша за верхню 90", 31},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        auto edited = std::make_unique<TTaskList>();
        edited->Assign(*list);
        c.change(edited->Items[2]);
        EXPECT_EQ(edited->InvertedBound(0), "");
        EXPECT_EQ(edited->InvertedBound(1).rfind(c.says, 0), 0u) << edited->InvertedBound(1);
        host.warnings.clear();
        ASSERT_TRUE(edited->SaveToFile());
        EXPECT_TRUE(host.warnings.empty());

        auto back = std::make_unique<TTaskList>();
        ASSERT_TRUE(back->LoadFromFile("Keep.TSK", 1));
        ASSERT_EQ(back->Count, 2);
        ASSERT_EQ(host.warnings.size(), 1u);
        EXPECT_TRUE(host.warned("Файл Keep.TSK, рядок " + std::to_string(c.line) + ": " + c.says))
            << host.warnings[0];
        EXPECT_EQ(back->FileLines(), edited->FileLines());
        EXPECT_EQ(back->InvertedBound(1), edited->InvertedBound(1));
    }
    // Every pair upside down is counted, the first named.
    auto edited = std::make_unique<TTaskList>();
    edited->Assign(*list);
    for (const auto& c : cases)
        c.change(edited->Items[2]);
    ASSERT_TRUE(edited->SaveToFile());
    host.warnings.clear();
    auto back = std::make_unique<TTaskList>();
    ASSERT_TRUE(back->LoadFromFile("Keep.TSK", 0));
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_TRUE(host.warned("рядок 20: C: нижня межа 0.22 більша за верхню 0.17 (і ще меж: 3)")) << host.warnings[0];
}

class TaskListOperations : public LoaderTestBase {};

TEST_F(TaskListOperations, AddInsertsBeforeTheCurrentTaskAndStopsAtSixty)
{
    RecordingHost host;
    auto list = std::make_unique<TTaskList>();
    TTaskRecord t;
    t.Name = "A";
    list->Add(t, true, false);
    t.Name = "B";
    list->Add(t, true, false);
    list->Current = 0;
    t.Name = "C";
    list->Add(t, true, true);
    EXPECT_EQ(list->Items[1].Name, "C");
    EXPECT_EQ(list->Items[2].Name, "A");
    EXPECT_EQ(list->Items[3].Name, "B");
    EXPECT_EQ(list->Current, 0);
    EXPECT_EQ(host.taskBox, (std::vector<std::string>{"A", "B", "C"}));
    for (int k = 0; k < 70; ++k)
        list->Add(t, false, false);
    EXPECT_EQ(list->Count, 60);

    auto copy = std::make_unique<TTaskList>();
    copy->Assign(*list);
    EXPECT_EQ(copy->Count, 60);
    EXPECT_EQ(copy->Items[2].Name, "A");
    list->Clear();
    EXPECT_EQ(list->Count, 0);
    EXPECT_EQ(list->Current, -1);
    EXPECT_EQ(list->Items[1].MinMet, 0.0L); // zeroed
    EXPECT_TRUE(host.taskBox.empty());
}

TEST_F(TaskListOperations, MassAndMaterialBounds)
{
    auto list = std::make_unique<TTaskList>();
    TTaskRecord t;
    list->Add(t, false, false);
    t.IniMaxSlg = 3;
    list->Add(t, false, false);
    TTaskRecord r;
    r.NMat = 1;
    r.Materials[1].Recommended = 5;
    list->Add(r, false, false);
    r.Materials[1].Fixed = 1;
    list->Add(r, false, false);
    // A fixed material bounds the masses as well.
    const std::pair<bool, bool> massAndMaterial[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(list->HasMassBounds(k), massAndMaterial[k].first) << k;
        EXPECT_EQ(list->HasMaterialBounds(k), massAndMaterial[k].second) << k;
    }
    EXPECT_FALSE(list->HasMassBounds(-1));
    EXPECT_FALSE(list->HasMaterialBounds(99));
}

// A task editor held in memory.
class MemoryEditor : public TTaskEditorView {
public:
    int tab = 0;
    std::string caption;
    std::map<Field, std::string> edits;
    std::map<std::pair<int, int>, std::string> el;
    std::map<std::pair<int, int>, std::string> mat;
    int elRows = 0;
    int matRows = 0;

    int SelectedTab() const override { return tab; }
    void SetCaption(const std::string& text) override { caption = text; }
    std::string EditText(Field f) const override { return edits.count(f) ? edits.at(f) : std::string(); }
    void SetEditText(Field f, const std::string& text) override { edits[f] = text; }
    void ClearElementGrid() override { el.clear(); }
    int ElementRowCount() const override { return elRows; }
    std::string ElementCell(int c, int r) const override { return el.count({c, r}) ? el.at({c, r}) : std::string(); }
    void SetElementCell(int c, int r, const std::string& t) override
    {
        el[{c, r}] = t;
        elRows = std::max(elRows, r);
    }
    void ClearMaterialGrid() override { mat.clear(); }
    int MaterialRowCount() const override { return matRows; }
    std::string MaterialCell(int c, int r) const override { return mat.count({c, r}) ? mat.at({c, r}) : std::string(); }
    void SetMaterialCell(int c, int r, const std::string& t) override
    {
        mat[{c, r}] = t;
        matRows = std::max(matRows, r);
    }
};

TEST_F(TaskFile, EditorShowsAndStoresTheCurrentTask)
{
    RecordingHost host;
    ASSERT_TRUE(TaskListEdit.LoadFromFile(LoaderFixture("Test.TSK").string(), 0));
    MemoryEditor editor;
    editor.tab = 0;
    TaskListEdit.ShowCurrent(editor);
    EXPECT_EQ(editor.caption, "Файл завдань - " + TaskListEdit.FileName);
    EXPECT_EQ(editor.ElementCell(1, 2), "C");
    EXPECT_EQ(editor.ElementCell(2, 2), "0.1");
    EXPECT_EQ(editor.ElementCell(2, 1), "");
    EXPECT_EQ(editor.MaterialCell(1, 1), "Брухт");
    EXPECT_EQ(editor.MaterialCell(2, 1), "80");
    EXPECT_EQ(editor.edits[TTaskEditorView::MinMetEd], "100");
    EXPECT_EQ(editor.edits[TTaskEditorView::ExtPEd], "1");

    // The user edits: a bad symbol row and an unknown material are dropped.
    editor.edits[TTaskEditorView::MaxMetEd] = "120,5";
    editor.edits[TTaskEditorView::ExtPEd] = "";
    editor.SetElementCell(1, 5, " Zz ");
    editor.SetElementCell(1, 6, " si ");
    editor.SetElementCell(3, 6, "0,7");
    editor.SetMaterialCell(1, 4, "Невідомий");
    editor.SetMaterialCell(1, 5, " доломіт ");
    editor.SetMaterialCell(4, 5, "2");
    TaskListEdit.StoreCurrent(editor);
    const TTaskRecord& t = TaskListEdit.Items[1];
    EXPECT_EQ(t.Name, "Плавка 101");
    EXPECT_EQ(t.MaxMet, 120.5L);
    EXPECT_TRUE(IsUnset(t.ExtP));
    ASSERT_EQ(t.NEl, 5);
    EXPECT_EQ(t.Symbols[5], "si");
    EXPECT_EQ(t.MetalMax[5], 0.7L);
    ASSERT_EQ(t.NMat, 4);
    EXPECT_EQ(t.Materials[4].TableIndex, 7);
    EXPECT_EQ(t.Materials[4].MinT, 2.0L);

    editor.tab = -1;
    TaskListEdit.StoreCurrent(editor);
    EXPECT_EQ(TaskListEdit.Current, 0);
}

// What the editor accepts is written and read back with every row the user
// typed; what the file could not keep, or storing would drop, the editor
// refuses by its row and name, and the writer refuses it the same way.
TEST_F(TaskFile, WhatTheEditorAcceptsIsSavedAndReadBack)
{
    ScratchFolder dir;
    std::filesystem::current_path(dir.path());
    RecordingHost host;
    using F = TTaskEditorView::Field;
    const struct {
        const char* what;
        std::function<void(MemoryEditor&)> type;
        const char* refused; // nullptr: accepted
    } cases[] = {
        {"values", [](MemoryEditor& e) { e.edits[F::MaxMetEd] = "120,5", e.SetElementCell(3, 2, "0,25"); }, nullptr},
        {"decimals cut", [](MemoryEditor& e) { e.edits[F::EnergyEd] = "12345,6789"; }, nullptr},
        {"a row emptied", [](MemoryEditor& e) { e.SetMaterialCell(1, 2, " "), e.SetElementCell(1, 1, ""); }, nullptr},
        {"rows added", [](MemoryEditor& e) { e.SetElementCell(1, 5, " S "), e.SetMaterialCell(1, 4, "Кисень"); }, nullptr},
        {"material unknown", [](MemoryEditor& e) { e.SetMaterialCell(1, 3, "Vapno"); }, "рядок 3 таблиці матеріалів: матеріалу \"Vapno\" немає серед матеріалів проекту"},
        {"element unknown", [](MemoryEditor& e) { e.SetElementCell(1, 3, "abc"); }, "рядок 3 таблиці елементів: елемента \"abc\" немає серед елементів програми"},
        {"material twice", [](MemoryEditor& e) { e.SetMaterialCell(1, 4, "БРУХТ"); }, "рядок 4 таблиці матеріалів: матеріал БРУХТ указано двічі (уперше в рядку 1)"},
        {"element twice", [](MemoryEditor& e) { e.SetElementCell(1, 5, "c"); }, "рядок 5 таблиці елементів: елемент c указано двічі (уперше в рядку 2)"},
        {"per cent", [](MemoryEditor& e) { e.SetElementCell(3, 2, "150"); }, "рядок 2 таблиці елементів, C: 150 поза межами 0..100"},
        {"tonnes", [](MemoryEditor& e) { e.SetMaterialCell(5, 1, "2e5"); }, "рядок 1 таблиці матеріалів, Брухт: 200000 поза межами 0..100000"},
        {"negative mass", [](MemoryEditor& e) { e.edits[F::IniMinSlgEd] = "-5"; }, "MASSSLG: -5 поза межами"},
        {"pressure", [](MemoryEditor& e) { e.edits[F::ExtPEd] = "1e6"; }, "EXTP: 1e+06 поза межами 0..1000"},
        {"bound upside down", [](MemoryEditor& e) { e.edits[F::MinTempEd] = "1700"; }, "TEMP: нижня межа 1700 більша за верхню 1650"},
    };
    // The element rows' names and then the materials': those typed, or all shown.
    auto names = [](const MemoryEditor& e, bool typed) {
        std::vector<std::string> out;
        for (int row = 1; row <= e.elRows + e.matRows; ++row) {
            const std::string name = row <= e.elRows ? e.ElementCell(1, row) : e.MaterialCell(1, row - e.elRows);
            if (!typed || !TrimBlanks(name).empty())
                out.push_back(typed ? TrimBlanks(name) : name);
        }
        return out;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(TaskListEdit.LoadFromFile(LoaderFixture("Test.TSK").string(), 0));
        TaskListEdit.FileName = "Edited.TSK";
        MemoryEditor editor;
        TaskListEdit.ShowCurrent(editor);
        c.type(editor);
        host.warnings.clear();
        const TTaskEntryRefusal refusal = RefusedEditorEntry(editor);
        ASSERT_EQ(refusal.Found(), c.refused != nullptr) << (refusal.Found() ? TaskEntryText(refusal) : "accepted");
        if (c.refused) {
            EXPECT_NE(TaskEntryText(refusal).find(c.refused), std::string::npos) << TaskEntryText(refusal);
            // Storing drops an unknown name; the file keeps a bound upside
            // down. Anything else stored all the same is refused whole by
            // the writer, naming the task and the row.
            if (refusal.What == TTaskEntryRefusal::Kind::Unknown || refusal.What == TTaskEntryRefusal::Kind::Inverted)
                continue;
            TaskListEdit.StoreCurrent(editor);
            EXPECT_FALSE(TaskListEdit.SaveToFile());
            EXPECT_TRUE(host.warned("Неможливо зберегти файл Edited.TSK\nзавдання \"Плавка 101\", ") && host.warned(c.refused))
                << testing::PrintToString(host.warnings);
            EXPECT_FALSE(std::filesystem::exists(dir / "Edited.TSK"));
            continue;
        }
        TaskListEdit.StoreCurrent(editor);
        auto back = std::make_unique<TTaskList>();
        back->Items[0] = TaskListEdit.Items[0];
        ASSERT_TRUE(TaskListEdit.SaveToFile() && back->LoadFromFile("Edited.TSK", 0)) << testing::PrintToString(host.warnings);
        EXPECT_TRUE(host.warnings.empty()) << testing::PrintToString(host.warnings);
        EXPECT_EQ(back->FileLines(), TaskListEdit.FileLines());
        MemoryEditor shown;
        back->ShowCurrent(shown);
        EXPECT_EQ(names(shown, false), names(editor, true));
        std::filesystem::remove(dir / "Edited.TSK");
    }
}

} // namespace
} // namespace ferrolyt::test
