// The project file: load order and the stop at the first failing file,
// defaults for missing keys, the task-file lines, and saving.
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "RunState.h"

namespace ferrolyt::test {
namespace {

class ProjectFile : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        dir_.CopyFixtures({"Test.CON", "Test.EPS", "Test.SLG", "Test.GAS", "Test.MAT", "Test.TSK", "Test.FWP"});
        SetProgramDir(dir_.path().string());
    }
    void Write(const std::string& name, const std::vector<std::string>& lines) const
    {
        WriteTextFile1251(dir_ / name, lines);
    }
    std::vector<std::string> Read(const std::string& name) const { return ReadTextFile1251(dir_ / name); }
    // The fixtures under the default names.
    void CopyAsDefaults() const
    {
        for (const char* ext : {"CON", "EPS", "SLG", "GAS", "MAT", "TSK"})
            std::filesystem::copy_file(dir_ / ("Test." + std::string(ext)), dir_ / ("Ferrolyt." + std::string(ext)));
    }
    ScratchFolder dir_; // removed only after TearDown has left it
    RecordingHost host;
};

TEST_F(ProjectFile, LoadsEveryFileAndMeltsOnce)
{
    ASSERT_TRUE(LoadProject((dir_ / "Test.FWP").string()));
    // Only the task file's material that the materials file lacks is named.
    ASSERT_EQ(host.warnings.size(), 1u) << host.warnings[0];
    EXPECT_TRUE(host.warned("Test.TSK: матеріалів, яких немає у файлі матеріалів")) << host.warnings[0];
    EXPECT_EQ(host.melts, 1);
    EXPECT_EQ(host.caption, "Ferrolyt - Test.FWP");
    EXPECT_EQ(Settings.LastProject, "Test.FWP");
    EXPECT_EQ(ProjectDir, "");
    EXPECT_EQ(ElementBase.Count, 10);
    EXPECT_EQ(MaterialCount, 10);
    EXPECT_EQ(TaskList.Count, 2);
    EXPECT_EQ(TaskList.Current, 1);
    EXPECT_EQ(TaskList.FileName, "Test.TSK");
    ASSERT_EQ(TaskListBox.size(), 1u);
    EXPECT_EQ(TaskListBox[0].Text, "Test.TSK");
    EXPECT_EQ(TaskListBox[0].TaskIndex, 1);
    EXPECT_EQ(TaskListBoxIndex, 0);
    EXPECT_EQ(TaskMatFiles, std::vector<std::string>{"Test.MAT"});
    EXPECT_EQ(host.taskFiles, std::vector<std::string>{"Test.TSK"});
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir_.path()));
}

TEST_F(ProjectFile, StopsAtTheFirstFileThatFailsAndKeepsTheOpenProject)
{
    ASSERT_TRUE(LoadProject((dir_ / "Test.FWP").string()));
    const int species = GasBaseCount;
    std::filesystem::create_directory(dir_ / "other");
    WriteTextFile1251(dir_ / "other" / "Stop.FWP", {"ConFile=../Test.CON", "EpsFile=Missing.EPS"});
    host.warnings.clear();
    EXPECT_FALSE(LoadProject((dir_ / "other" / "Stop.FWP").string()));
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_EQ(host.warnings[0].rfind("Неможливо завантажити файл Missing.EPS\n", 0), 0u) << host.warnings[0];
    EXPECT_EQ(host.melts, 1); // the first project's only
    EXPECT_EQ(host.caption, "Ferrolyt - Test.FWP");
    EXPECT_EQ(Settings.LastProject, "Test.FWP");
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir_.path()));
    EXPECT_EQ(ProjectValue("EpsFile"), "Test.EPS");
    EXPECT_EQ(GasBaseCount, species);
    EXPECT_EQ(MaterialCount, 10);
    EXPECT_EQ(TaskList.Count, 2);
    EXPECT_EQ(TaskListBox.size(), 1u);
    EXPECT_EQ(host.taskBox.size(), 2u);
}

TEST_F(ProjectFile, MissingKeysAndEmptyValuesTakeTheDefaults)
{
    CopyAsDefaults();
    Write("Only.FWP", {"ConFile=Test.CON", "GasFile=", "CurTask=abc"});
    ASSERT_TRUE(LoadProject((dir_ / "Only.FWP").string()));
    EXPECT_EQ(ProjectValue("GasFile"), "Ferrolyt.GAS");
    EXPECT_EQ(ProjectValue("EpsFile"), "Ferrolyt.EPS");
    EXPECT_EQ(ProjectValue("TskFile"), "Ferrolyt.TSK");
    EXPECT_EQ(ProjectValue("ConFile"), "Test.CON");
    EXPECT_EQ(TaskList.Current, 0);
    EXPECT_EQ(host.melts, 1);
}

