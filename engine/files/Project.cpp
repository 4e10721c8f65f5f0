#include "Project.h"

#include "DataFiles.h"
#include "Host.h"
#include "Materials.h"
#include "ModelSnapshot.h"
#include "PathResolver.h"
#include "ProgramDir.h"
#include "RunState.h"
#include "Settings.h"
#include "TaskList.h"
#include "TextFile.h"
#include "Utils.h"

#include <map>
#include <optional>
#include <system_error>

namespace ferrolyt {

namespace fs = std::filesystem;

std::vector<std::string> ProjectList;
std::vector<TTaskFileEntry> TaskListBox;
int TaskListBoxIndex = -1;
std::vector<std::string> TaskMatFiles;
std::string ProjectDir;
fs::path ProjectFile;
bool ProjectFileIsUsers = false;

namespace {

// A file as it was before a write: its bytes, or that there was none.
class TFileKept {
public:
    explicit TFileKept(fs::path file) : file_(std::move(file))
    {
        std::error_code ec;
        if (!fs::exists(file_, ec))
            return;
        try {
            bytes_ = ReadFileBytes(file_);
        } catch (const std::exception&) {
            unknown_ = true; // nothing to put back
        }
    }
    // The file as it was; failures are left unsaid, the caller has
    // already told why the save failed.
    void PutBack() const
    {
        if (unknown_)
            return;
        std::error_code ec;
        if (!bytes_) {
            fs::remove(file_, ec);
            return;
        }
        try {
            WriteFileAtomically(file_, *bytes_, true);
        } catch (const std::exception&) {
        }
    }

private:
    fs::path file_;
    std::optional<std::string> bytes_;
    bool unknown_ = false;
};



// Whole text as an integer (blanks around allowed); `fallback` otherwise.
int ToIntDef(std::string_view text, int fallback)
{
    int32_t value = 0;
    return TryParseInt32(TrimBlanks(text), value) ? value : fallback;
}

std::size_t FindKey(const std::string& name)
{
    const std::string key = UpperCase1251(name);
    for (std::size_t k = 0; k < ProjectList.size(); ++k) {
        const std::size_t eq = ProjectList[k].find('=');
        if (eq != std::string::npos && UpperCase1251(std::string_view(ProjectList[k]).substr(0, eq)) == key)
            return k;
    }
    return ProjectList.size();
}

// Default data files, in the order they are given.
const std::pair<const char*, const char*> DefaultFiles[] = {
    {"ConFile", "Ferrolyt.CON"}, {"GasFile", "Ferrolyt.GAS"}, {"EpsFile", "Ferrolyt.EPS"},
    {"SlgFile", "Ferrolyt.SLG"}, {"MatFile", "Ferrolyt.MAT"}, {"TskFile", "Ferrolyt.TSK"},
};

} // namespace

std::string ProjectValue(const std::string& name)
{
    const std::size_t k = FindKey(name);
    if (k == ProjectList.size())
        return {};
    return ProjectList[k].substr(ProjectList[k].find('=') + 1);
}

void SetProjectValue(const std::string& name, const std::string& value)
{
    const std::size_t k = FindKey(name);
    if (k == ProjectList.size())
        ProjectList.push_back(name + "=" + value);
    else
        ProjectList[k] = ProjectList[k].substr(0, ProjectList[k].find('=') + 1) + value;
}

std::string RelativeToProgramDir(const fs::path& file)
{
    std::error_code ec;
    fs::path full = fs::absolute(file, ec);
    if (ec)
        full = file;
    full = full.lexically_normal();
    fs::path base = fs::absolute(fs::path(ProgramDir()), ec);
    if (ec)
        base = fs::path(ProgramDir());
    const fs::path relative = full.lexically_relative(base.lexically_normal());
    if (relative.empty())
        return full.generic_string();
    return relative.generic_string();
}

std::string StoredFileName(const fs::path& file)
{
    const std::string relative = RelativeToProgramDir(file);
    const fs::path rel(relative);
    if (rel.parent_path().generic_string() == ProjectDir)
        return rel.filename().generic_string();
    return relative;
}

void ShowTaskListBox()
{
    std::vector<std::string> names;
    names.reserve(TaskListBox.size());
    for (const auto& e : TaskListBox)
        names.push_back(e.Text);
    CurrentHost().ShowTaskFiles(names, TaskListBoxIndex);
}

int ApplyProjectDefaults()
{
    for (const auto& [key, file] : DefaultFiles)
        if (TrimBlanks(ProjectValue(key)).empty())
            SetProjectValue(key, file);
    return ToIntDef(ProjectValue("CurTask"), 0);
}

void ReadTaskFileEntries(int curTask)
{
    TaskListBox.clear();
    TaskMatFiles.clear();
    TaskListBoxIndex = -1;
    // One pass over the lines: a project may hold many task-file lines.
    std::map<std::string, std::string> values;
    for (const std::string& line : ProjectList) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos)
            values.emplace(UpperCase1251(std::string_view(line).substr(0, eq)), line.substr(eq + 1));
    }
    const std::string matFile = ProjectValue("MatFile");
    for (int i = 0;; ++i) {
        const auto it = values.find("TSK" + std::to_string(i));
        if (it == values.end())
            break;
        const std::string text = TrimBlanks(it->second);
        if (text.empty())
            break;
        std::size_t p = text.find_first_of("#*");
        if (p == std::string::npos)
            p = text.size();
        TTaskFileEntry entry;
        entry.Text = TrimRightBlanks(std::string_view(text).substr(0, p));
        std::string rest = text.substr(p);
        std::size_t star = rest.find('*');
        if (star == std::string::npos)
            star = rest.size();
        const std::string indexPart = TrimRightBlanks(std::string_view(rest).substr(0, star));
        rest.erase(0, star);
        entry.TaskIndex = indexPart.empty() ? 0 : ToIntDef(std::string_view(indexPart).substr(1), 0);
        TaskListBox.push_back(entry);
        TaskMatFiles.push_back(rest.empty() ? matFile : TrimBlanks(std::string_view(rest).substr(1)));
    }
    if (values.find("TSK0") == values.end() || TrimBlanks(values["TSK0"]).empty()) {
        TaskListBox.push_back({ProjectValue("TskFile"), curTask});
        TaskMatFiles.push_back(matFile);
    }
}

