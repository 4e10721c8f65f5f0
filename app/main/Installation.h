#pragma once
// The installation mode: with "setup" among the program's arguments the
// program writes its menu entries into the user's applications folder, opens
// that folder and ends without a window.

#include "KeyStore.h"

#include <functional>
#include <string>
#include <vector>

namespace ferrolyt {

// True when one of the arguments (not the program's own path) contains the
// text "setup" (case-sensitive).
bool IsInstallationMode(const std::vector<std::string>& arguments);

// The key of our key store that names the program's menu folder.
inline constexpr const char* InstallKey = ProgramKey;

// The menu folder: the applications folder followed, as written, by the
// "Folder" value (backslashes read as separators).
std::string StartMenuFolder(const std::string& applicationsDir, const std::string& folderValue);

struct TInstallEntry {
    std::string Title;
    std::string TargetFolder;
    std::string TargetFile;
    std::string Arguments;
};

// The five entries of the menu folder.
std::vector<TInstallEntry> InstallEntries(const std::string& programDir, const std::string& systemDir,
                                          const std::string& startMenuDir, const std::string& executableName);

// Creates the folder (with its parents) and the entries, then hands the folder to
// openFolder. Reports nothing: every failure is ignored.
void RunInstallation(const std::string& programDir, const std::string& systemDir,
                     const std::string& startMenuDir, const std::string& executableName,
                     const std::function<void(const std::string&)>& openFolder);

} // namespace ferrolyt
