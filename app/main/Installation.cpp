#include "Installation.h"

#include "Utils.h"

#include <algorithm>
#include <filesystem>

namespace ferrolyt {

bool IsInstallationMode(const std::vector<std::string>& arguments)
{
    // The program's own path is not looked at: a program installed below a
    // folder called "setup..." must still start.
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const std::string& a) { return a.find("setup") != std::string::npos; });
}

std::string StartMenuFolder(const std::string& applicationsDir, const std::string& folderValue)
{
    std::string folder = folderValue;
    std::replace(folder.begin(), folder.end(), '\\', '/');
    return applicationsDir + folder;
}

std::vector<TInstallEntry> InstallEntries(const std::string& programDir, const std::string& systemDir,
                                          const std::string& startMenuDir, const std::string& executableName)
{
    return {
        {"Ferrolyt", programDir, executableName, ""},
        // The manual is built as a PDF beside the program (F1 opens the same file).
        {"Руководство пользователя", programDir, "Ferrolyt.pdf", ""},
        {"Веб страничка", programDir, "Homepage.url", ""},
        {"Запрос по электронной почте", programDir, "Email.url", ""},
        {"Удаление программы", systemDir, "Uninstfw.exe", "\"" + programDir + "\" \"" + startMenuDir + "\""},
    };
}

void RunInstallation(const std::string& programDir, const std::string& systemDir,
                     const std::string& startMenuDir, const std::string& executableName,
                     const std::function<void(const std::string&)>& openFolder)
{
    std::error_code ec;
    // A fresh account may have no applications folder yet: create it too.
    // An existing folder is fine.
    std::filesystem::create_directories(startMenuDir, ec);
    // The entries go inside the folder even when the folder value does not
    // end with a separator.
    std::string linkFolder = startMenuDir;
    if (!linkFolder.empty() && linkFolder.back() != '/')
        linkFolder += '/';
    for (const TInstallEntry& e : InstallEntries(programDir, systemDir, startMenuDir, executableName))
        CreateShortcut(linkFolder, e.TargetFolder, e.TargetFile, e.Arguments, e.Title);
    if (openFolder)
        openFolder(startMenuDir);
}

} // namespace ferrolyt
