#include "ProgramDir.h"

namespace ferrolyt {

namespace {

std::string& Folder()
{
    static std::string folder = ".";
    return folder;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// "/" and "C:\" are roots: their separator is the folder itself.
bool IsRoot(const std::string& folder)
{
    return (folder.size() == 1 && IsSeparator(folder[0]))
        || (folder.size() == 3 && folder[1] == ':' && IsSeparator(folder[2]));
}

} // namespace

const std::string& ProgramDir() { return Folder(); }

void SetProgramDir(const std::string& folder)
{
    std::string f = folder.empty() ? std::string(".") : folder;
    while (f.size() > 1 && IsSeparator(f.back()) && !IsRoot(f))
        f.pop_back();
    Folder() = f;
}

std::string ProgramFile(const std::string& name)
{
    const std::string& folder = ProgramDir();
    return IsSeparator(folder.back()) ? folder + name : folder + "/" + name;
}

} // namespace ferrolyt