bool LoadProject(const std::string& fileName)
{
    Host& host = CurrentHost();
    std::error_code ec;
    const fs::path given(fileName);
    fs::path folder = given.has_parent_path() ? given.parent_path() : fs::path(ProgramDir());
    folder = fs::absolute(folder, ec);
    const fs::path file = folder / given.filename();

    // A project that is there but cannot be read, or names nothing, is
    // refused before anything changes. Only a missing one falls back on
    // the default file names.
    std::vector<std::string> lines;
    if (fs::exists(file, ec)) {
        if (!ReadDataFile(file, fileName, lines))
            return false;
        bool named = false;
        for (const std::string& line : lines)
            named = named || line.find('=') != std::string::npos;
        if (!named) {
            ShowWarning(LoadFailedText(fileName, lines.empty() ? 1 : lines.size(),
                                       NoRecordsText("жодного рядка \"назва=значення\"")));
            return false;
        }
    } else {
        ShowWarning(LoadFailedText(fileName));
    }

    const TModelSnapshot before;
    fs::current_path(folder, ec);
    TaskListBox.clear();
    TaskMatFiles.clear();
    TaskListBoxIndex = -1;
    const std::string relative = RelativeToProgramDir(file);
    ProjectDir = fs::path(relative).parent_path().generic_string();
    ProjectList = std::move(lines);
    const int curTask = ApplyProjectDefaults();

    const bool loaded = LoadConstants(TrimBlanks(ProjectValue("ConFile"))) &&
                        LoadInteractionParams(TrimBlanks(ProjectValue("EpsFile"))) &&
                        LoadSlagData(TrimBlanks(ProjectValue("SlgFile"))) && LoadGases(TrimBlanks(ProjectValue("GasFile"))) &&
                        LoadMaterials(TrimBlanks(ProjectValue("MatFile")), false) &&
                        TaskList.LoadFromFile(TrimBlanks(ProjectValue("TskFile")), curTask);
    if (!loaded) {
        before.Restore();
        return false; // the caption and the remembered project still name the one before
    }
    Settings.LastProject = relative;
    ProjectFile = file.lexically_normal();
    ProjectFileIsUsers = true;
    host.SetCaption("Ferrolyt - " + given.filename().string());

    ReadTaskFileEntries(curTask);
    const std::string tskFile = UpperCase1251(ProjectValue("TskFile"));
    for (std::size_t i = 0; i < TaskListBox.size(); ++i) {
        if (UpperCase1251(TaskListBox[i].Text) == tskFile) {
            TaskListBoxIndex = static_cast<int>(i);
            TaskListBox[i].TaskIndex = TaskList.Current;
            break;
        }
    }
    ShowTaskListBox();
    host.MeltCurrentTask();
    return true;
}

bool OpenConstantsFile(const std::string& fileName)
{
    const TModelSnapshot before;
    const bool loaded = LoadConstants(fileName) && LoadInteractionParams(ProjectValue("EpsFile")) &&
                        LoadSlagData(ProjectValue("SlgFile")) && LoadGases(ProjectValue("GasFile")) &&
                        LoadMaterials(ProjectValue("MatFile"), false);
    if (!loaded)
        before.Restore();
    return loaded;
}

