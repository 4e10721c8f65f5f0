#pragma once
// The thermodynamic database of a project: the element constants (*.CON),
// the interaction parameters (*.EPS), the slag table (*.SLG) and the gas
// species (*.GAS), read in that order (the interaction energies and the gas
// species look their elements up in ElementBase).
//
// Each loader comes in two forms: one that reads the file (code page 1251,
// CR LF) and one that reads lines already decoded to UTF-8, which is what the
// tests and the fuzz targets drive. Both report through the host and return
// true when the file was read. A file that breaks the database's bounds or
// holds a number the tables cannot take is refused as a whole, with a
// warning naming the file, the line and the reason.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ferrolyt {

// Bounds of the database files.
inline constexpr int MaxEpsRows = 40;   // rows 1..40; element 0, the solvent, has none
inline constexpr int MaxTableColumns = 41;
inline constexpr int MaxSlgRows = 41;
// A data file larger than this is not a data file of ours.
inline constexpr std::uintmax_t MaxDataFileBytes = 64u * 1024u * 1024u;

// "Неможливо завантажити файл " + name: the message of every loader that
// cannot read its file.
std::string LoadFailedText(const std::string& fileName);
// The same, with the line (1-based) and the reason the content was refused.
std::string LoadFailedText(const std::string& fileName, std::size_t line, const std::string& reason);

// A name from a project or task file, resolved against the current folder
// (which the project loader sets to the project's folder) and, when it is
// not found there, against the program folder.
std::filesystem::path ResolveProjectFile(const std::string& name);

// Reads a data file into UTF-8 lines. Only regular files of at most
// MaxDataFileBytes are read, so a name that points at a device or a pipe
// cannot stall the program. False when the file cannot be read.
bool ReadDataFile(const std::filesystem::path& path, std::vector<std::string>& lines);

// The main window's commands of the same names delegate to these.

// Clears ElementBase (BaseElemLast := -1) and fills it from the file.
bool LoadConstants(const std::string& fileName);
bool LoadConstantsFromLines(const std::vector<std::string>& lines, const std::string& fileName);

// Fills WagnerMatrix and WagnerE, then derives InteractionEnergy for the
// elements of ElementBase. The tables stay as they were when the file is
// refused.
bool LoadInteractionParams(const std::string& fileName);
bool LoadInteractionParamsFromLines(const std::vector<std::string>& lines, const std::string& fileName);

// Fills SlagMatrix; it stays as it was when the file is refused.
bool LoadSlagData(const std::string& fileName);
bool LoadSlagDataFromLines(const std::vector<std::string>& lines, const std::string& fileName);

// Fills GasBase with the species whose elements are all in ElementBase.
// GasBase is empty after a failure.
bool LoadGases(const std::string& fileName);
bool LoadGasesFromLines(const std::vector<std::string>& lines, const std::string& fileName);

} // namespace ferrolyt
