#pragma once
// A small spreadsheet workbook kept in memory and written as an .xlsx file
// when it is saved. It offers the objects and members the exports and the
// autograph sweeps work with: an application that creates workbooks, sheets
// reached by index, ranges by address with values, formulas, number formats,
// fonts, alignment, borders, merged cells, row heights and column widths,
// page set-up, and XY-scatter charts. Numeric codes (alignment, border
// weights, colour indexes, chart and marker types) are the spreadsheet
// program's own, so that callers send the same numbers they would send it.
//
// The file writer works in one pass, so nothing reaches the disk before
// SaveAs; a failed save leaves no file behind and throws TWorkbookError.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace ferrolyt {

// Codes of the spreadsheet program's automation interface.
namespace xl {
inline constexpr int OpenXMLWorkbook = 51; // FileFormat of the newer format
inline constexpr int Excel8 = 56;          // FileFormat of the older binary format
inline constexpr int Automatic = -4105;
inline constexpr int None = -4142;
inline constexpr int Continuous = 1;
inline constexpr int Hairline = 1;
inline constexpr int Thin = 2;
inline constexpr int Medium = -4138;
inline constexpr int Thick = 4;
inline constexpr int EdgeLeft = 7, EdgeTop = 8, EdgeBottom = 9, EdgeRight = 10;
inline constexpr int InsideVertical = 11, InsideHorizontal = 12;
inline constexpr int PasteFormats = -4122;
inline constexpr int XYScatter = -4169;
inline constexpr int Portrait = 1, Landscape = 2;
inline constexpr int MarkerSquare = 1, MarkerDiamond = 2, MarkerTriangle = 3, MarkerCircle = 8;
} // namespace xl

class TWorkbookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// Addresses

inline constexpr int MaxSheetRows = 1048576;
inline constexpr int MaxSheetColumns = 16384;

// A block of cells, 1-based and inclusive. Whole columns run over every row,
// whole rows over every column.
struct TCellRect {
    int Row1 = 1, Col1 = 1, Row2 = 1, Col2 = 1;
    bool WholeRows() const { return Col1 == 1 && Col2 == MaxSheetColumns; }
    bool WholeColumns() const { return Row1 == 1 && Row2 == MaxSheetRows; }
    int RowCount() const { return Row2 - Row1 + 1; }
    int ColCount() const { return Col2 - Col1 + 1; }
    bool Contains(int row, int col) const { return row >= Row1 && row <= Row2 && col >= Col1 && col <= Col2; }
    bool operator==(const TCellRect&) const = default;
};

// "A", "Z", "AA" ... for 1, 26, 27 ...
std::string ColumnLetters(int col);
// "B3"
std::string CellAddress(int row, int col);
// "A1", "A1:F19", "$A$1", "C:C", "D:E", "1:1", "3:5"; nullopt when unreadable.
std::optional<TCellRect> ParseRangeAddress(const std::string& address);

// ---------------------------------------------------------------------------
// Cells and formats

// RGB as 0xRRGGBB.
using TRgbColour = uint32_t;
// The colour of an index of the program's default 56-colour palette;
// nullopt for the automatic colour and indexes outside the palette.
std::optional<TRgbColour> PaletteColour(int colorIndex);

struct TBorderLine {
    int LineStyle = xl::Continuous; // xl::None removes the line
    int Weight = xl::Thin;
    int ColorIndex = xl::Automatic;
    bool operator==(const TBorderLine&) const = default;
};

// Every member is optional: a format set on a range changes only the members
// it names.
struct TCellFormat {
    std::optional<std::string> NumberFormat;
    std::optional<std::string> FontName;
    std::optional<double> FontSize;
    std::optional<bool> Bold;
    std::optional<TRgbColour> FontColour;
    std::optional<int> HorizontalAlignment;
    std::optional<int> VerticalAlignment;
    std::optional<bool> WrapText;
    // Left, top, bottom, right.
    std::array<std::optional<TBorderLine>, 4> Borders{};

    void Overlay(const TCellFormat& patch);
    bool operator==(const TCellFormat&) const = default;
};

