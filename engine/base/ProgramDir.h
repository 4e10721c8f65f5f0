#pragma once
// The program folder: the folder of the executable, where the sample project
// and the settings file lie. The program sets it once at start-up; tests
// point it at a folder of their own.

#include <string>

namespace ferrolyt {

// The program folder without a trailing separator (only a root such as "/"
// or "C:\" keeps it). "." until SetProgramDir is called.
const std::string& ProgramDir();

// Sets the program folder; a trailing separator is dropped.
void SetProgramDir(const std::string& folder);

// A file in the program folder.
std::string ProgramFile(const std::string& name);

} // namespace ferrolyt