TEST_F(ProjectFile, MissingProjectWarnsAndLoadsTheDefaultFiles)
{
    CopyAsDefaults();
    ASSERT_TRUE(LoadProject((dir_ / "Nothing.FWP").string()));
    ASSERT_FALSE(host.warnings.empty());
    EXPECT_EQ(host.warnings[0], "Неможливо завантажити файл " + (dir_ / "Nothing.FWP").string());
    EXPECT_EQ(MaterialCount, 10);
}

TEST_F(ProjectFile, TaskFileLines)
{
    ProjectList = {"MatFile=Main.MAT", "TskFile=Main.TSK", "Tsk0=A.TSK #3", "Tsk1=B.TSK", "Tsk2=C.TSK #2 *Other.MAT",
                   "Tsk4=E.TSK"};
    ReadTaskFileEntries(5);
    ASSERT_EQ(TaskListBox.size(), 3u);
    EXPECT_EQ(TaskListBox[0].Text, "A.TSK");
    EXPECT_EQ(TaskListBox[0].TaskIndex, 3);
    EXPECT_EQ(TaskListBox[1].Text, "B.TSK");
    EXPECT_EQ(TaskListBox[1].TaskIndex, 0);
    EXPECT_EQ(TaskListBox[2].TaskIndex, 2);
    EXPECT_EQ(TaskMatFiles, (std::vector<std::string>{"Main.MAT", "Main.MAT", "Other.MAT"}));

    ProjectList = {"MatFile=Main.MAT", "TskFile=Main.TSK", "Tsk1=B.TSK"};
    ReadTaskFileEntries(4);
    ASSERT_EQ(TaskListBox.size(), 1u);
    EXPECT_EQ(TaskListBox[0].Text, "Main.TSK");
    EXPECT_EQ(TaskListBox[0].TaskIndex, 4);
    EXPECT_EQ(TaskMatFiles, std::vector<std::string>{"Main.MAT"});
}

TEST_F(ProjectFile, OneTaskFileIsWrittenWithoutTaskFileLines)
{
    ASSERT_TRUE(LoadProject((dir_ / "Test.FWP").string()));
    ASSERT_TRUE(SaveProject(0));
    EXPECT_EQ(Read("Test.FWP"),
              (std::vector<std::string>{"ConFile=Test.CON", "EpsFile=Test.EPS", "SlgFile=Test.SLG", "GasFile=Test.GAS",
                                        "MatFile=Test.MAT", "HeaFile=", "TskFile=Test.TSK", "CurTask=1"}));
    EXPECT_TRUE(host.saveDialogs.empty());
}

TEST_F(ProjectFile, SeveralTaskFilesRoundTrip)
{
    std::filesystem::copy_file(dir_ / "Test.TSK", dir_ / "Second.TSK");
    Write("Multi.FWP", {"ConFile=Test.CON", "EpsFile=Test.EPS", "SlgFile=Test.SLG", "GasFile=Test.GAS",
                        "MatFile=Test.MAT", "HeaFile=Heat.HEA", "TskFile=Second.TSK", "CurTask=1", "",
                        "Tsk0=Test.TSK #0 *Test.MAT", "Tsk1=Second.TSK #7 *Test.MAT", "Tsk2=Third.TSK #2 *Other.MAT",
                        "Unknown=dropped"});
    ASSERT_TRUE(LoadProject((dir_ / "Multi.FWP").string()));
    EXPECT_EQ(TaskListBoxIndex, 1);
    EXPECT_EQ(TaskListBox[1].TaskIndex, 1); // the task now selected
    host.saveDialogAnswer = (dir_ / "Copy.txt").string();
    ASSERT_TRUE(SaveProject(1));
    ASSERT_TRUE(std::filesystem::exists(dir_ / "Copy.FWP"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "Copy.txt"));
    EXPECT_EQ(host.caption, "Ferrolyt - Copy.FWP");
    EXPECT_EQ(Settings.LastProject, "Copy.FWP");
    const auto written = Read("Copy.FWP");
    EXPECT_EQ(written,
              (std::vector<std::string>{"ConFile=Test.CON", "EpsFile=Test.EPS", "SlgFile=Test.SLG", "GasFile=Test.GAS",
                                        "MatFile=Test.MAT", "HeaFile=Heat.HEA", "TskFile=Second.TSK", "CurTask=1", "",
                                        "Tsk0=Test.TSK #0 *Test.MAT", "Tsk1=Second.TSK #1 *Test.MAT",
                                        "Tsk2=Third.TSK #2 *Other.MAT"}));

    const auto entries = TaskListBox;
    const auto mats = TaskMatFiles;
    ClearProjectState();
    ASSERT_TRUE(LoadProject((dir_ / "Copy.FWP").string()));
    ASSERT_EQ(TaskListBox.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(TaskListBox[i].Text, entries[i].Text);
        EXPECT_EQ(TaskListBox[i].TaskIndex, entries[i].TaskIndex);
    }
    EXPECT_EQ(TaskMatFiles, mats);
    EXPECT_EQ(ProjectFileLines(), written);
}

