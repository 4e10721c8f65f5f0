#pragma once
// The particle demonstration's files, all in the folder "DezOzevev" under
// the program folder (names are case-sensitive on Linux): the parameter
// files *.dat (Name=Value lines, code page 1251, CR LF) and
// "DezOzevev.ini", which names the last parameter file. Also the reading of
// the control window's fields into a model, and the smallest box.

#include "ParticleModel.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ferrolyt::particles {

inline constexpr const char* DezOzevevFolderName = "DezOzevev";
inline constexpr const char* DezOzevevIniName = "DezOzevev.ini";
inline constexpr const char* ControlCaptionPrefix = "Zivad Urevezozu ";

// programDir / "DezOzevev".
std::filesystem::path DezOzevevFolder(const std::filesystem::path& programDir);

// The folder the demonstration reads its files from: "DezOzevev" in the
// current folder when it holds "DezOzevev.ini" there, otherwise the one next
// to the program (a project opened elsewhere makes its folder current, and
// it has no parameter files of its own).
std::filesystem::path ParticleFilesFolder(const std::filesystem::path& current,
                                          const std::filesystem::path& programDir);

// Lines of Name=Value text. Names compare without regard to case; the value
// is everything after the first '='.
class NameValueList {
public:
    std::vector<std::string> Lines;

    int IndexOfName(std::string_view name) const;
    std::string Value(std::string_view name) const;
    // Replaces the key's line in place, appends a missing key, and removes
    // the key's line when the value is empty.
    void SetValue(std::string_view name, const std::string& value);
};

// Code page 1251 text with CR LF line ends. False, with the message
// "Неможливо завантажити файл ..." (or the write failure) in *error.
bool LoadNameValueFile(const std::filesystem::path& path, NameValueList& list, std::string* error);
bool SaveNameValueFile(const std::filesystem::path& path, const NameValueList& list, std::string* error);

// The control window's fields as texts (what the parameter file holds).
struct ParticleParams {
    std::array<std::string, 3> Radius{"0.5", "0.5", "0.5"};
    std::array<std::string, 3> Mass{"1", "1", "1"};
    std::array<int, 3> N{10, 10, 10};
    // Energy-of-interaction cells, [row][column] from 0; the lower triangle
    // (column <= row) is what is read and saved.
    std::array<std::array<std::string, 3>, 3> Eps{};
    std::array<std::string, 3> Box{"3", "3", "5"};
    std::string Step = "0.1";
    TEnsemble Ensemble = TEnsemble::NoI;
    TLattice Lattice = TLattice::Cubic;
    std::string SysE, SysT;
    bool Periodic = false;  // not kept in the file
};

// The range of each number field, in the model's reduced units (lengths in
// particle diameters of about 1, energies in units of the pair energy).
struct ParticleRange {
    double Min;
    double Max;
    bool MinOpen; // Min itself is refused
};
// A particle larger than the largest box cannot be placed.
inline constexpr ParticleRange RadiusRange{0, 1e3, true};
// Masses differ between types by a few orders at most; beyond 1e6 a step
// moves nothing.
inline constexpr ParticleRange MassRange{0, 1e6, true};
// Pair energies of order 1; 1e4 already freezes every run, and ±1e308
// overflows the first force.
inline constexpr ParticleRange EnergyRange{-1e4, 1e4, false};
// Half-lengths of the box: 1241 particles fill a cube of side 11.
inline constexpr ParticleRange BoxRange{0, 1e4, true};
// The step: more than 2 skips through the particles in one step.
inline constexpr ParticleRange StepRange{0, 2, true};
// The total energy and kT of the ensembles: never negative, and far below
// what doubles of the sums could still hold.
inline constexpr ParticleRange SysERange{0, 1e9, false};
inline constexpr ParticleRange SysTRange{0, 1e6, false};

// Fills the fields from a parameter file's lines / writes them into them.
// A key that is absent keeps its default (N 1, the box 3 x 3 x 5, cubic,
// no interaction, the texts empty); a key given twice or without a value,
// and a value that is no number, lies outside its range or names no
// ensemble or lattice refuse the lines: false with the message naming the
// line and the key, params unchanged. A line that is no parameter of the
// file is not read and is named in *note (empty when there is none).
bool ParamsFromList(const NameValueList& list, ParticleParams& params, std::string* error = nullptr,
                    std::string* note = nullptr);
void ParamsToList(const ParticleParams& params, NameValueList& list);

// "DezOzevev/<dataFile>" into params (and the lines, which a later save
// keeps): read as every data file is (ReadDataFileLines), then by
// ParamsFromList; false with "Неможливо завантажити файл ..." and the reason.
// Loaded, *note names the file's lines that were not read (empty when none).
bool LoadParameterFile(const std::filesystem::path& folder, const std::string& dataFile, ParticleParams& params,
                       NameValueList& lines, std::string* error, std::string* note = nullptr);
// Writes the fields into the lines and saves them as "DezOzevev/<name>.dat";
// dataFile becomes that name (extension ".dat", no folder).
bool SaveParameterFile(const std::filesystem::path& folder, std::string& dataFile, const ParticleParams& params,
                       NameValueList& lines, std::string* error);

// "DezOzevev.ini": its DataFile value (empty, with a message, when the file
// cannot be read), and its rewriting as the single line "DataFile=<name>".
bool ReadDataFileSetting(const std::filesystem::path& folder, std::string& dataFile, std::string* error);
bool WriteDataFileSetting(const std::filesystem::path& folder, const std::string& dataFile, std::string* error);

// A file name with its extension replaced ("a.dat" -> "a.tdf").
std::string ChangeExtension(const std::string& name, const std::string& extension);

// A number typed into a field or read from a file: blanks around it are
// ignored and a ',' is taken as the decimal point. False for anything else,
// for more than 64 characters and for a value beyond a double's range; one
// too small for a double reads as the nearest (0 or a denormal).
bool ParseNumber(std::string_view text, double& value);

// Copies the fields into the model (types, particle count, energy matrix,
// box, step and steps per frame, ensemble, lattice, E, kT, boundaries).
// NVE without E and NVK or NVT without kT fall back to NoI. False, with a
// message naming the field, when a number is missing or outside its range
// above (a step giving more than MaxStepsPerFrame steps, more than 1241
// particles); the model is then unchanged.
bool ReadModelParams(const ParticleParams& params, ParticleModel& model, std::string* error);

// The smallest cubic box for the fields' particles and lattice: the text for
// the three box fields, rounded up to two decimals so that the model always
// accepts it. Empty, with a message, when the fields are unusable.
std::string SmallestBox(const ParticleParams& params, std::string* error);

} // namespace ferrolyt::particles
