#pragma once
// The user's options: one global record, stored raw as the 512 bytes of the
// settings file "Ferrolyt.ini" in the program folder. In memory the fields
// are ordinary C++ values; EncodeSettings and DecodeSettings pack them field
// by field at the file's fixed offsets (little-endian, no alignment gaps,
// several Words and Doubles at odd offsets, the string in code page 1251).
//
// Reading mends values that would hurt later code (a choice index outside its
// list, a non-finite or meaningless negative number, a zero autosave interval,
// a string length beyond its capacity): each such field takes its default.
// Reserved bytes are never interpreted and are written back as they were read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ferrolyt {

inline constexpr std::size_t SettingsSize = 512;
inline constexpr std::size_t LastProjectCapacity = 105; // characters
inline constexpr const char* SettingsFileName = "Ferrolyt.ini";
inline constexpr const char* DefaultLastProject = "FERROLYT.FWP";

// Number of entries of each choice list; a stored index must be below it.
inline constexpr uint8_t HeatAlgChoices = 3;         // lg K shift of [Fe), share of equilibrium, reaction zone
inline constexpr uint8_t ConsumptionModeChoices = 2; // per portion, accumulated
inline constexpr uint8_t GasPressureUnitChoices = 4; // atm, kPa, Pa, mm Hg
inline constexpr uint8_t MetalModelChoices = 2;      // modified collective electrons, dilute solution
inline constexpr uint8_t SlagModelChoices = 2;       // modified collective electrons: Kappa, Nu/Eps
inline constexpr uint8_t GasLogModeChoices = 3;      // values, lg, ln
inline constexpr uint8_t CompositionUnitChoices = 4; // mass %, mole %, kg, kmol
inline constexpr uint8_t FinalTempModeChoices = 3;   // not computed, precise, simplified
inline constexpr uint8_t NmiRcMethodChoices = 2;     // characteristic equation, maximum of G

// A value-initialised record holds the defaults: every byte zero except
// LastProject, AutoSaveMinutes, MoltenMaterialTemp, AutoOxygen, ShowSomeGases
// and MinGasPressure. The comment after each field is its file offset.
struct TSettingsRecord {
    // UTF-8 in memory; stored as at most 105 characters of code page 1251.
    std::string LastProject = DefaultLastProject;       // 0 (length byte + 105)
    std::array<uint8_t, 130> Reserved1{};               // 106

    bool ExitSave = false;                              // 236
    bool AutoSave = false;                              // 237
    uint8_t AutoSaveMinutes = 10;                       // 238
    uint8_t HeatAlg = 0;                                // 239
    uint8_t ConsumptionMode = 0;                        // 240
    uint16_t HotHeelTemp = 0;                           // 241, °C
    uint16_t HotHeelMetal = 0;                          // 243, t
    uint16_t HotHeelSlag = 0;                           // 245, t
    uint16_t MagnesiteTemp = 0;                         // 247, °C
    uint16_t MagnesiteMass = 0;                         // 249, kg
    uint16_t ScrapMeltTemp = 0;                         // 251, °C
    double ElectrodeRate = 0;                           // 253, kg/kWh
    double GasHeatToSystem = 0;                         // 261, MJ/m3
    double ElectricHeatCoef = 0;                        // 269
    double LgConstFe = 0;                               // 277
    double FurnaceVolume = 0;                           // 285, m3
    bool AllowCrystallisation = false;                  // 293
    bool AutoInitialEstimate = false;                   // 294
    bool AccurateOptimisation = false;                  // 295
    uint16_t MoltenMaterialTemp = 1600;                 // 296, °C
    std::array<uint8_t, 58> Reserved2{};                // 298

