#pragma once
// The results export of the main window: the current heat written into a
// workbook of five sheets (summary, metal-slag-gas compositions, materials,
// thermodynamic functions, gas pressures), and the small workbook routines
// that the export shares with the other workbook writers.

#include "Workbook.h"

#include <array>
#include <optional>
#include <string>

#include <QString>

class QWidget;
class TFForw;

namespace ferrolyt {

class TStringGrid;

// What the export takes from the main window: the texts of its edits and
// its element and gas grids.
struct TExportInputs {
    std::string Pressure, IniTemp, FinalTemp;             // EditP, EditIniT, EditFinT
    std::string MetalMass, SlagMass, Basicity, GasMass;   // EditMetM, EditSlgM, EditOsn, EditGasM
    std::string ChargeMass, ChargeCost;                   // EditMatM, EditCost
    const TStringGrid* ElGrid = nullptr;
    const TStringGrid* GasGrid = nullptr;
};

TExportInputs ExportInputsOf(const TFForw& window);

// ---------------------------------------------------------------------------
// Workbook routines

// Page set-up of a sheet: orientation (1 portrait, 2 landscape), margins in
// cm, the file's name (without folder) centred in the header, "&P of &N" on
// the right.
void SetupSheetPage(TWorksheet& sheet, int orientation, double left, double right, double top, double bottom,
                    const std::string& fileTitle);

// Names the sheet and sets the font, row heights, widths and the bold
// header row and second column.
void FormatSheetColumns(TWorksheet& sheet, const std::string& name, double width1, double width2,
                        double widthOthers);

// Thin inside lines, medium lines around the first row, the second column
// and the whole range.
void DrawRangeBorders(const TRange& range);

// Copies cols x rows cells of a grid (at most 26 columns) from A1, numbers
// as numbers, and frames them.
void GridToSheet(TWorksheet& sheet, const TStringGrid& grid, int cols, int rows);

// A text read as one number (first comma as the point, blanks around
// allowed); nullopt when it does not read.
std::optional<double> ReadNumber(const std::string& text);

// lower, upper and mean of a result text: "a..b" or one value. Unset parts
// are nullopt; the mean of "a..b" is rounded to the decimals shown.
struct TSummaryValues {
    std::optional<double> Lower, Upper, Mean;
};
TSummaryValues SummaryNumberMask(const std::string& text);

using TSummaryArray = std::array<std::array<TCellValue, 6>, 19>;

// Row `row` (1..18) of the summary array: from the text when it is not
// empty, else from the two values (UnsetValue for none).
void PutSummaryRow(int row, const std::string& label, const std::string& unit, long double lower,
                   long double upper, const std::string& text, TSummaryArray& summary);

// "0.00" from 10, "0.000" from 1, "0.0000" from 0.1, else "0.00000".
std::string NumberFormatFor(double value);

// Lower, upper and mean of two results, small values as 0, each rounded to
// its display mask; empty for values that are not numbers.
std::array<TCellValue, 3> PutNumberCells(long double a, long double b);

// ---------------------------------------------------------------------------
// The export

// Writes the five sheets into `book` (which must have at least five).
void BuildResultsWorkbook(TSpreadsheetApp& app, TWorkbook& book, const TExportInputs& in,
                          const std::string& fileTitle);

// The whole export under `fileName` (its extension becomes the workbook
// format's). Returns the name written. TWorkbookError when the file cannot
// be written; then no file is left behind.
std::string ExportResults(const std::string& fileName, const TExportInputs& in);
std::string ExportResults(const TFForw& window, const std::string& fileName);

// The save dialog of the workbook exports: the name the workbook will be
// written under (".xlsx"), empty on Cancel or when the user declines to
// replace an existing file the dialog could not see (a name typed with
// another extension).
std::string AskWorkbookFileName(QWidget* parent, const QString& title, const QString& suggested);

// The menu command: asks for the file name (the current task's name
// offered), then exports. Cancel does nothing; a failure propagates as
// TWorkbookError for the caller's error box.
void ExportResultsCommand(TFForw& window);

} // namespace ferrolyt
