#pragma once
// The batch report over all heat logs of a folder: one line of calibration
// errors per log, their averages, the settings and constants used, the
// computing time; written as "<n>.RES" where n follows the run counter kept
// in "NUM.TXT" of the same folder.
//
// The report is written first and the counter afterwards, each through a
// temporary file, so a failure never loses an earlier report and the
// counter never goes back. A number whose report already exists is skipped.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ferrolyt {

inline constexpr const char* RunCounterFileName = "NUM.TXT";

// The options dialog's groups and items the window and the report name.
inline constexpr const char* HeatAlgGroupCaption = " Алгоритм розрахунку ";
inline constexpr std::array<const char*, 3> HeatAlgItems = {"Зміщення lgK [Fe)", "Частка рівноваги", "Реакційна зона"};
inline constexpr const char* ConsumptionGroupCaption = " Витрати ";
inline constexpr std::array<const char*, 2> ConsumptionItems = {"Порційні", "Накопичені"};
inline constexpr const char* FinalTempGroupCaption = " Розрахунок кінцевої температури ";
inline constexpr std::array<const char*, 3> FinalTempItems = {"Ні", "Точний", "Спрощ."};

// The item of a choice list, empty for an index outside it.
template <std::size_t N>
std::string ChoiceItem(const std::array<const char*, N>& items, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < N ? items[static_cast<std::size_t>(index)] : "";
}

// One log's results. NaN marks a mean that the log cannot give (no samples,
// no measurements, a replay that could not run).
struct THeatBatchEntry {
    std::string Name;
    long double Slag = 0;        // t, the last step's mean slag
    long double SampleError = 0; // mean composition error, mass %
    long double TempError = 0;   // mean temperature error, K
    long double TempRms = 0;     // root mean square, K
    int32_t Rows = 0;
};

// The entry of the log just replayed, from the replay's sums.
THeatBatchEntry CurrentHeatBatchEntry(bool replayed);

// The report's lines; `seconds` is the computing time of the whole batch.
std::vector<std::string> HeatBatchReportLines(const std::vector<THeatBatchEntry>& entries, long double seconds);

// The number of the next report: the counter in NUM.TXT plus one (0 when
// there is no counter yet), moved past any report that already exists.
// False, with a message, when NUM.TXT exists but holds no integer.
bool NextHeatReportNumber(const std::filesystem::path& folder, int& number, std::string* error = nullptr);

// Writes "<number>.RES" and then NUM.TXT with `number`. False, with a
// message, when either could not be written; files not yet replaced stay.
bool WriteHeatBatchReport(const std::filesystem::path& folder, int number, const std::vector<std::string>& lines,
                          std::string* error = nullptr);

} // namespace ferrolyt
