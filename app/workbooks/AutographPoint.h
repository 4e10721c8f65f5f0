#pragma once
// One point of an autograph sweep: the sweep's X is written into the current
// task (or into ChargePortion), the heat is melted or optimised on both
// systems, and the Y of every curve is read from the two solved systems as
// the mean of the lower and the upper one. Also the sweep's working state,
// the code lists that name its choices, and its list of X points.
//
// The main window's commands reach the point through TAutographCommands, so
// that the point runs as well with the engine alone (tests) as with the
// window, whose melt also shows the results.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ferrolyt {

struct TTaskRecord;

// Chosen X and Y kinds (the dialog's combo boxes' item indexes).
extern uint8_t AutographX;
extern uint8_t AutographY;

inline constexpr int AutographXKinds = 10;
inline constexpr int AutographYKinds = 10;

// Short codes of the kinds, used in the workbook's file name.
extern const std::array<const char*, AutographXKinds> AutographXCodes;
extern const std::array<const char*, AutographYKinds> AutographYCodes;
// Item texts of the two combo boxes.
extern const std::array<const char*, AutographXKinds> AutographXItems;
extern const std::array<const char*, AutographYKinds> AutographYItems;

// Phases by their first three characters, and units by their whole text.
extern const std::array<const char*, 6> AutographPhaseCodes;
extern const std::array<const char*, 18> AutographUnitCodes;

enum TAutographPhase : int { apMetal = 0, apSlag = 1, apGas = 2, apNmi = 3, apSystem = 4, apPresence = 5, apNone = 6 };
enum TAutographUnit : int {
    auKg = 0, auT = 1, auKmol = 2, auMmol = 3, auMassPct = 4, auMolePct = 5, auKgPerT = 6, auKPa = 7,
    auPa = 8, auAtm = 9, auMmHg = 10, auCelsius = 11, auKelvin = 12, auKPerT = 13, auKPerKgT = 14,
    auCu = 15, auUah = 16, auKJPerKgK = 17
};

// Phase code of a phase item (its first three characters), 6 when `enabled`
// is false; unit code of a unit text, -1 when it is not listed.
int AutographPhaseCode(const std::string& phaseText, bool enabled);
int AutographUnitCode(const std::string& unitText);
// Genitive name of an element symbol for the Y caption; empty when the
// program knows none.
std::string ElementGenitiveName(const std::string& symbol);

// Sweeps larger than this are refused.
inline constexpr int MaxAutographPoints = 1000;

// One X range of a sweep.
struct TSweepRange {
    double From = 0, To = 0, Step = 0; // Step carries the direction of the range
    int Steps = 0;                     // points after From
};

// Reads a range from its three texts ('.' or ',' as the decimal point).
// nullopt when a text does not read, when From = To, when the step is 0, or
// when a negative step goes against a rising range. The step gets the
// direction of the range.
std::optional<TSweepRange> ParseSweepRange(const std::string& from, const std::string& to,
                                           const std::string& step);

// The X of every point of a task: the first range whole, then the second
// one without its first end. Each X is held at the end of its range.
std::vector<double> SweepPoints(const TSweepRange& first, const std::optional<TSweepRange>& second);

// The working state of one sweep, shared by the runner, the point and the
// charts.
struct TAutographSweep {
    int XKind = 0, YKind = 0;
    TSweepRange First;
    std::optional<TSweepRange> Second;
    int RowsTotal = 1; // points per task

    std::string XCaption, YCaption;
    int ElementIndex = -1; // -1: all elements
    int PhaseCode = apNone;
    int UnitCode = -1;

    bool AllTasks = false, SkipBad = false, Optimise = false, Series = false, Markers = false,
         Colour = false, NoNeg = false;

    int TaskCount = 1, SeriesSheets = 0, Curves = 1;
    int Row = 0;       // points written in the current task
    int TasksDone = 0; // tasks of this run already finished
    int FixedMaterial = 0;      // X kind 5: the MaterialTable slot whose amount is fixed
    std::vector<int> GasSpecies; // Y kind 2: ActiveGases indexes of the curves
    bool NewFormat = true;       // the workbook is of the newer format

    double X = 0; // the point's X, and after the point the X it reached

    // XTable[0] and [1]: the minimum and maximum of the recorded X; [1 + r]
    // the X of point r. YTable[row][c] the same for curve c (1..Curves).
    std::vector<double> XTable;
    std::vector<std::vector<double>> YTable;

    // Zeroes both tables for a new task and opens their ranges.
    void ResetTables();
    double& Y(int curve) { return YTable[static_cast<std::size_t>(Row + 1)][static_cast<std::size_t>(curve)]; }
    // Whether some point widened curve c's range (or the X range for c = 0).
    bool HasRange(int curve) const;
};

// A Y cell that a point left without a value.
inline constexpr double UnsetY = static_cast<double>(-1e20f);

// What a point needs of the main window. The defaults work on the engine
// alone; the main window passes its own commands, which also show results.
class TAutographCommands {
public:
    TAutographCommands() = default;
    TAutographCommands(const TAutographCommands&) = delete;
    TAutographCommands& operator=(const TAutographCommands&) = delete;
    virtual ~TAutographCommands() = default;

    // The melt of the current task's recommended charge. False when it
    // computed nothing (an empty charge without initial metal or slag).
    virtual bool MeltButClick();
    virtual void PrepareSystems();
    // The busy state of an optimisation (CalcBusy, StopRequested).
    virtual void SetIdle(bool idle);
    virtual bool BuildConstraintBlocks();
    virtual int32_t Optimise(int32_t released);
    // Solves (when recompute) and shows both systems.
    virtual void ShowForwardProblem(bool recompute);
    // Lets pending window messages run.
    virtual void ProcessMessages();
    // The run's progress bar, 0..100.
    virtual void SetProgress(int percent);
    // Whether the user asked the sweep to stop.
    virtual bool SweepStopRequested();
    // After a run: shows the current task again, as it was before the run.
    virtual void RefreshCurrentTask();
    // Shows a saved workbook to the user.
    virtual void OpenWorkbook(const std::string& fileName);
};

// Writes X into the task (or into ChargePortion). X kind 9 melts once with
// no slag charge to learn the slag's moles. False when X could not be
// applied (X kind 5 in a task that already lists the most materials).
bool ApplyAutographX(TAutographSweep& sweep, TTaskRecord& task, double x, TAutographCommands& commands);

// The X a point reached, for the kinds whose X follows from the solution
// (3, 6, 7, 9); the asked X for the others.
double RecordedAutographX(const TAutographSweep& sweep, const TTaskRecord& task, double asked);

// Reads the Y of every curve from the two solved systems into the sweep's
// current row.
void ReadAutographY(TAutographSweep& sweep);

// The whole point: X applied, melt or optimisation, X recorded, Y read, the
// tables' ranges widened. Uses sweep.X and sweep.Row (already counted).
void ComputeAutographPoint(TAutographSweep& sweep, TAutographCommands& commands);

} // namespace ferrolyt
