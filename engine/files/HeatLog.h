#pragma once
// An arc-furnace heat log (*.HEA): one row per time step with the electric
// energy, the heat losses, the gas and oxygen volumes, the measured bath
// temperature, the kilograms of each charged material, and on some rows the
// analysis of a metal sample. The log is read whole into the globals below;
// the replay (HeatReplay.h) walks its rows.
//
// The file is text in code page 1251. Line 1 names the material columns
// after a '|'; every further line is a row:
//   time  electric(kWh)  losses(kWh)  gas(m3)  oxygen(m3)  T(°C)  kg...  /C=0.31/Mn=0.45
// Numbers are separated by blanks, tabs or line ends, as a runtime text
// reader reads them, so a row may continue on the next line; the sample is
// whatever is left on the line where the row's last number stood.
//
// A load is all or nothing: a log that cannot be read, or that holds text
// where a number belongs, or that exceeds the fixed limits, leaves the
// globals cleared and shows "Неможливо завантажити файл " with the file
// name and the reason.

#include "Model.h"
#include "OffsetArray.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ferrolyt {

inline constexpr int MaxHeatLogRows = 1500;
inline constexpr int MaxHeatColumns = 12;                      // named + the three computed ones
inline constexpr int MaxNamedHeatColumns = MaxHeatColumns - 3; // 9
inline constexpr int MaxHeatMeasurements = 10;
inline constexpr int MaxHeatSamples = 15;
inline constexpr std::size_t HeatFileNameLength = 8;

// Names of the materials the replay needs besides the log's own columns.
inline constexpr const char* ScrapMeanName = "Лом_ср";
inline constexpr const char* OxygenName = "Кислород";
inline constexpr const char* ElectrodesName = "Электроды";
inline constexpr const char* MagnesiteName = "Маг_зит";
inline constexpr const char* HotHeelMetalName = "Болото М";
inline constexpr const char* HotHeelSlagName = "Болото Ш";
inline constexpr const char* ScrapPrefix = "Лом";

// One row of the log. Energies are MJ (the log's kWh × 3.6, rounded).
struct THeatLogRecord {
    uint16_t Time = 0;
    float ElectricEnergy = 0;
    float LossEnergy = 0;
    float Gas = 0;    // m3
    float Oxygen = 0; // m3
    OffsetArray<float, 1, MaxHeatColumns> Values{}; // kg per column
    uint8_t MeasurementNumber = 0; // into HeatMeasurements, 0 = none
    uint8_t SampleNumber = 0;      // into HeatSamples, 0 = none
};

struct THeatMeasurement {
    uint16_t Row = 0;
    uint16_t Time = 0;
    int32_t Temperature = 0; // °C, rounded
};

struct THeatSample {
    uint16_t Row = 0;
    uint16_t Time = 0;
    std::array<double, MaxElements> Percent{}; // mass % in the metal by system element, 0 = not given
};

extern OffsetArray<THeatLogRecord, 1, MaxHeatLogRows> HeatLog;
// Running totals over rows 1..i; Time is row i's, Oxygen and the numbers stay 0.
extern OffsetArray<THeatLogRecord, 1, MaxHeatLogRows> HeatLogTotals;
extern int32_t HeatLogCount;

extern int32_t HeatColumnCount;
extern int32_t ScrapMeanColumn;
extern OffsetArray<std::string, 1, MaxHeatColumns> ColumnName;
extern OffsetArray<int32_t, 1, MaxHeatColumns> ColumnMaterial; // MaterialTable slot, -1 when missing
extern OffsetArray<bool, 1, MaxHeatColumns> ColumnIsScrap;
extern int32_t ScrapMeanMaterial;

extern OffsetArray<THeatMeasurement, 1, MaxHeatMeasurements> HeatMeasurements;
extern int32_t HeatMeasurementCount;
extern OffsetArray<THeatSample, 1, MaxHeatSamples> HeatSamples;
extern int32_t HeatSampleCount;

// The log's base name cut to 8 characters; empty when no log is loaded.
extern std::string HeatFileName;

// System element indexes of C, Si, Mn, S and P of ThSystems[0] at load
// (-1 when absent), for the sample charts.
struct THeatKeyElements {
    int C = -1, Si = -1, Mn = -1, S = -1, P = -1;
};
extern THeatKeyElements HeatKeyElements;

// Zeroes the log and the replay's sums.
void ClearHeatLog();

// "TFHeat.LoadHeatFile": reads a log into the globals. An empty name only
// clears them. On success the project key "HeaFile" names the log and the
// composition of "Лом_ср" becomes the mass-weighted mean of the log's scrap.
// Returns false (after the warning) when nothing was loaded.
bool LoadHeatFile(const std::string& fileName);

// The same from lines already decoded to UTF-8; `fileName` names the log in
// messages and gives HeatFileName. Does not touch the project.
bool LoadHeatFromLines(const std::vector<std::string>& lines, const std::string& fileName);

// The replay's materials that the materials file lacks, in the order the
// replay needs them (the log's columns first). Empty when all are there.
std::vector<std::string> MissingHeatMaterials();

// The sums of a replay of the loaded log (HeatReplay.h), defined beside the
// replay: zeroed by every load and at the start of every replay, kept after
// it for the display and the batch report.
extern long double SolidScrap;       // t charged and not yet melted
extern long double MeltedScrapTotal; // t melted since the start
extern long double StepMelt;         // t melted in the current step
extern long double HeatCorrection;   // MJ added by temperature calibration (accumulated mode)
extern std::array<long double, 2> SlagRunOff; // t of slag run off, per system
extern long double SampleErrorSum;
extern long double TempErrorSum;
extern long double TempErrorSquareSum;
extern long double LastSlagMass; // mean slag mass of the last shown step, t
// True while a replay may go on; the replay stops after the step during
// which it became false.
extern bool HeatRunning;

void ClearHeatReplaySums();

} // namespace ferrolyt