using TCellValue = std::variant<std::monostate, double, std::string>;

struct TCell {
    TCellValue Value;     // for a formula: its result, empty until known
    std::string Formula;  // "=SUM(A1:A3)", empty for a plain value
    TCellFormat Format;
};

using TValueArray = std::vector<std::vector<TCellValue>>;

class TWorksheet;
class TWorkbook;

// A block of one sheet; cheap to copy.
class TRange {
public:
    TRange(TWorksheet& sheet, const TCellRect& rect) : sheet_(&sheet), rect_(rect) {}

    const TCellRect& Rect() const { return rect_; }
    TWorksheet& Sheet() const { return *sheet_; }
    std::string Address() const;

    // Every cell of the range gets the value.
    void SetValue(const TCellValue& value) const;
    // Fills the range cell by cell from the array's top-left; cells of the
    // range beyond the array's size are emptied, array entries beyond the
    // range are dropped.
    void SetValues(const TValueArray& values) const;
    TValueArray Values() const;
    // A formula with the result the caller knows; without one the result is
    // computed when the workbook is saved.
    void SetFormula(const std::string& formula, std::optional<TCellValue> result = std::nullopt) const;
    void ClearContents() const;

    void SetNumberFormat(const std::string& mask) const;
    void SetFontName(const std::string& name) const;
    void SetFontSize(double size) const;
    void SetBold(bool bold) const;
    void SetFontColour(TRgbColour rgb) const;
    void SetFontColorIndex(int index) const;
    // Both the legacy codes (1 general, 2 left, 3 centre, 4 right) and the
    // named constants are accepted.
    void SetHorizontalAlignment(int code) const;
    // 1 top, 2 centre, 3 bottom (also the named constants).
    void SetVerticalAlignment(int code) const;
    void SetWrapText(bool wrap) const;
    void SetRowHeight(double points) const;
    void SetColumnWidth(double characters) const;
    void Merge() const;
    // Borders(index) with an edge or inside index (xl::EdgeLeft ..).
    void SetBorder(int index, const TBorderLine& line) const;
    void BorderAround(int lineStyle, int weight, int colorIndex) const;
    // Copy, then PasteSpecial with xl::PasteFormats on `target`: the formats
    // and merged cells of this range go to the block of the same size at
    // the target's top-left cell.
    void CopyFormatsTo(const TRange& target) const;
    // Delete with the cells to the right shifting left.
    void DeleteShiftLeft() const;

private:
    void Format(const TCellFormat& patch) const;
    TWorksheet* sheet_;
    TCellRect rect_;
};

struct TPageSetup {
    int Orientation = xl::Portrait;
    std::string CenterHeader, RightHeader;
    // Points.
    double LeftMargin = 51.0, RightMargin = 51.0, TopMargin = 54.0, BottomMargin = 54.0;
    double HeaderMargin = 21.6;
    bool PrintTitleFirstRow = false, PrintTitleFirstColumn = false;
    bool PrintGridlines = false;
    int Order = 1; // 1 down then over, 2 over then down
    // Zoom false and FitToPagesWide/Tall: the print scaled to so many pages.
    std::optional<int> FitToPagesWide, FitToPagesTall;
};

struct TChartAxis {
    bool HasMajorGridlines = false;
    std::optional<double> MinimumScale, MaximumScale;
    int BorderWeight = xl::Thin;
    bool HasTitle = false;
    std::string Title;
    bool TitleBold = false;
    int TickLabelBackground = xl::Automatic;
    std::optional<TRgbColour> Fill; // none for -1
};

struct TChartSeries {
    std::string Name;         // a text name, or
    std::optional<TCellRect> NameCell;
    TCellRect XValues, YValues;
    int MarkerStyle = xl::Automatic;
    int MarkerSize = 5;
    std::optional<int> MarkerForegroundColorIndex, MarkerBackgroundColorIndex;
    std::optional<int> BorderColorIndex;
    std::optional<int> BorderWeight;
    bool Smooth = false;
};

