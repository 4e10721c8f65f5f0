#pragma once
// The tables of the effects and properties window without any widget: what
// adding one tonne of a material (or of an element) does to the metal, the
// slag and the gas, the properties of the charge materials and their
// analyses, each value taken from the lower-bound system, the upper-bound
// system or their mean. The window only copies these texts into its grid,
// and the export turns that grid into a workbook.

#include "Model.h"
#include "ResultDisplay.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ferrolyt {

class TThSys;
class TWorkbook;

// The five views, in the order of the window's tabs.
enum TDkmView : uint8_t {
    dkmProperties = 0,
    dkmMetal = 1,
    dkmSlag = 2,
    dkmGas = 3,
    dkmComposition = 4,
    DkmViewCount = 5
};

// Which system a number comes from.
enum class TDkmBound : uint8_t { Low, High, Mean };

// The popup menu's choices that shape a table.
struct TDkmChoices {
    bool MaterialRows = true; // effects of materials, else of elements
    bool InKg = true;         // changes in kg, else in mass %
    bool OxideSlag = true;    // slag columns as oxides, else as elements
    TDkmBound Bound = TDkmBound::Mean;
};

// The view on screen, and the data rows it holds (the export reads both).
extern uint8_t DkmViewMode;
extern int32_t DkmRowCount;

inline constexpr int DkmGridColumns = 20; // at least; more when the system has more elements
inline constexpr int DkmGridRows = 101;
inline constexpr int DkmPropertiesColumns = 12;

// v0 (Low), v1 (High) or their mean.
long double BoundValue(TDkmBound bound, long double v0, long double v1);

// True for the views whose rows may be elements instead of materials.
bool IsEffectView(uint8_t view);
// True when the view's rows are the system's elements.
bool HasElementRows(uint8_t view, const TDkmChoices& choices);

// E_k[i][r] of an effect view: the change of element i's mass (t) in the
// view's phase per tonne of row r, for system kind k. Row r is a material
// slot (1 .. MaterialCount + 3) or an element index (0 .. SystemElemLast).
long double EffectEntry(uint8_t view, bool materialRows, int kind, int i, int r);

// Each element's share of the view's phase and the phase's mass (t).
struct TPhaseShares {
    std::array<long double, MaxElements> Fraction{};
    long double Mass = 0;
};
TPhaseShares PhaseShares(uint8_t view, const TThSys& sys);

// One row of an effect view as displayed: the phase's mass change (column 2)
// and each element's change (columns 3 + i), in kg or in mass %, by bound.
struct TEffectRow {
    long double MassChange = 0;
    std::vector<long double> Elements;
};
TEffectRow EffectRowValues(uint8_t view, const TDkmChoices& choices, const TThSys& s0, const TThSys& s1,
                           int r);

// The temperature (°C) a material is taken at: its own, else the current
// task's ambient temperature, else 20.
long double MaterialShownTemperature(const TMaterialRecord& m);

// "e", "з", "м", "ш", "г" by material type; types above 4 form metal.
std::string PhaseLetter(uint8_t type);

// The heat to bring each material to the molten-material temperature and its
// heat capacity there, per system kind. Runs on copies of the two systems, so
// that the solved state on screen is kept.
void CalcMoltenHeatsOnCopies(const TThSys& lower, const TThSys& upper);

// The material's recovery and the mass % of element i in material slot j
// (the analysis divided by the recovery), by bound.
long double RecoveryShown(TDkmBound bound, const TMaterialRecord& m);
long double CompositionPercent(TDkmBound bound, int i, int j);

// Columns the grid needs: 20, or more for a system of more than 17 elements.
int DkmGridColumnCount();

struct TDkmTexts {
    std::string Caption;
    std::string Status;
};

// Rebuilds the grid for a view from the model's current state; sets
// DkmRowCount and returns the window's caption and status text.
TDkmTexts FillDkmGrid(TStringGrid& grid, uint8_t view, const TDkmChoices& choices, const TThSys& s0,
                      const TThSys& s1);

// An edited cell of the Properties view: column 2 sets the
// material's temperature (°C), column 11 its price. Rows beyond the real
// materials and texts that do not read store nothing (false).
bool StoreDkmCell(uint8_t view, int col, int row, std::string_view text);

// ---------------------------------------------------------------------------
// Export

// The suggested file name: "<tab caption>_<task>", first 27 characters.
std::string DkmExportFileName(const std::string& tabCaption, const std::string& taskText);

struct TDkmExport {
    const TStringGrid* Grid = nullptr;
    uint8_t View = dkmProperties;
    int RowCount = 0;         // data rows (DkmRowCount)
    std::string Caption;      // the window's caption
    std::string TaskText;     // the main window's task
    std::vector<int> ColumnWidths; // pixels, per grid column
    // The mass column is the sum of the element columns (see
    // MassIsSumOfElements): written as that formula with the shown value.
    bool MassIsRowSum = false;
};

// True when an effect view's mass change is the plain sum of its element
// columns: changes in kg, and the slag's columns as elements.
bool MassIsSumOfElements(uint8_t view, const TDkmChoices& choices);

// Columns the export writes for a view.
int DkmExportColumnCount(uint8_t view);

// Fills the first sheet of a workbook with the table.
void FillDkmWorkbook(TWorkbook& book, const TDkmExport& table);

// Writes the table into a new workbook saved under fileName, whose
// extension is made to match the workbook's format. Returns the name the
// file was saved under; TWorkbookError when it could not be written.
std::string ExportDkmTable(const TDkmExport& table, std::string fileName);

} // namespace ferrolyt