TEST_F(ProjectFile, SaveAsksForANameOnlyWhenNeeded)
{
    ASSERT_TRUE(LoadProject((dir_ / "Test.FWP").string()));
    Settings.LastProject = "";
    EXPECT_FALSE(SaveProject(0)); // dialog cancelled
    ASSERT_EQ(host.saveDialogs.size(), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 7); // nothing written

    CalcBusy = true;
    EXPECT_FALSE(SaveProject(0));
    EXPECT_EQ(host.questions, std::vector<std::string>{"Зупинити розрахунок?"});
    CalcBusy = false;
}

TEST_F(ProjectFile, FailedSaveKeepsTheOldFileAndTheData)
{
    ASSERT_TRUE(LoadProject((dir_ / "Test.FWP").string()));
    const auto before = Read("Test.FWP");
    SetProjectValue("HeaFile", "名.HEA"); // cannot be written in code page 1251
    EXPECT_FALSE(SaveProject(0));
    EXPECT_TRUE(host.warned("Неможливо зберегти файл"));
    EXPECT_EQ(Read("Test.FWP"), before);
    EXPECT_EQ(ProjectValue("HeaFile"), "名.HEA");

    host.saveDialogAnswer = (dir_ / "no-such-folder" / "X.FWP").string();
    SetProjectValue("HeaFile", "");
    EXPECT_FALSE(SaveProject(1));
    EXPECT_EQ(Settings.LastProject, "Test.FWP");
}

TEST_F(ProjectFile, TheProjectAndItsTaskFileAreWrittenTogetherOrNotAtAll)
{
    ASSERT_TRUE(LoadProject((dir_ / "Test.FWP").string()));
    const auto project = Read("Test.FWP");
    const auto tasks = Read("Test.TSK");

    // The task file cannot be written: neither is the project.
    SetProjectValue("HeaFile", "Changed.HEA");
    const std::string name = TaskList.Items[1].Name;
    TaskList.Items[1].Name = "名"; // no code page 1251 character for it
    EXPECT_FALSE(SaveProject(0));
    EXPECT_TRUE(host.warned("Неможливо зберегти файл Test.TSK"));
    EXPECT_EQ(Read("Test.FWP"), project);
    EXPECT_EQ(Read("Test.TSK"), tasks);
    TaskList.Items[1].Name = name;

    // The project cannot be written: the task file is put back.
    SetProjectValue("HeaFile", "名.HEA");
    TaskList.Items[1].MaxMet = 120;
    host.warnings.clear();
    EXPECT_FALSE(SaveProject(0));
    EXPECT_TRUE(host.warned("Неможливо зберегти файл"));
    EXPECT_EQ(Read("Test.FWP"), project);
    EXPECT_EQ(Read("Test.TSK"), tasks);
    // ... or removed, when it is new.
    TaskList.FileName = "New.TSK";
    EXPECT_FALSE(SaveProject(0));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "New.TSK"));
    EXPECT_EQ(Read("Test.FWP"), project);

    SetProjectValue("HeaFile", "Changed.HEA");
    EXPECT_TRUE(SaveProject(0));
    EXPECT_NE(Read("Test.FWP"), project);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "New.TSK"));
}

