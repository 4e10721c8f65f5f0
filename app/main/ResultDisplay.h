#pragma once
// What the main window shows after a melt, without any widget: the number
// formats, the string grids as plain tables, the display values of an
// element in every unit and mode, the gas list, the result edits and status
// texts, the limit colours and hints of the element grid, and the texts and
// order of the list of alternatives. The window only copies these texts and
// colours into its views, so everything here is tested without a screen.

#include "Constraints.h"
#include "Model.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ferrolyt {

class TThSys;
struct TTaskRecord;

// ---------------------------------------------------------------------------
// Number formats

// The decimal separator of numbers on screen: the user's own, set at
// start-up ('.' until then). Files never go through these formatters.
extern char DisplayDecimalSeparator;

// A number written with '.', with the screen's separator instead.
std::string WithDisplaySeparator(std::string number);
// A text that holds numbers among words and ranges (" Mu/RT: -1.25..0.5"):
// the screen's separator in place of each '.' that stands between digits.
std::string WithDisplaySeparatorInText(std::string text);
// A text of the screen as a file holds it: the screen's separator back to
// '.' (nothing changes while the screen shows '.').
std::string WithFilePoint(std::string shown);

// A number by a format mask: "0", "0.", "0.#", "0.##", "0.00", "0.0e-" ...
// ('0' a digit always written, '#' a decimal written when not a trailing
// zero, "e-" a scientific form whose exponent carries a sign only when it is
// negative). NaN and infinities give an empty text.
std::string FormatFloatMask(const std::string& mask, long double x);

// The "general" float text: fixed notation with `precision` significant
// digits when that needs no more digits before the point than `precision`
// and |x| >= 1e-5, otherwise scientific with at least `digits` exponent
// digits; trailing zeros are dropped.
std::string FormatGeneral(long double x, int precision, int digits);

// One grid value: empty for NaN, infinities and the unset value, "0" below
// 5e-5, otherwise a mask by magnitude (one decimal more with MorePrecision).
std::string FormatValue(long double x);

// The two systems' values as "a..b" (see the implementation for the rules).
std::string FormatRange(int precision, bool ordered, long double a, long double b);

// A partial pressure (atm) in the gas grid's unit and log mode. The display
// threshold is compared with the pressure in atm, before any conversion.
std::string FormatPressure(long double pAtm, long double threshold);

// ---------------------------------------------------------------------------
// String grids

class TStringGrid {
public:
    TStringGrid(int colCount, int rowCount);

    int ColCount() const { return cols_; }
    int RowCount() const { return rows_; }
    // Keeps the cells that still fit.
    void SetRowCount(int rows);

    // Cells outside the grid read as empty and are not written.
    const std::string& Cell(int col, int row) const;
    void SetCell(int col, int row, const std::string& text);

    // Empties columns fromCol .. ColCount-1 of every row except row 0.
    void ClearColumns(int fromCol);

    // Bumped by every change, so that views know when to redraw.
    uint64_t Version() const { return version_; }

private:
    int cols_;
    int rows_;
    std::vector<std::string> cells_;
    uint64_t version_ = 0;
};

// Splits a header list: items separated by commas, an item in double quotes
// keeps its blanks and commas.
std::vector<std::string> SplitHeaderList(const std::string& header);

// Row 0 := the header list.
void SetGridHeader(TStringGrid& grid, const std::string& header);

inline constexpr int ElGridColumns = 27;
extern const char* const ElGridHeader;
extern const char* const MatGridHeader;
extern const char* const GasGridHeader;

// Unit names of the element grid's header cells 3, 5, 7, 9, 11.
inline constexpr std::array<const char*, 4> CompositionUnitNames = {"мас%", "моль%", "кг", "кмоль"};
// The options dialog's names of the same units (status panel 3).
inline constexpr std::array<const char*, 4> CompositionUnitTexts = {"масові %", "мольні %", "кілограми",
                                                                     "кіломолі"};

// ---------------------------------------------------------------------------
// Display state that is not saved with the options.

// Element amounts relative to the system's total, or to the element's own
// total; never both.
extern bool ElemRelToSystem;
extern bool ElemRelToElement;
// Gas-species rows now in the gas grid.
extern int GasLineCount;

// Row of the totals in the element grid.
int TotalsRow();

// ---------------------------------------------------------------------------
// The element and materials grids

// Step 1-3 of a system's display: the five display values of every element
// (total, metal, slag, gas, NMI) in the current unit and mode, logarithms and
// the mean with `lower` (the lower-bound system, already displayed) applied;
// stored in each element's DisplayValues.
void ComputeDisplayValues(TThSys& sys, const TThSys* lower);

