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

#include "TextFile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ferrolyt {

// Bounds of the database files.
inline constexpr int MaxEpsRows = 40;   // rows 1..40; element 0, the solvent, has none
inline constexpr int MaxTableColumns = 41;
inline constexpr int MaxSlgRows = 41;

// "Неможливо завантажити файл " + name: the message of every loader that
// cannot read its file.
std::string LoadFailedText(const std::string& fileName);
// The same, with the line (1-based) and the reason the content was refused.
std::string LoadFailedText(const std::string& fileName, std::size_t line, const std::string& reason);
// The reason for a file that holds none of its records ("жодного елемента").
std::string NoRecordsText(const std::string& what);
// The note shown when a data file turned out to be UTF-8 and was read so.
std::string Utf8FileText(const std::string& fileName);

// Names longer than the program keeps (materials and tasks: 25
// characters). Such a name is read cut, not refused: stored files may hold
// them (earlier versions cut them the same way, without a word), and they
// stay usable; the load says so by the first such line.
class TLongNames {
public:
    // name cut to limit characters; a cut is noted with its line (0-based).
    std::string Cut(const std::string& name, std::size_t limit, std::size_t line);
    // The one warning of a load (empty when no name was cut): "Файл F, рядок
    // N: назву «...» довшу за 25 символів прочитано як «...»" and how many
    // more there are.
    std::string Text(const std::string& fileName) const;

private:
    std::size_t count_ = 0;
    std::size_t line_ = 0; // 0-based
    std::size_t limit_ = 0;
    std::string name_;
    std::string cut_;
};

// A name from a project or task file, resolved against the current folder
// (which the project loader sets to the project's folder) and, when it is
// not found there, against the program folder.
std::filesystem::path ResolveProjectFile(const std::string& name);
// How the messages about a file name it: the name as given, or the full
// path of the file read when the name alone would not tell which file it
// was (it lies in the program folder, or both folders hold a file of that
// name).
std::string ShownFileName(const std::string& name, const std::filesystem::path& file);

// Reads a data file into UTF-8 lines (ReadTextFile1251: regular files of
// at most MaxDataFileBytes). A file of which more than one byte in twenty
// is a control character is not text and is refused, and so is, by its
// line, a carriage return that ends no line (LineEndError), a NUL byte, a
// UTF-8 line in a code page 1251 file, a UTF-8 byte-order mark before text
// that is not UTF-8, and a last line with text but no line break (a file
// cut short). On failure it shows
// LoadFailedText(fileName) with the reason and returns false; a UTF-8 file
// is read with a note saying so.
bool ReadDataFile(const std::filesystem::path& path, const std::string& fileName, std::vector<std::string>& lines);
// The same checks, for readers that show their messages themselves: false
// with the whole message in `message`; *utf8 (when not null) tells that the
// file was read as UTF-8.
bool ReadDataFileLines(const std::filesystem::path& path, const std::string& fileName,
                       std::vector<std::string>& lines, std::string& message, bool* utf8 = nullptr);

// Writes a data, task or project file (WriteTextFile1251). A read-only file
// is replaced only when the user answers Yes to ReadOnlyQuestion; any
// other failure is shown as "Неможливо зберегти файл " + shownName with
// the reason. False when nothing was written.
bool SaveDataFile(const std::filesystem::path& file, const std::string& shownName,
                  const std::vector<std::string>& lines);
std::string ReadOnlyQuestion(const std::string& fileName);

// The main window's commands of the same names delegate to these.

// Every loader reads into a copy and replaces the model's table only when
// the whole file was accepted: a refused file leaves the model as it was.
// A file without a single record (element, row, species) is refused.

// Every number is read by one rule (ReadFileNumber, FieldRanges.h: a
// decimal point or a decimal comma), and a row is taken whole: a value left
// out or one too many refuses the file by its line, as does a name given
// twice.

// Fills ElementBase (and BaseElemLast) from the file. An element's fields
// may continue on the lines after it, never into the next element's line;
// the enthalpy field 28 (h298), after the surface coefficient on the same
// line, is given for every element of the file or for none; a symbol
// given twice is refused.
bool LoadConstants(const std::string& fileName);
bool LoadConstantsFromLines(const std::vector<std::string>& lines, const std::string& fileName);

// Fills WagnerMatrix and WagnerE, then derives InteractionEnergy for the
// elements of ElementBase. The tables stay as they were when the file is
// refused. A row's values end at "-" or at the end of the line; after "-"
// only a note may follow, and a word there that starts as a number refuses
// the file by that row. The rows that end at the line's end all hold as
// many values as each other, or form the lower triangle (with or without
// the row's own column): any other length refuses the file by that row,
// and so does a value that is no number. Rows belong to elements by their
// place; one whose symbol is not the element of its place is named in a
// warning, and the file is read all the same.
bool LoadInteractionParams(const std::string& fileName);
bool LoadInteractionParamsFromLines(const std::vector<std::string>& lines, const std::string& fileName);

// Fills SlagMatrix; it stays as it was when the file is refused. Rows as
// in the interaction file.
bool LoadSlagData(const std::string& fileName);
bool LoadSlagDataFromLines(const std::vector<std::string>& lines, const std::string& fileName);

// Fills GasBase with the species whose elements are all in ElementBase;
// a file that leaves no species is refused, and so is a line without the
// species' name or with text after it.
bool LoadGases(const std::string& fileName);
bool LoadGasesFromLines(const std::vector<std::string>& lines, const std::string& fileName);

} // namespace ferrolyt