TEST_F(ProjectFile, ATaskFileWithABoundUpsideDownOpensWithOneWarning)
{
    // As earlier versions wrote it; the project still opens and saves.
    auto lines = Read("Test.TSK");
    ASSERT_EQ(lines[6], "MASSMET | 100/110 90/95");
    lines[6] = "MASSMET | 105/95 90/95";
    Write("Test.TSK", lines);
    host.warnings.clear();
    ASSERT_TRUE(LoadProject((dir_ / "Test.FWP").string()));
    EXPECT_EQ(TaskList.Count, 2);
    const auto said = std::count_if(host.warnings.begin(), host.warnings.end(), [](const std::string& w) {
        return w.find("Файл Test.TSK, рядок 7: MASSMET: нижня межа 105 більша за верхню 95") != std::string::npos;
    });
    EXPECT_EQ(said, 1) << ::testing::PrintToString(host.warnings);
    EXPECT_EQ(TaskList.InvertedBound(0), "MASSMET: нижня межа 105 більша за верхню 95");
    EXPECT_TRUE(SaveProject(0));
    EXPECT_EQ(Read("Test.TSK")[6], "MASSMET | 105/95 90/95");
}

TEST_F(ProjectFile, ChoosingABrokenTaskFileKeepsTheTasksAndTheEntry)
{
    WriteTextFile1251(dir_ / "Broken.TSK", {"*heat", "C", "0.1/1e308"});
    Write("Two.FWP", {"ConFile=Test.CON", "EpsFile=Test.EPS", "SlgFile=Test.SLG", "GasFile=Test.GAS",
                      "MatFile=Test.MAT", "TskFile=Test.TSK", "CurTask=1", "", "Tsk0=Test.TSK #1 *Test.MAT",
                      "Tsk1=Broken.TSK #0 *Test.MAT"});
    ASSERT_TRUE(LoadProject((dir_ / "Two.FWP").string()));
    host.warnings.clear();
    EXPECT_FALSE(SelectTaskFile(1));
    EXPECT_TRUE(host.warned("Неможливо завантажити файл Broken.TSK"));
    EXPECT_EQ(TaskListBoxIndex, 0);
    EXPECT_EQ(host.taskFileIndex, 0);
    EXPECT_EQ(TaskList.FileName, "Test.TSK");
    EXPECT_EQ(TaskList.Count, 2);
    EXPECT_EQ(TaskList.Current, 1);
    EXPECT_EQ(MaterialCount, 10);
}

TEST_F(ProjectFile, SavingOverAReadOnlyFileAsksFirst)
{
    // The rename would replace a read-only file without a word: the folder
    // is writable.
    ASSERT_TRUE(LoadProject((dir_ / "Test.FWP").string()));
    host.warnings.clear(); // the fixture's unknown material
    SetProjectValue("HeaFile", "Changed.HEA");
    std::filesystem::permissions(dir_ / "Test.FWP", std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::group_read |
                                                        std::filesystem::perms::others_read);
    const auto before = Read("Test.FWP");
    host.answers = {false};
    EXPECT_FALSE(SaveProject(0));
    ASSERT_EQ(host.questions, std::vector<std::string>{ReadOnlyQuestion((dir_ / "Test.FWP").string())});
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_EQ(Read("Test.FWP"), before);

    host.answers = {true, true}; // the project, then its task file
    EXPECT_TRUE(SaveProject(0));
    EXPECT_EQ(ProjectValue("HeaFile"), "Changed.HEA");
    EXPECT_NE(Read("Test.FWP"), before);
    EXPECT_EQ(std::filesystem::status(dir_ / "Test.FWP").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                  std::filesystem::perms::others_read);
}

TEST_F(ProjectFile, ProjectInASubfolderStoresBareNamesOfItsOwnFiles)
{
    const auto sub = dir_ / "heats";
    std::filesystem::create_directories(sub);
    for (const char* n : {"Test.MAT", "Test.TSK", "Test.FWP"})
        std::filesystem::rename(dir_ / n, sub / n);
    // Constants, interaction, slag and gas files lie in the program folder.
    ASSERT_TRUE(LoadProject((sub / "Test.FWP").string()));
    EXPECT_EQ(ProjectDir, "heats");
    EXPECT_EQ(Settings.LastProject, "heats/Test.FWP");
    EXPECT_EQ(ProjectValue("MatFile"), "Test.MAT");
    EXPECT_EQ(TaskList.FileName, "Test.TSK");
}

} // namespace
} // namespace ferrolyt::test