    bool AutoOxygen = true;                             // 356
    bool ShowSomeGases = true;                          // 357
    bool AverageValues = false;                         // 358
    bool LogValues = false;                             // 359
    bool MorePrecision = false;                         // 360
    bool AccurateMetalSample = false;                   // 361
    bool WidenFerroalloys = false;                      // 362
    bool ElementalSlag = false;                         // 363
    bool BetterConvergence = false;                     // 364
    uint8_t GasPressureUnit = 0;                        // 365
    std::array<uint8_t, 14> Reserved3{};                // 366

    uint8_t MetalModel = 0;                             // 380
    uint8_t SlagModel = 0;                              // 381
    uint8_t GasLogMode = 0;                             // 382
    uint8_t CompositionUnit = 0;                        // 383
    uint8_t FinalTempMode = 0;                          // 384
    double MinGasPressure = 1e-10;                      // 385, atm
    bool CalcNmi = false;                               // 393
    bool AutoNmiRadius = false;                         // 394
    bool ExportNmiByMultiple = false;                   // 395
    bool ExportNmiByTemp = false;                       // 396
    uint8_t NmiRcMethod = 0;                            // 397
    double InitialExoNmiShare = 0;                      // 398, % of the initial slag
    double ExoNmiRadius = 0;                            // 406, µm
    double EndoNmiRadius = 0;                           // 414, µm
    double EndoNmiMultiple = 0;                         // 422
    uint16_t NmiTemp = 0;                               // 430, °C
    uint16_t ExportMultipleFrom = 0;                    // 432
    uint16_t ExportMultipleTo = 0;                      // 434
    uint16_t ExportMultipleStep = 0;                    // 436, times 100
    uint16_t ExportMultipleTemp = 0;                    // 438, °C
    uint16_t ExportTempFrom = 0;                        // 440, °C
    uint16_t ExportTempTo = 0;                          // 442, °C
    uint16_t ExportTempStep = 0;                        // 444, °C times 100
    uint16_t ExportTempMultiple = 0;                    // 446
    std::array<uint8_t, 64> Reserved4{};                // 448

    bool operator==(const TSettingsRecord&) const = default;
};

// The options of the whole run.
extern TSettingsRecord Settings;

// Puts the defaults into Settings.
void SetOptionDefaults();

// A text as the record stores it: characters that code page 1251 cannot
// hold become '?', invalid UTF-8 bytes too, and the text is cut to
// `capacity` characters. Callers that set LastProject pass the path through
// this so that memory and file agree; EncodeSettings applies it as well.
std::string FitShortString(const std::string& utf8, std::size_t capacity);

// The record's 512-byte file image.
std::array<uint8_t, SettingsSize> EncodeSettings(const TSettingsRecord& record);

// Reads `size` bytes (at most 512 are used) over `record`: the bytes overlay
// the record's own image from offset 0, so a short image changes only the
// fields (and parts of the string) it covers. Returns the names of the
// fields that held an unusable value and were set to their defaults.
std::vector<std::string> DecodeSettings(const uint8_t* bytes, std::size_t size, TSettingsRecord& record);

// Reads the file over Settings. A missing or unreadable file leaves Settings
// as it is and returns false.
bool ReadSettingsFile(const std::string& path);

// The record holds at most 105 characters of code page 1251; a last project
// it cannot hold exactly is kept whole in the key store beside it, as the
// value "LastProject" of HKCU's ProgramKey.
inline constexpr const char* LastProjectValueName = "LastProject";
// After reading the file: takes the whole path from the key store when the
// record holds the beginning the file can keep of it.
void RestoreWholeLastProject();
// With writing the file: keeps the whole path in the key store when the
// record cannot hold it, and removes a value left from an earlier path
// otherwise. False, with the reason in *error, when the store could not be
// written.
bool KeepWholeLastProject(std::string* error);

// Writes Settings whole (512 bytes) through a temporary file in the same
// folder that then replaces `path`. Returns false, leaving any earlier file
// in place, when the file cannot be written; the caller reports it.
bool WriteSettingsFile(const std::string& path);

} // namespace ferrolyt
