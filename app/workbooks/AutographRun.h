#pragma once
// The autograph runner: checks the dialog's choices, sweeps X over every
// task (or the current one), writes one sheet of X and Y columns with its
// charts per task and optional series sheets, saves the workbook in the
// program folder under a name made of the X and Y codes, and offers to open
// it. The state the run changes (current task, tasks, materials, options) is
// put back at its end.

#include <string>
#include <vector>

namespace ferrolyt {

class TAutographCommands;
struct TAutographSweep;

// The dialog's choices as the runner reads them.
struct TAutographChoices {
    int XKind = -1, YKind = -1;
    std::string XText;          // ComboX's text
    std::string XFactText;      // ComboXfact's text
    int XFactIndex = -1;        // ComboXfact's item (X kind 5: material slot - 1)
    std::string YText;          // ComboY's text
    std::string ElementText;    // ComboElems
    bool ElementEnabled = false;
    std::string PhaseText;      // ComboPhase
    bool PhaseEnabled = false;
    std::string UnitText;       // ComboUnits
    bool UnitEnabled = false;
    std::string RangeX1, RangeX2, StepX, RangeXX1, RangeXX2, StepXX;
    bool AllTasks = false;
    bool SkipBad = false;
    bool Optimise = false;
    bool SeriesEnabled = false, SeriesChecked = false;
    bool Markers = false;
    bool ColourEnabled = false, ColourChecked = false;
    bool NoNeg = false;
    std::vector<int> CheckedGases; // ActiveGases indexes, in list order
};

struct TAutographRunResult {
    bool Ran = false;     // points were computed and a workbook written
    bool Stopped = false; // the user stopped the sweep
    std::string FileName; // the saved workbook
    int Points = 0;       // points computed over all tasks
};

// The warnings of refused choices.
inline constexpr const char* MissingChoicesText = "Задано не всі дані";
inline constexpr const char* BadRangeText = "Вхідний діапазон не визначено";
inline constexpr const char* TooManyPointsText = "Забагато точок: не більше 1000 на одне завдання";

// The workbook's file name (without folder), ending in ".xls".
std::string AutographFileName(const TAutographChoices& choices, const TAutographSweep& sweep,
                              const std::string& taskName);

// A sheet name the workbook accepts: no []:*?/\, at most 31 characters.
std::string SafeSheetName(const std::string& name);

// The whole run. Refused choices show their warning and return Ran false.
TAutographRunResult RunAutographs(const TAutographChoices& choices, TAutographCommands& commands);

} // namespace ferrolyt