class TChart {
    static std::array<TChartAxis, 2> ValueAxisWithGridlines()
    {
        std::array<TChartAxis, 2> axes;
        axes[1].HasMajorGridlines = true;
        return axes;
    }

public:
    // Points on the sheet.
    double Left = 0, Top = 0, Width = 400, Height = 300;
    int ChartType = xl::XYScatter;
    int PlotBy = 2; // 2 columns, 1 rows
    bool HasTitle = false;
    std::string Title;
    bool HasLegend = true;
    std::optional<int> LegendInteriorColorIndex;
    // The plot area's place inside the chart (points); kept for the caller,
    // the file leaves the layout to the reading program.
    std::optional<double> PlotAreaLeft, PlotAreaTop, PlotAreaWidth, PlotAreaHeight;
    std::optional<int> PlotAreaInteriorColorIndex;
    bool AutoScaleFont = true;
    double FontSize = 10;
    std::string FontName = "Arial";
    int BorderLineStyle = xl::Continuous;
    // [0] Axes(1), the X axis; [1] Axes(2), Y, which has major gridlines
    // as in a new chart of the spreadsheet program.
    std::array<TChartAxis, 2> Axes = ValueAxisWithGridlines();

    std::vector<TChartSeries> Series;

    explicit TChart(TWorksheet& sheet) : sheet_(&sheet) {}

    // SetSourceData with an address list "A1:A20;B1:D20" (',' also
    // separates): the first block holds X, every column of the other blocks
    // is one series (PlotBy 2). A first row of texts gives the series names.
    void SetSourceData(const std::string& addresses);
    // Axes(1) or Axes(2).
    TChartAxis& Axis(int index);
    // SeriesCollection(s), 1-based.
    TChartSeries& SeriesAt(int s);
    // The Y axis minimum as the program would use it: the one set, else 0
    // for data that are all at or above 0, else the smallest value.
    double YMinimumScale() const;

private:
    TWorksheet* sheet_;
};

class TWorksheet {
public:
    TWorksheet(TWorkbook& book, std::string name) : book_(&book), name_(std::move(name)) {}
    TWorksheet(const TWorksheet&) = delete;
    TWorksheet& operator=(const TWorksheet&) = delete;

    TWorkbook& Workbook() const { return *book_; }
    const std::string& Name() const { return name_; }
    // Refuses (TWorkbookError) an empty name, one longer than 31
    // characters, one with []:*?/\ or one another sheet of the book has.
    void SetName(const std::string& name);
    std::optional<int> TabColorIndex;
    int Zoom = 100;
    TPageSetup PageSetup;

    TRange Range(const std::string& address);
    TRange Range(int row1, int col1, int row2, int col2);
    TRange Cells(int row, int col) { return Range(row, col, row, col); }
    TRange Columns();
    TRange Columns(int col) { return Range(1, col, MaxSheetRows, col); }
    TRange Rows();
    TRange Rows(int row) { return Range(row, 1, row, MaxSheetColumns); }
    // The block from A1 to the last cell that holds a value or a format.
    TCellRect UsedRange() const;

    // ChartObjects.Add(Left, Top, Width, Height).Chart
    TChart& AddChart(double left, double top, double width, double height);
    const std::vector<std::unique_ptr<TChart>>& Charts() const { return charts_; }

    // Read access for the writer and for callers that check a sheet.
    const TCell* FindCell(int row, int col) const;
    const std::map<std::pair<int, int>, TCell>& CellMap() const { return cells_; }
    const std::vector<TCellRect>& Merges() const { return merges_; }
    std::optional<double> RowHeight(int row) const;
    double DefaultRowHeight() const { return defaultRowHeight_; }
    std::optional<double> ColumnWidth(int col) const;
    std::optional<double> DefaultColumnWidth() const { return defaultColumnWidth_; }
    // The format an empty cell of the row (column) shows: the formats given
    // to whole rows, whole columns and the whole sheet, in their order.
    TCellFormat RowFormat(int row) const;
    TCellFormat ColumnFormat(int col) const;
    bool HasRowFormat(int row) const;
    const std::map<int, double>& RowHeights() const { return rowHeights_; }
    const std::map<int, double>& ColumnWidths() const { return columnWidths_; }
    bool HasSheetFormat() const;
    std::vector<int> FormattedColumns() const;
    std::vector<int> FormattedRows() const;

private:
    friend class TRange;
    TCell& CellAt(int row, int col);
    TCellFormat InheritedFormat(int row, int col) const;

