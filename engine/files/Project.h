#pragma once
// The project (*.FWP): the names of one working set's data files, read into
// ProjectList as "Name=Value" lines, loaded in a fixed order and written
// back by the save command. The project's task files, with the task last
// chosen in each and the materials file that goes with each, are the
// entries of the main window's task-file combo box, kept here.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ferrolyt {

// One entry of the task-file combo box: a task file and its current task.
struct TTaskFileEntry {
    std::string Text;
    int32_t TaskIndex = 0;
};

// Lines of the open project.
extern std::vector<std::string> ProjectList;
// Entries of the task-file combo box and the selected one (-1: none).
extern std::vector<TTaskFileEntry> TaskListBox;
extern int TaskListBoxIndex;
// The materials file of each entry of TaskListBox (same index).
extern std::vector<std::string> TaskMatFiles;
// The project's folder relative to the program folder; empty when the
// project lies in the program folder.
extern std::string ProjectDir;

// The file "Зберегти проєкт" writes without a dialog: the project last
// opened or saved (empty before either: the bare name of the remembered last
// project in the current folder is taken then; with no remembered project
// the dialog asks). Replacing an existing file that the user has not opened
// or saved in this run is asked first.
extern std::filesystem::path ProjectFile;
extern bool ProjectFileIsUsers;

// A new project: "Untitled.FWP" in the current folder, remembered as the
// last project, not yet the user's.
void NameUntitledProject();

// The value of a "Name=Value" line of ProjectList (the first whose name
// matches, ignoring case); empty when there is none.
std::string ProjectValue(const std::string& name);
// Sets that value, appending the line when there is none.
void SetProjectValue(const std::string& name, const std::string& value);

// How a materials or task file is named in the project: its path relative
// to the program folder (after expanding it to a full path), or only its
// file name when it lies in the project's folder.
std::string StoredFileName(const std::filesystem::path& file);

// A path relative to the program folder ('/' separators); the full path
// when the file is not below the program folder's root.
std::string RelativeToProgramDir(const std::filesystem::path& file);

// Shows TaskListBox through the host.
void ShowTaskListBox();

// Gives every missing or empty data-file key of ProjectList its default and
// returns CurTask (0 when missing or not an integer).
int ApplyProjectDefaults();

// Builds TaskListBox and TaskMatFiles from the "Tsk0", "Tsk1", ... lines
// (or from TskFile when there is no "Tsk0").
void ReadTaskFileEntries(int curTask);

// The lines a save writes, in their fixed order.
std::vector<std::string> ProjectFileLines();

// The main window's command "LoadProject" delegates to this: loads the
// project and every file it names, stopping at the first that fails; melts
// the current task when everything loaded. True when everything loaded.
// A project file that exists but cannot be read or names no file, and any
// data file refused on the way, leave the model, the current folder, the
// caption and the remembered project as they were; a missing project file
// loads the default file names of its folder.
bool LoadProject(const std::string& fileName);

// The main window's "open" of a constants file: the file with the
// project's interaction, slag, gas and materials files (the project keeps
// naming its own constants file). The first file refused stops the chain
// and the model is left as it was. True when everything loaded.
bool OpenConstantsFile(const std::string& fileName);

// The main window's "open" of a materials file: the file, then the tasks
// of the selected task file read again against it (it becomes that entry's
// materials file). A refusal of either leaves the model as it was. True
// when everything loaded.
bool OpenMaterialsFile(const std::string& fileName);

// The choice of entry `index` of the task-file combo box: its materials
// file, then its tasks. A refusal of either leaves the model, the task list
// and the selected entry as they were. True when both loaded.
bool SelectTaskFile(int index);

// The main window's "open" of a task file: the project's materials, then
// the tasks of the file; a refusal leaves the model and the task list as
// they were. True when both loaded.
bool OpenTaskFile(const std::string& fileName);

// The main window's command "SaveButClick" delegates to this. tag 0 saves
// under the current name (asking only when there is none), tag 1 always
// asks. The task file and the project are written together or not at all:
// each is replaced through a temporary file, and when the project cannot be
// written the task file is put back as it was. A failed save keeps the data
// in memory. True when both were written.
bool SaveProject(int tag);

// Writes the project to `file` (the extension is not changed here). False
// after a message when the file could not be written.
bool WriteProjectFile(const std::filesystem::path& file);

// Empties the project state (tests and a fresh start).
void ClearProjectState();

} // namespace ferrolyt