bool OpenMaterialsFile(const std::string& fileName)
{
    const TModelSnapshot before;
    if (!LoadMaterials(fileName, false))
        return false;
    // The tasks name their materials by place in the table: they are read
    // again against the new one.
    const int i = TaskListBoxIndex;
    if (i < 0 || i >= static_cast<int>(TaskListBox.size()))
        return true;
    TaskMatFiles.resize(TaskListBox.size());
    TaskMatFiles[static_cast<std::size_t>(i)] = ProjectValue("MatFile");
    const TTaskFileEntry entry = TaskListBox[static_cast<std::size_t>(i)];
    if (TaskList.LoadFromFile(entry.Text, entry.TaskIndex))
        return true;
    before.Restore();
    return false;
}

bool SelectTaskFile(int index)
{
    if (index < 0 || index >= static_cast<int>(TaskListBox.size()))
        return false;
    const TModelSnapshot before;
    TaskListBoxIndex = index;
    TaskMatFiles.resize(TaskListBox.size());
    const auto i = static_cast<std::size_t>(index);
    const TTaskFileEntry entry = TaskListBox[i];
    if (LoadMaterials(TaskMatFiles[i], false) && TaskList.LoadFromFile(entry.Text, entry.TaskIndex))
        return true;
    before.Restore();
    return false;
}

bool OpenTaskFile(const std::string& fileName)
{
    const TModelSnapshot before;
    const bool loaded = LoadMaterials(ProjectValue("MatFile"), false) && TaskList.LoadFromFile(fileName, 0);
    if (!loaded)
        before.Restore();
    return loaded;
}

std::vector<std::string> ProjectFileLines()
{
    std::vector<std::string> lines;
    for (const char* key : {"ConFile", "EpsFile", "SlgFile", "GasFile", "MatFile", "HeaFile"})
        lines.push_back(std::string(key) + "=" + ProjectValue(key));
    lines.push_back("TskFile=" + TaskList.FileName);
    lines.push_back("CurTask=" + std::to_string(TaskList.Current));
    if (TaskListBox.size() > 1) {
        lines.emplace_back();
        for (std::size_t i = 0; i < TaskListBox.size(); ++i)
            lines.push_back("Tsk" + std::to_string(i) + "=" + TaskListBox[i].Text + " #" +
                            std::to_string(TaskListBox[i].TaskIndex) + " *" +
                            (i < TaskMatFiles.size() ? TaskMatFiles[i] : std::string()));
    }
    return lines;
}

bool WriteProjectFile(const fs::path& file) { return SaveDataFile(file, file.string(), ProjectFileLines()); }

bool SaveProject(int tag)
{
    if (CalcBusy) {
        AskStopCalculation();
        return false;
    }
    Host& host = CurrentHost();
    std::error_code ec;
    const std::string bare = fs::path(ConvertWindowsName(Settings.LastProject).path).filename().string();
    std::string name;
    if (!bare.empty())
        name = ProjectFile.empty() ? (fs::current_path(ec) / bare).string() : ProjectFile.string();
    // The save dialog itself asks before replacing the file it names.
    bool replaceAsked = false;
    if (tag != 0 || name.empty()) {
        name = host.AskProjectSaveName(name, ProjectDir);
        if (name.empty())
            return false;
        replaceAsked = true;
    }
    fs::path file = fs::absolute(fs::path(name), ec).lexically_normal();
    if (ec)
        file = name;
    file.replace_extension(".FWP");
    replaceAsked = replaceAsked && UpperCase1251(fs::path(name).extension().string()) == ".FWP";
    const bool users = ProjectFileIsUsers && file == ProjectFile;
    if (!replaceAsked && !users && fs::exists(file, ec) &&
        !host.AskYesNo("Файл " + file.string() + " вже існує. Замінити його?"))
        return false;

    // The project names its task file and task: the two are written
    // together or not at all, so that what lies on disk always belongs
    // together. The task file goes first (its names may hold characters the
    // code page lacks); when the project then cannot be written, the task
    // file is put back as it was.
    std::optional<TFileKept> keptTasks;
    if (!TaskList.FileName.empty())
        keptTasks.emplace(ResolveProjectFile(TaskList.FileName));
    if (!TaskList.SaveToFile())
        return false;
    if (!WriteProjectFile(file)) {
        if (keptTasks)
            keptTasks->PutBack();
        return false;
    }
    ProjectFile = file;
    ProjectFileIsUsers = true;
    Settings.LastProject = RelativeToProgramDir(file);
    host.SetCaption("Ferrolyt - " + file.filename().string());
    return true;
}

void NameUntitledProject()
{
    std::error_code ec;
    ProjectFile = fs::current_path(ec) / "Untitled.FWP";
    ProjectFileIsUsers = false;
    Settings.LastProject = ProjectDir.empty() ? "Untitled.FWP" : ProjectDir + "/Untitled.FWP";
}

void ClearProjectState()
{
    ProjectFile.clear();
    ProjectFileIsUsers = false;
    ProjectList.clear();
    TaskListBox.clear();
    TaskListBoxIndex = -1;
    TaskMatFiles.clear();
    ProjectDir.clear();
}

} // namespace ferrolyt