    TWorkbook* book_;
    std::string name_;
    std::map<std::pair<int, int>, TCell> cells_; // (row, col)
    // Formats given to whole rows, columns or the sheet, in order.
    std::vector<std::pair<TCellRect, TCellFormat>> wholeFormats_;
    std::map<int, double> rowHeights_;
    std::map<int, double> columnWidths_;
    double defaultRowHeight_ = 15.0;
    std::optional<double> defaultColumnWidth_;
    std::vector<TCellRect> merges_;
    std::vector<std::unique_ptr<TChart>> charts_;
};

class TWorkbook {
public:
    explicit TWorkbook(int sheetCount);
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    int SheetCount() const { return static_cast<int>(sheets_.size()); }
    // WorkSheets(index), 1-based; TWorkbookError outside.
    TWorksheet& Worksheets(int index);
    TWorksheet* SheetByName(const std::string& name);
    TWorksheet& AddSheet();
    // Activate: the sheet shown first when the file is opened.
    void Activate(int index);
    int ActiveSheetIndex() const { return active_; }
    TWorksheet& ActiveSheet() { return Worksheets(active_); }

    // This writer produces the newer format only.
    int FileFormat() const { return xl::OpenXMLWorkbook; }
    bool Saved = false;

    // Writes the file under exactly this name. The file is written next to
    // its final place and renamed at the end, so a failure leaves neither a
    // partial file nor a changed old one. TWorkbookError on failure.
    void SaveAs(const std::string& fileName);

    // The value of a cell as the saved file shows it, formulas computed.
    TCellValue Evaluate(TWorksheet& sheet, int row, int col);

private:
    std::vector<std::unique_ptr<TWorksheet>> sheets_;
    int active_ = 1;
    // Cells whose formulas are being computed, to stop at a circular one.
    std::set<std::pair<const TWorksheet*, std::pair<int, int>>> evaluating_;
};

// The spreadsheet application: one per command.
class TSpreadsheetApp {
public:
    int SheetsInNewWorkbook = 3;
    bool Visible = false;

    // WorkBooks.Add: a workbook with SheetsInNewWorkbook sheets (at least 1)
    // named "Sheet1", "Sheet2" ...
    TWorkbook& AddWorkbook();
    static double CentimetersToPoints(double cm) { return cm * 72.0 / 2.54; }
    // Closes every workbook without saving.
    void Quit() { books_.clear(); }
    int WorkbookCount() const { return static_cast<int>(books_.size()); }

private:
    std::vector<std::unique_ptr<TWorkbook>> books_;
};

// One export command's spreadsheet session: a new workbook of `sheets`
// sheets handed to build(app, book), which fills and saves it. Whatever
// build does, throwing included, the session's sheet count is put back and
// its workbooks are closed afterwards.
template <typename Build>
void BuildWorkbookInSession(int sheets, Build&& build)
{
    TSpreadsheetApp app;
    const int kept = app.SheetsInNewWorkbook;
    try {
        app.SheetsInNewWorkbook = sheets;
        build(app, app.AddWorkbook());
    } catch (...) {
        app.SheetsInNewWorkbook = kept;
        app.Quit();
        throw;
    }
    app.SheetsInNewWorkbook = kept;
    app.Quit();
}

// The extension that goes with a workbook file format: ".xlsx" for 51,
// ".xls" for any other.
std::string WorkbookExtension(int fileFormat);

// `fileName` with its extension (the part from the last '.' of its last
// path component) replaced by `extension`, or with it appended.
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);

// Marks the workbook saved, gives fileName the extension of the workbook's
// format and saves it under that name. Returns the extension.
std::string SaveWorkbookAs(TWorkbook& book, std::string& fileName);

} // namespace ferrolyt