// Writes one system into columns 2..11 of the element grid, and with
// showMaterialAmounts the charged amounts into column 2 of the materials
// grid. `lower` is the lower-bound system, used for the mean.
void ShowSystemInGrid(TThSys& sys, bool showNmi, bool showMaterialAmounts, TStringGrid& elGrid,
                      TStringGrid& matGrid, const TThSys* lower);

// Unit names in the header, the totals label and columns 12..26.
void FillElementExtraColumns(TStringGrid& elGrid, const TThSys& s0, const TThSys& s1);

// ---------------------------------------------------------------------------
// The gas grid

struct TGasLine {
    std::string Name;
    long double P0 = 0, P1 = 0, Mean = 0;
};

// The active species whose pressure reaches the threshold in either system
// (NaN counts as 0), in ActiveGases order.
std::vector<TGasLine> SelectGasLines(const TThSys& s0, const TThSys& s1, long double threshold);

// Largest mean first: a Shell sort with gaps 2^floor(log2 n) - 1, halved;
// equal means keep their order.
void SortGasLines(std::vector<TGasLine>& lines);

// Fills the gas grid (rows, "P tot", "V m3") and sets GasLineCount.
void FillGasGrid(TStringGrid& gasGrid, const TThSys& s0, const TThSys& s1);

// ---------------------------------------------------------------------------
// Result edits and status panels

struct TResultTexts {
    std::string MetalMass, SlagMass, GasMass, NmiMass, Basicity, SlagCharge, FinalTemp;
    std::string ChargeMass, ChargeCost;
};

// `fewerDigits` drops significant digits from every range (one stays), for
// an edit too narrow for the whole range.
TResultTexts ResultEditTexts(const TThSys& s0, const TThSys& s1, int fewerDigits = 0);

// Writes the charged amounts into the materials grid's column 2, sets
// ChargeTotal to the whole charge (the denominator of the material shares)
// and fills ChargeMass (materials forming a phase) and ChargeCost.
void FillChargeTexts(TStringGrid& matGrid, TResultTexts& texts);

// Texts of the status panels 0, 1, 2, 3, 5, 7 and 8 after a display
// (panels 4 and 6 are left as they are: empty texts).
std::array<std::string, 9> ResultStatusTexts(const TThSys& s0, const TThSys& s1, int64_t stopCounter);

// Texts of the panels after the results were cleared (the same slots).
std::array<std::optional<std::string>, 9> ClearedStatusTexts();

// ---------------------------------------------------------------------------
// Colours and hints of the element grid

struct TRgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TRgb&) const = default;
};

// Background of an element-grid column from 2; none from column 12.
std::optional<TRgb> ElementColumnBackground(int col);

// The limit colouring of one cell, or none when its value is within its
// limits (or the cell has no limits).
std::optional<TRgb> ElementCellColour(int col, int row, const TThSys& s0, const TThSys& s1,
                                      const TTaskRecord* task);

// The red level 0..255 of a value outside [lower, upper] by at least tol,
// scaled by the spread of the two systems; none when it is within.
struct TLimitTest {
    bool LowerSet = false, UpperSet = false;
    long double Lower = 0, Upper = 0;
    long double Tolerance = 0;
};
std::optional<int> LimitRedLevel(const TLimitTest& t, long double value, long double value0, long double value1);

// The hint of a selected cell (element rows, columns 2..5, non-empty cell).
std::string ElementLimitHint(int col, int row, const TThSys& s0, const TThSys& s1, bool cellEmpty);

// The hint of a header cell (columns 2..26), empty elsewhere.
std::string ElementHeaderHint(int col);

// ---------------------------------------------------------------------------
// Alternatives of an optimisation

struct TAlternativeTexts {
    std::string Given;    // "Задане"
    std::string Expected; // "Очiкуване"
    bool LimitMet = false;
};

// The texts of a released block and whether the charge found meets the
// block's own limit. Slag compounds compare compound fractions with the
// compound limits.
TAlternativeTexts AlternativeTexts(const TConstraintBlockRecord& block, const TThSys& s0, const TThSys& s1,
                                   const TTaskRecord& task);

struct TAlternative {
    std::string Name;
    int32_t Block = 0;
    std::string Given, Expected;
    long double Cost = 0; // price × amount of Charge, as computed, not as shown
    // The charge found with the block released, one amount per material
    // slot: choosing the alternative shows this charge, not a new run's.
    std::vector<long double> Charge;
    int32_t Passes = 0; // of the run that found it
};

// Cheapest first; equal costs keep their order.
void SortAlternatives(std::vector<TAlternative>& list);

// The cost column's text: a whole number.
std::string CostText(long double cost);

} // namespace ferrolyt
