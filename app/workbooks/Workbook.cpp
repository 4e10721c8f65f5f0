#include "Workbook.h"

#include "Utils.h"
#include "WorkbookFormula.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>

namespace ferrolyt {

// ---------------------------------------------------------------------------
// Addresses

std::string ColumnLetters(int col)
{
    std::string s;
    while (col > 0) {
        const int d = (col - 1) % 26;
        s.insert(s.begin(), static_cast<char>('A' + d));
        col = (col - 1) / 26;
    }
    return s;
}

std::string CellAddress(int row, int col) { return ColumnLetters(col) + std::to_string(row); }

namespace {

// Reads "$A$1", "A", "1" parts: letters into col, digits into row (0 when
// missing). False when neither is there or a value is out of the sheet.
bool ParseCellPart(const std::string& s, int& row, int& col)
{
    std::size_t p = 0;
    row = col = 0;
    if (p < s.size() && s[p] == '$')
        ++p;
    long c = 0;
    std::size_t letters = 0;
    while (p < s.size() && std::isalpha(static_cast<unsigned char>(s[p]))) {
        c = c * 26 + (std::toupper(static_cast<unsigned char>(s[p])) - 'A' + 1);
        if (c > MaxSheetColumns)
            return false;
        ++p;
        ++letters;
    }
    if (p < s.size() && s[p] == '$')
        ++p;
    long r = 0;
    std::size_t digits = 0;
    while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) {
        r = r * 10 + (s[p] - '0');
        if (r > MaxSheetRows)
            return false;
        ++p;
        ++digits;
    }
    if (p != s.size() || (letters == 0 && digits == 0))
        return false;
    if (digits > 0 && r == 0)
        return false;
    row = static_cast<int>(r);
    col = static_cast<int>(c);
    return true;
}

} // namespace

std::optional<TCellRect> ParseRangeAddress(const std::string& address)
{
    const std::string a = TrimSpacesAndTabs(address);
    const auto colon = a.find(':');
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (colon == std::string::npos) {
        if (!ParseCellPart(a, r1, c1) || r1 == 0 || c1 == 0)
            return std::nullopt;
        return TCellRect{r1, c1, r1, c1};
    }
    if (!ParseCellPart(a.substr(0, colon), r1, c1) || !ParseCellPart(a.substr(colon + 1), r2, c2))
        return std::nullopt;
    TCellRect rect;
    if (r1 == 0 && r2 == 0 && c1 > 0 && c2 > 0) { // "C:E"
        rect = {1, std::min(c1, c2), MaxSheetRows, std::max(c1, c2)};
    } else if (c1 == 0 && c2 == 0 && r1 > 0 && r2 > 0) { // "1:3"
        rect = {std::min(r1, r2), 1, std::max(r1, r2), MaxSheetColumns};
    } else if (r1 > 0 && r2 > 0 && c1 > 0 && c2 > 0) {
        rect = {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    } else {
        return std::nullopt;
    }
    return rect;
}

// ---------------------------------------------------------------------------
// Colours and formats

std::optional<TRgbColour> PaletteColour(int colorIndex)
{
    static constexpr std::array<TRgbColour, 56> palette = {
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000,
        0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF,
        0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000,
        0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
        0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696, 0x003366, 0x339966,
        0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};
    if (colorIndex < 1 || colorIndex > 56)
        return std::nullopt;
    return palette[static_cast<std::size_t>(colorIndex - 1)];
}

namespace {

// The library reads 0x000000 as "no colour set" and spells black apart.
lxw_color_t LibraryColour(TRgbColour rgb) { return rgb == 0 ? lxw_color_t{LXW_COLOR_BLACK} : rgb; }

} // namespace

void TCellFormat::Overlay(const TCellFormat& patch)
{
    auto take = [](auto& dst, const auto& src) {
        if (src)
            dst = src;
    };
    take(NumberFormat, patch.NumberFormat);
    take(FontName, patch.FontName);
    take(FontSize, patch.FontSize);
    take(Bold, patch.Bold);
    take(FontColour, patch.FontColour);
    take(HorizontalAlignment, patch.HorizontalAlignment);
    take(VerticalAlignment, patch.VerticalAlignment);
    take(WrapText, patch.WrapText);
    for (std::size_t i = 0; i < Borders.size(); ++i)
        take(Borders[i], patch.Borders[i]);
}

namespace {

enum BorderSide : std::size_t { SideLeft = 0, SideTop = 1, SideBottom = 2, SideRight = 3 };

// Legacy alignment codes: 1 general, 2 left, 3 centre, 4 right, 5 fill,
// 6 justify, 7 centre across selection.
int NormaliseHorizontal(int code)
{
    switch (code) {
    case -4108: return 3;
    case -4131: return 2;
    case -4152: return 4;
    case -4130: return 6;
    default: return (code >= 1 && code <= 7) ? code : 1;
    }
}

// 1 top, 2 centre, 3 bottom, 4 justify.
int NormaliseVertical(int code)
{
    switch (code) {
    case -4160: return 1;
    case -4108: return 2;
    case -4107: return 3;
    case -4130: return 4;
    default: return (code >= 1 && code <= 4) ? code : 3;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Ranges

std::string TRange::Address() const
{
    if (rect_.WholeColumns() && !rect_.WholeRows())
        return ColumnLetters(rect_.Col1) + ":" + ColumnLetters(rect_.Col2);
    if (rect_.WholeRows() && !rect_.WholeColumns())
        return std::to_string(rect_.Row1) + ":" + std::to_string(rect_.Row2);
    if (rect_.Row1 == rect_.Row2 && rect_.Col1 == rect_.Col2)
        return CellAddress(rect_.Row1, rect_.Col1);
    return CellAddress(rect_.Row1, rect_.Col1) + ":" + CellAddress(rect_.Row2, rect_.Col2);
}

namespace {

constexpr long long MaxFilledCells = 1000000;

long long Area(const TCellRect& r) { return static_cast<long long>(r.RowCount()) * r.ColCount(); }

} // namespace

void TRange::SetValue(const TCellValue& value) const
{
    if (Area(rect_) > MaxFilledCells)
        throw TWorkbookError("Діапазон " + Address() + " завеликий для заповнення");
    for (int r = rect_.Row1; r <= rect_.Row2; ++r)
        for (int c = rect_.Col1; c <= rect_.Col2; ++c) {
            TCell& cell = sheet_->CellAt(r, c);
            cell.Value = value;
            cell.Formula.clear();
        }
}

void TRange::SetValues(const TValueArray& values) const
{
    // Cells of the range that the array does not reach are emptied; only
    // cells that exist can hold anything, so whole columns stay cheap.
    for (auto& [key, cell] : sheet_->cells_) {
        const auto [r, c] = key;
        if (!rect_.Contains(r, c))
            continue;
        const auto i = static_cast<std::size_t>(r - rect_.Row1);
        const auto j = static_cast<std::size_t>(c - rect_.Col1);
        if (i >= values.size() || j >= values[i].size()) {
            cell.Value = std::monostate{};
            cell.Formula.clear();
        }
    }
    for (std::size_t i = 0; i < values.size() && static_cast<long long>(i) < rect_.RowCount(); ++i)
        for (std::size_t j = 0; j < values[i].size() && static_cast<long long>(j) < rect_.ColCount(); ++j) {
            const int r = rect_.Row1 + static_cast<int>(i);
            const int c = rect_.Col1 + static_cast<int>(j);
            if (std::holds_alternative<std::monostate>(values[i][j]) && !sheet_->FindCell(r, c))
                continue;
            TCell& cell = sheet_->CellAt(r, c);
            cell.Value = values[i][j];
            cell.Formula.clear();
        }
}

TValueArray TRange::Values() const
{
    TCellRect r = rect_;
    const TCellRect used = sheet_->UsedRange();
    r.Row2 = std::min(r.Row2, std::max(used.Row2, r.Row1));
    r.Col2 = std::min(r.Col2, std::max(used.Col2, r.Col1));
    TValueArray out(static_cast<std::size_t>(r.RowCount()),
                    std::vector<TCellValue>(static_cast<std::size_t>(r.ColCount())));
    for (int i = r.Row1; i <= r.Row2; ++i)
        for (int j = r.Col1; j <= r.Col2; ++j)
            if (sheet_->FindCell(i, j))
                out[static_cast<std::size_t>(i - r.Row1)][static_cast<std::size_t>(j - r.Col1)] =
                    sheet_->Workbook().Evaluate(*sheet_, i, j);
    return out;
}

void TRange::SetFormula(const std::string& formula, std::optional<TCellValue> result) const
{
    if (Area(rect_) > MaxFilledCells)
        throw TWorkbookError("Діапазон " + Address() + " завеликий для заповнення");
    const std::string f = (!formula.empty() && formula[0] == '=') ? formula : "=" + formula;
    for (int r = rect_.Row1; r <= rect_.Row2; ++r)
        for (int c = rect_.Col1; c <= rect_.Col2; ++c) {
            TCell& cell = sheet_->CellAt(r, c);
            cell.Formula = f;
            cell.Value = result ? *result : TCellValue{};
        }
}

void TRange::ClearContents() const
{
    for (auto& [key, cell] : sheet_->cells_)
        if (rect_.Contains(key.first, key.second)) {
            cell.Value = std::monostate{};
            cell.Formula.clear();
        }
}

void TRange::Format(const TCellFormat& patch) const
{
    if (rect_.WholeRows() || rect_.WholeColumns()) {
        sheet_->wholeFormats_.emplace_back(rect_, patch);
        for (auto& [key, cell] : sheet_->cells_)
            if (rect_.Contains(key.first, key.second))
                cell.Format.Overlay(patch);
        return;
    }
    if (Area(rect_) > MaxFilledCells)
        throw TWorkbookError("Діапазон " + Address() + " завеликий для форматування");
    for (int r = rect_.Row1; r <= rect_.Row2; ++r)
        for (int c = rect_.Col1; c <= rect_.Col2; ++c)
            sheet_->CellAt(r, c).Format.Overlay(patch);
}

void TRange::SetNumberFormat(const std::string& mask) const
{
    TCellFormat f;
    f.NumberFormat = mask;
    Format(f);
}

void TRange::SetFontName(const std::string& name) const
{
    TCellFormat f;
    f.FontName = name;
    Format(f);
}

void TRange::SetFontSize(double size) const
{
    TCellFormat f;
    f.FontSize = size;
    Format(f);
}

void TRange::SetBold(bool bold) const
{
    TCellFormat f;
    f.Bold = bold;
    Format(f);
}

void TRange::SetFontColour(TRgbColour rgb) const
{
    TCellFormat f;
    f.FontColour = rgb;
    Format(f);
}

void TRange::SetFontColorIndex(int index) const
{
    if (const auto rgb = PaletteColour(index))
        SetFontColour(*rgb);
}

void TRange::SetHorizontalAlignment(int code) const
{
    TCellFormat f;
    f.HorizontalAlignment = NormaliseHorizontal(code);
    Format(f);
}

void TRange::SetVerticalAlignment(int code) const
{
    TCellFormat f;
    f.VerticalAlignment = NormaliseVertical(code);
    Format(f);
}

void TRange::SetWrapText(bool wrap) const
{
    TCellFormat f;
    f.WrapText = wrap;
    Format(f);
}

void TRange::SetRowHeight(double points) const
{
    if (rect_.WholeColumns()) {
        sheet_->defaultRowHeight_ = points;
        sheet_->rowHeights_.clear();
        return;
    }
    for (int r = rect_.Row1; r <= rect_.Row2; ++r)
        sheet_->rowHeights_[r] = points;
}

void TRange::SetColumnWidth(double characters) const
{
    if (rect_.WholeRows()) {
        sheet_->defaultColumnWidth_ = characters;
        sheet_->columnWidths_.clear();
        return;
    }
    for (int c = rect_.Col1; c <= rect_.Col2; ++c)
        sheet_->columnWidths_[c] = characters;
}

void TRange::Merge() const
{
    if (rect_.RowCount() == 1 && rect_.ColCount() == 1)
        return;
    if (rect_.WholeRows() || rect_.WholeColumns())
        throw TWorkbookError("Неможливо об'єднати клітинки " + Address());
    auto& merges = sheet_->merges_;
    auto overlaps = [this](const TCellRect& m) {
        return !(m.Row2 < rect_.Row1 || m.Row1 > rect_.Row2 || m.Col2 < rect_.Col1 || m.Col1 > rect_.Col2);
    };
    merges.erase(std::remove_if(merges.begin(), merges.end(), overlaps), merges.end());
    merges.push_back(rect_);
    // A merged block shows only its first cell's value.
    for (auto& [key, cell] : sheet_->cells_)
        if (rect_.Contains(key.first, key.second) && !(key.first == rect_.Row1 && key.second == rect_.Col1)) {
            cell.Value = std::monostate{};
            cell.Formula.clear();
        }
}

void TRange::SetBorder(int index, const TBorderLine& line) const
{
    const TBorderLine l = line;
    auto edge = [&](int r1, int c1, int r2, int c2, BorderSide side) {
        if (r1 > r2 || c1 > c2)
            return;
        TCellFormat f;
        f.Borders[side] = l;
        TRange(*sheet_, {r1, c1, r2, c2}).Format(f);
    };
    const TCellRect& q = rect_;
    switch (index) {
    case xl::EdgeLeft: edge(q.Row1, q.Col1, q.Row2, q.Col1, SideLeft); break;
    case xl::EdgeTop: edge(q.Row1, q.Col1, q.Row1, q.Col2, SideTop); break;
    case xl::EdgeBottom: edge(q.Row2, q.Col1, q.Row2, q.Col2, SideBottom); break;
    case xl::EdgeRight: edge(q.Row1, q.Col2, q.Row2, q.Col2, SideRight); break;
    case xl::InsideVertical:
        edge(q.Row1, q.Col1, q.Row2, q.Col2 - 1, SideRight);
        edge(q.Row1, q.Col1 + 1, q.Row2, q.Col2, SideLeft);
        break;
    case xl::InsideHorizontal:
        edge(q.Row1, q.Col1, q.Row2 - 1, q.Col2, SideBottom);
        edge(q.Row1 + 1, q.Col1, q.Row2, q.Col2, SideTop);
        break;
    default: throw TWorkbookError("Невідомий індекс рамки " + std::to_string(index));
    }
}

void TRange::BorderAround(int lineStyle, int weight, int colorIndex) const
{
    const TBorderLine line{lineStyle, weight, colorIndex};
    for (int index : {xl::EdgeLeft, xl::EdgeTop, xl::EdgeBottom, xl::EdgeRight})
        SetBorder(index, line);
}

void TRange::CopyFormatsTo(const TRange& target) const
{
    if (rect_.WholeRows() || rect_.WholeColumns())
        throw TWorkbookError("Неможливо скопіювати формати " + Address());
    TWorksheet& dst = target.Sheet();
    const int dr = target.Rect().Row1 - rect_.Row1;
    const int dc = target.Rect().Col1 - rect_.Col1;
    std::vector<std::pair<std::pair<int, int>, TCellFormat>> formats;
    for (int r = rect_.Row1; r <= rect_.Row2; ++r)
        for (int c = rect_.Col1; c <= rect_.Col2; ++c) {
            const TCell* cell = sheet_->FindCell(r, c);
            formats.push_back({{r + dr, c + dc}, cell ? cell->Format : sheet_->InheritedFormat(r, c)});
        }
    std::vector<TCellRect> merges;
    for (const TCellRect& m : sheet_->merges_)
        if (rect_.Contains(m.Row1, m.Col1) && rect_.Contains(m.Row2, m.Col2))
            merges.push_back({m.Row1 + dr, m.Col1 + dc, m.Row2 + dr, m.Col2 + dc});
    const TCellRect area{target.Rect().Row1, target.Rect().Col1, target.Rect().Row1 + rect_.RowCount() - 1,
                         target.Rect().Col1 + rect_.ColCount() - 1};
    if (area.Row2 > MaxSheetRows || area.Col2 > MaxSheetColumns)
        throw TWorkbookError("Неможливо вставити формати за межі аркуша");
    auto& dm = dst.merges_;
    dm.erase(std::remove_if(dm.begin(), dm.end(),
                            [&](const TCellRect& m) {
                                return !(m.Row2 < area.Row1 || m.Row1 > area.Row2 || m.Col2 < area.Col1 ||
                                         m.Col1 > area.Col2);
                            }),
             dm.end());
    for (auto& [at, format] : formats)
        dst.CellAt(at.first, at.second).Format = format;
    dm.insert(dm.end(), merges.begin(), merges.end());
}

void TRange::DeleteShiftLeft() const
{
    if (rect_.WholeRows())
        throw TWorkbookError("Неможливо видалити " + Address());
    const int n = rect_.ColCount();
    std::map<std::pair<int, int>, TCell> moved;
    auto& cells = sheet_->cells_;
    for (auto it = cells.begin(); it != cells.end();) {
        const auto [r, c] = it->first;
        if (r < rect_.Row1 || r > rect_.Row2 || c < rect_.Col1) {
            ++it;
            continue;
        }
        if (c > rect_.Col2)
            moved.emplace(std::make_pair(r, c - n), std::move(it->second));
        it = cells.erase(it);
    }
    for (auto& [key, cell] : moved)
        cells[key] = std::move(cell);
    auto& merges = sheet_->merges_;
    std::vector<TCellRect> kept;
    for (TCellRect m : merges) {
        const bool inRows = m.Row1 >= rect_.Row1 && m.Row2 <= rect_.Row2;
        const bool apart = m.Row2 < rect_.Row1 || m.Row1 > rect_.Row2;
        if (apart || m.Col2 < rect_.Col1) {
            kept.push_back(m);
        } else if (inRows && m.Col1 > rect_.Col2) {
            m.Col1 -= n;
            m.Col2 -= n;
            kept.push_back(m);
        }
        // Blocks cut by the deletion lose their merge.
    }
    merges = std::move(kept);
}

// ---------------------------------------------------------------------------
// Charts

void TChart::SetSourceData(const std::string& addresses)
{
    std::vector<TCellRect> blocks;
    std::string part;
    std::istringstream in(addresses);
    for (std::string piece; std::getline(in, piece, ';');) {
        std::istringstream in2(piece);
        while (std::getline(in2, part, ',')) {
            const auto rect = ParseRangeAddress(part);
            if (!rect)
                throw TWorkbookError("Неправильна адреса даних діаграми: " + addresses);
            blocks.push_back(*rect);
        }
    }
    if (blocks.empty())
        throw TWorkbookError("Неправильна адреса даних діаграми: " + addresses);
    const TCellRect used = sheet_->UsedRange();
    for (TCellRect& b : blocks)
        if (b.WholeColumns())
            b.Row2 = std::max(used.Row2, 1);
    TCellRect x = blocks.front();
    if (blocks.size() == 1) { // one block: its first column is X
        if (x.Col2 <= x.Col1)
            throw TWorkbookError("Недостатньо даних для діаграми: " + addresses);
        blocks.push_back({x.Row1, x.Col1 + 1, x.Row2, x.Col2});
        x.Col2 = x.Col1;
    }
    std::vector<TCellRect> y;
    for (std::size_t i = 1; i < blocks.size(); ++i)
        y.push_back(blocks[i]);
    // A first row of texts names the series.
    bool header = true;
    bool anyText = false;
    for (const TCellRect& b : y)
        for (int c = b.Col1; c <= b.Col2; ++c) {
            const TCell* cell = sheet_->FindCell(b.Row1, c);
            if (cell && std::holds_alternative<std::string>(cell->Value))
                anyText = true;
            else if (cell && std::holds_alternative<double>(cell->Value))
                header = false;
        }
    header = header && anyText && x.Row2 > x.Row1;
    Series.clear();
    for (const TCellRect& b : y)
        for (int c = b.Col1; c <= b.Col2; ++c) {
            TChartSeries s;
            const int first = header ? b.Row1 + 1 : b.Row1;
            s.XValues = {header ? x.Row1 + 1 : x.Row1, x.Col1, x.Row2, x.Col1};
            s.YValues = {first, c, b.Row2, c};
            if (header)
                s.NameCell = TCellRect{b.Row1, c, b.Row1, c};
            else
                s.Name = "Ряд" + std::to_string(Series.size() + 1);
            Series.push_back(s);
        }
}

TChartAxis& TChart::Axis(int index)
{
    if (index != 1 && index != 2)
        throw TWorkbookError("Невідома вісь діаграми " + std::to_string(index));
    return Axes[static_cast<std::size_t>(index - 1)];
}

TChartSeries& TChart::SeriesAt(int s)
{
    if (s < 1 || s > static_cast<int>(Series.size()))
        throw TWorkbookError("Немає ряду " + std::to_string(s) + " на діаграмі");
    return Series[static_cast<std::size_t>(s - 1)];
}

double TChart::YMinimumScale() const
{
    if (Axes[1].MinimumScale)
        return *Axes[1].MinimumScale;
    double lo = 0;
    for (const TChartSeries& s : Series)
        for (int r = s.YValues.Row1; r <= s.YValues.Row2; ++r)
            if (const TCell* cell = sheet_->FindCell(r, s.YValues.Col1))
                if (const double* v = std::get_if<double>(&cell->Value))
                    lo = std::min(lo, *v);
    return lo;
}

// ---------------------------------------------------------------------------
// Sheets

void TWorksheet::SetName(const std::string& name)
{
    std::size_t chars = 0;
    for (unsigned char ch : name)
        if ((ch & 0xC0) != 0x80)
            ++chars;
    if (name.empty() || chars > 31 || name.find_first_of("[]:*?/\\") != std::string::npos ||
        name.front() == '\'' || name.back() == '\'')
        throw TWorkbookError("Неприпустима назва аркуша \"" + name + "\"");
    auto lower = [](std::string s) {
        for (char& ch : s)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return s;
    };
    for (int i = 1; i <= book_->SheetCount(); ++i) {
        const TWorksheet& other = book_->Worksheets(i);
        if (&other != this && lower(other.Name()) == lower(name))
            throw TWorkbookError("Аркуш з назвою \"" + name + "\" вже є");
    }
    name_ = name;
}

TRange TWorksheet::Range(const std::string& address)
{
    const auto rect = ParseRangeAddress(address);
    if (!rect)
        throw TWorkbookError("Неправильна адреса діапазону \"" + address + "\"");
    return TRange(*this, *rect);
}

TRange TWorksheet::Range(int row1, int col1, int row2, int col2)
{
    if (row1 < 1 || col1 < 1 || row2 < 1 || col2 < 1 || row1 > MaxSheetRows || row2 > MaxSheetRows ||
        col1 > MaxSheetColumns || col2 > MaxSheetColumns)
        throw TWorkbookError("Діапазон поза межами аркуша");
    return TRange(*this, {std::min(row1, row2), std::min(col1, col2), std::max(row1, row2), std::max(col1, col2)});
}

TRange TWorksheet::Columns() { return TRange(*this, {1, 1, MaxSheetRows, MaxSheetColumns}); }
TRange TWorksheet::Rows() { return Columns(); }

TCellRect TWorksheet::UsedRange() const
{
    int rows = 1, cols = 1;
    for (const auto& [key, cell] : cells_) {
        rows = std::max(rows, key.first);
        cols = std::max(cols, key.second);
    }
    return {1, 1, rows, cols};
}

TChart& TWorksheet::AddChart(double left, double top, double width, double height)
{
    auto chart = std::make_unique<TChart>(*this);
    chart->Left = left;
    chart->Top = top;
    chart->Width = width;
    chart->Height = height;
    charts_.push_back(std::move(chart));
    return *charts_.back();
}

const TCell* TWorksheet::FindCell(int row, int col) const
{
    const auto it = cells_.find({row, col});
    return it == cells_.end() ? nullptr : &it->second;
}

TCell& TWorksheet::CellAt(int row, int col)
{
    const auto it = cells_.find({row, col});
    if (it != cells_.end())
        return it->second;
    TCell cell;
    cell.Format = InheritedFormat(row, col);
    return cells_.emplace(std::make_pair(row, col), std::move(cell)).first->second;
}

TCellFormat TWorksheet::InheritedFormat(int row, int col) const
{
    TCellFormat f;
    for (const auto& [rect, patch] : wholeFormats_)
        if (rect.Contains(row, col))
            f.Overlay(patch);
    return f;
}

std::optional<double> TWorksheet::RowHeight(int row) const
{
    const auto it = rowHeights_.find(row);
    if (it == rowHeights_.end())
        return std::nullopt;
    return it->second;
}

std::optional<double> TWorksheet::ColumnWidth(int col) const
{
    const auto it = columnWidths_.find(col);
    if (it != columnWidths_.end())
        return it->second;
    return defaultColumnWidth_;
}

TCellFormat TWorksheet::RowFormat(int row) const
{
    TCellFormat f;
    for (const auto& [rect, patch] : wholeFormats_)
        if (rect.WholeRows() && rect.Contains(row, 1))
            f.Overlay(patch);
    return f;
}

TCellFormat TWorksheet::ColumnFormat(int col) const
{
    TCellFormat f;
    for (const auto& [rect, patch] : wholeFormats_)
        if (rect.WholeColumns() && rect.Contains(1, col))
            f.Overlay(patch);
    return f;
}

bool TWorksheet::HasRowFormat(int row) const
{
    return std::any_of(wholeFormats_.begin(), wholeFormats_.end(), [row](const auto& w) {
        return w.first.WholeRows() && !w.first.WholeColumns() && w.first.Contains(row, 1);
    });
}

bool TWorksheet::HasSheetFormat() const
{
    return std::any_of(wholeFormats_.begin(), wholeFormats_.end(),
                       [](const auto& w) { return w.first.WholeRows() && w.first.WholeColumns(); });
}

std::vector<int> TWorksheet::FormattedColumns() const
{
    std::set<int> cols;
    for (const auto& [rect, patch] : wholeFormats_)
        if (rect.WholeColumns() && !rect.WholeRows())
            for (int c = rect.Col1; c <= rect.Col2; ++c)
                cols.insert(c);
    for (const auto& [c, w] : columnWidths_)
        cols.insert(c);
    return {cols.begin(), cols.end()};
}

std::vector<int> TWorksheet::FormattedRows() const
{
    std::set<int> rows;
    for (const auto& [rect, patch] : wholeFormats_)
        if (rect.WholeRows() && !rect.WholeColumns())
            for (int r = rect.Row1; r <= rect.Row2; ++r)
                rows.insert(r);
    for (const auto& [r, h] : rowHeights_)
        rows.insert(r);
    return {rows.begin(), rows.end()};
}

// ---------------------------------------------------------------------------
// Workbooks

TWorkbook::TWorkbook(int sheetCount)
{
    for (int i = 0; i < std::max(sheetCount, 1); ++i)
        AddSheet();
}

TWorksheet& TWorkbook::Worksheets(int index)
{
    if (index < 1 || index > SheetCount())
        throw TWorkbookError("Немає аркуша " + std::to_string(index) + " у книзі");
    return *sheets_[static_cast<std::size_t>(index - 1)];
}

TWorksheet* TWorkbook::SheetByName(const std::string& name)
{
    for (auto& s : sheets_)
        if (s->Name() == name)
            return s.get();
    return nullptr;
}

TWorksheet& TWorkbook::AddSheet()
{
    int n = SheetCount() + 1;
    while (SheetByName("Sheet" + std::to_string(n)))
        ++n;
    sheets_.push_back(std::make_unique<TWorksheet>(*this, "Sheet" + std::to_string(n)));
    return *sheets_.back();
}

void TWorkbook::Activate(int index)
{
    Worksheets(index); // range check
    active_ = index;
}

TCellValue TWorkbook::Evaluate(TWorksheet& sheet, int row, int col)
{
    const TCell* cell = sheet.FindCell(row, col);
    if (!cell)
        return {};
    if (cell->Formula.empty() || !std::holds_alternative<std::monostate>(cell->Value))
        return cell->Value;
    const auto key = std::make_pair(static_cast<const TWorksheet*>(&sheet), std::make_pair(row, col));
    evaluating_.insert(key);
    const auto v = EvaluateFormula(*this, sheet, cell->Formula, evaluating_);
    evaluating_.erase(key);
    if (!v)
        return {};
    return *v;
}

TWorkbook& TSpreadsheetApp::AddWorkbook()
{
    books_.push_back(std::make_unique<TWorkbook>(SheetsInNewWorkbook));
    return *books_.back();
}

std::string WorkbookExtension(int fileFormat) { return fileFormat == xl::OpenXMLWorkbook ? ".xlsx" : ".xls"; }

std::string ChangeFileExt(const std::string& fileName, const std::string& extension)
{
    const auto slash = fileName.find_last_of("/\\");
    const auto dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return fileName + extension;
    return fileName.substr(0, dot) + extension;
}

std::string SaveWorkbookAs(TWorkbook& book, std::string& fileName)
{
    book.Saved = true;
    const std::string ext = WorkbookExtension(book.FileFormat());
    fileName = ChangeFileExt(fileName, ext);
    book.SaveAs(fileName);
    return ext;
}

// ---------------------------------------------------------------------------
// The file writer

namespace {

uint8_t BorderStyle(const TBorderLine& line)
{
    switch (line.LineStyle) {
    case xl::None:
    case 0: return LXW_BORDER_NONE;
    case -4115: return LXW_BORDER_DASHED;
    case -4118: return LXW_BORDER_DOTTED;
    case -4119: return LXW_BORDER_DOUBLE;
    default: break;
    }
    switch (line.Weight) {
    case xl::Hairline: return LXW_BORDER_HAIR;
    case xl::Medium: return LXW_BORDER_MEDIUM;
    case xl::Thick: return LXW_BORDER_THICK;
    default: return LXW_BORDER_THIN;
    }
}

uint8_t HorizontalCode(int code)
{
    switch (code) {
    case 2: return LXW_ALIGN_LEFT;
    case 3: return LXW_ALIGN_CENTER;
    case 4: return LXW_ALIGN_RIGHT;
    case 5: return LXW_ALIGN_FILL;
    case 6: return LXW_ALIGN_JUSTIFY;
    case 7: return LXW_ALIGN_CENTER_ACROSS;
    default: return LXW_ALIGN_NONE;
    }
}

uint8_t VerticalCode(int code)
{
    switch (code) {
    case 1: return LXW_ALIGN_VERTICAL_TOP;
    case 2: return LXW_ALIGN_VERTICAL_CENTER;
    case 4: return LXW_ALIGN_VERTICAL_JUSTIFY;
    default: return LXW_ALIGN_VERTICAL_BOTTOM;
    }
}

uint8_t MarkerType(int style)
{
    switch (style) {
    case xl::None: return LXW_CHART_MARKER_NONE;
    case xl::MarkerSquare: return LXW_CHART_MARKER_SQUARE;
    case xl::MarkerDiamond: return LXW_CHART_MARKER_DIAMOND;
    case xl::MarkerTriangle: return LXW_CHART_MARKER_TRIANGLE;
    case -4168: return LXW_CHART_MARKER_X;
    case 5: return LXW_CHART_MARKER_STAR;
    case xl::MarkerCircle: return LXW_CHART_MARKER_CIRCLE;
    case 9: return LXW_CHART_MARKER_PLUS;
    default: return LXW_CHART_MARKER_AUTOMATIC;
    }
}

float LineWidth(int weight)
{
    switch (weight) {
    case xl::Hairline: return 0.25f;
    case xl::Medium: return 2.0f;
    case xl::Thick: return 3.0f;
    default: return 0.75f;
    }
}

// Owns the writer's workbook until it is closed or dropped.
class TXlsxWriter {
public:
    explicit TXlsxWriter(const std::string& fileName) : book_(workbook_new(fileName.c_str())) {}
    ~TXlsxWriter()
    {
        if (book_)
            lxw_workbook_free(book_);
    }
    TXlsxWriter(const TXlsxWriter&) = delete;
    TXlsxWriter& operator=(const TXlsxWriter&) = delete;

    lxw_workbook* Book() { return book_; }
    lxw_error Close()
    {
        lxw_workbook* b = book_;
        book_ = nullptr; // workbook_close frees it whatever the outcome
        return workbook_close(b);
    }

    lxw_format* FormatOf(const TCellFormat& f)
    {
        if (f == TCellFormat{})
            return nullptr;
        for (auto& [known, fmt] : formats_)
            if (known == f)
                return fmt;
        lxw_format* fmt = workbook_add_format(book_);
        if (f.NumberFormat)
            format_set_num_format(fmt, f.NumberFormat->c_str());
        if (f.FontName)
            format_set_font_name(fmt, f.FontName->c_str());
        if (f.FontSize)
            format_set_font_size(fmt, *f.FontSize);
        if (f.Bold && *f.Bold)
            format_set_bold(fmt);
        if (f.FontColour)
            format_set_font_color(fmt, LibraryColour(*f.FontColour));
        if (f.HorizontalAlignment)
            format_set_align(fmt, HorizontalCode(*f.HorizontalAlignment));
        if (f.VerticalAlignment)
            format_set_align(fmt, VerticalCode(*f.VerticalAlignment));
        if (f.WrapText && *f.WrapText)
            format_set_text_wrap(fmt);
        using SetStyle = void (*)(lxw_format*, uint8_t);
        using SetColour = void (*)(lxw_format*, lxw_color_t);
        static constexpr std::array<SetStyle, 4> styles = {format_set_left, format_set_top, format_set_bottom,
                                                           format_set_right};
        static constexpr std::array<SetColour, 4> colours = {format_set_left_color, format_set_top_color,
                                                             format_set_bottom_color, format_set_right_color};
        for (std::size_t i = 0; i < 4; ++i)
            if (const auto& b = f.Borders[i]) {
                styles[i](fmt, BorderStyle(*b));
                if (const auto rgb = PaletteColour(b->ColorIndex))
                    colours[i](fmt, LibraryColour(*rgb));
            }
        formats_.emplace_back(f, fmt);
        return fmt;
    }

private:
    lxw_workbook* book_;
    std::vector<std::pair<TCellFormat, lxw_format*>> formats_;
};

std::string HeaderText(const TPageSetup& p)
{
    std::string centre;
    for (char ch : p.CenterHeader) {
        centre += ch;
        if (ch == '&')
            centre += '&';
    }
    std::string h;
    if (!centre.empty())
        h += "&C" + centre;
    if (!p.RightHeader.empty())
        h += "&R" + p.RightHeader;
    // The file format caps a header at 255 characters.
    while (h.size() > 255) {
        h.pop_back();
        while (!h.empty() && (static_cast<unsigned char>(h.back()) & 0xC0) == 0x80)
            h.pop_back();
        if (!h.empty() && static_cast<unsigned char>(h.back()) >= 0xC0)
            h.pop_back();
    }
    return h;
}

void Check(lxw_error e, const std::string& what)
{
    if (e != LXW_NO_ERROR)
        throw TWorkbookError(what + ": " + lxw_strerror(e));
}

void WriteChart(TXlsxWriter& w, lxw_worksheet* ws, const TWorksheet& sheet, const TChart& c)
{
    bool lines = false;
    for (const TChartSeries& s : c.Series)
        lines = lines || s.BorderColorIndex || s.BorderWeight || s.Smooth;
    lxw_chart* chart = workbook_add_chart(w.Book(), lines ? LXW_CHART_SCATTER_STRAIGHT_WITH_MARKERS : LXW_CHART_SCATTER);
    if (!chart)
        throw TWorkbookError("Неможливо створити діаграму");
    const std::string& name = sheet.Name();
    std::string fontName = c.FontName;
    lxw_chart_font font{};
    font.name = fontName.data();
    font.size = c.FontSize;
    for (const TChartSeries& s : c.Series) {
        lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
        chart_series_set_categories(series, name.c_str(), static_cast<lxw_row_t>(s.XValues.Row1 - 1),
                                    static_cast<lxw_col_t>(s.XValues.Col1 - 1), static_cast<lxw_row_t>(s.XValues.Row2 - 1),
                                    static_cast<lxw_col_t>(s.XValues.Col2 - 1));
        chart_series_set_values(series, name.c_str(), static_cast<lxw_row_t>(s.YValues.Row1 - 1),
                                static_cast<lxw_col_t>(s.YValues.Col1 - 1), static_cast<lxw_row_t>(s.YValues.Row2 - 1),
                                static_cast<lxw_col_t>(s.YValues.Col2 - 1));
        if (s.NameCell)
            chart_series_set_name_range(series, name.c_str(), static_cast<lxw_row_t>(s.NameCell->Row1 - 1),
                                        static_cast<lxw_col_t>(s.NameCell->Col1 - 1));
        else if (!s.Name.empty())
            chart_series_set_name(series, s.Name.c_str());
        chart_series_set_marker_type(series, MarkerType(s.MarkerStyle));
        if (s.MarkerStyle != xl::None) {
            chart_series_set_marker_size(series, static_cast<uint8_t>(std::clamp(s.MarkerSize, 2, 72)));
            if (s.MarkerForegroundColorIndex)
                if (const auto rgb = PaletteColour(*s.MarkerForegroundColorIndex)) {
                    lxw_chart_line ml{};
                    ml.color = LibraryColour(*rgb);
                    chart_series_set_marker_line(series, &ml);
                }
            if (s.MarkerBackgroundColorIndex)
                if (const auto rgb = PaletteColour(*s.MarkerBackgroundColorIndex)) {
                    lxw_chart_fill mf{};
                    mf.color = LibraryColour(*rgb);
                    chart_series_set_marker_fill(series, &mf);
                }
        }
        if (s.BorderColorIndex || s.BorderWeight) {
            lxw_chart_line line{};
            if (s.BorderColorIndex)
                if (const auto rgb = PaletteColour(*s.BorderColorIndex))
                    line.color = LibraryColour(*rgb);
            line.width = LineWidth(s.BorderWeight.value_or(xl::Thin));
            chart_series_set_line(series, &line);
        } else if (lines) {
            lxw_chart_line none{};
            none.none = 1;
            chart_series_set_line(series, &none);
        }
        if (s.Smooth)
            chart_series_set_smooth(series, 1);
    }
    if (c.HasTitle && !c.Title.empty())
        chart_title_set_name(chart, c.Title.c_str());
    else
        chart_title_off(chart);
    if (!c.HasLegend) {
        chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    } else {
        chart_legend_set_font(chart, &font);
    }
    for (int i = 0; i < 2; ++i) {
        const TChartAxis& a = c.Axes[static_cast<std::size_t>(i)];
        lxw_chart_axis* axis = i == 0 ? chart->x_axis : chart->y_axis;
        chart_axis_major_gridlines_set_visible(axis, a.HasMajorGridlines ? 1 : 0);
        if (a.MinimumScale)
            chart_axis_set_min(axis, *a.MinimumScale);
        if (a.MaximumScale)
            chart_axis_set_max(axis, *a.MaximumScale);
        lxw_chart_line line{};
        line.width = LineWidth(a.BorderWeight);
        chart_axis_set_line(axis, &line);
        chart_axis_set_num_font(axis, &font);
        if (a.HasTitle && !a.Title.empty()) {
            chart_axis_set_name(axis, a.Title.c_str());
            lxw_chart_font tf = font;
            tf.bold = a.TitleBold ? 1 : 0;
            chart_axis_set_name_font(axis, &tf);
        }
        if (a.Fill) {
            lxw_chart_fill fill{};
            fill.color = LibraryColour(*a.Fill);
            chart_axis_set_fill(axis, &fill);
        }
    }
    if (c.BorderLineStyle == 0 || c.BorderLineStyle == xl::None) {
        lxw_chart_line none{};
        none.none = 1;
        chart_chartarea_set_line(chart, &none);
    }
    if (c.PlotAreaInteriorColorIndex)
        if (const auto rgb = PaletteColour(*c.PlotAreaInteriorColorIndex)) {
            lxw_chart_fill fill{};
            fill.color = LibraryColour(*rgb);
            chart_plotarea_set_fill(chart, &fill);
        }
    lxw_chart_options opt{};
    opt.x_offset = static_cast<int32_t>(std::lround(c.Left * 96.0 / 72.0));
    opt.y_offset = static_cast<int32_t>(std::lround(c.Top * 96.0 / 72.0));
    opt.x_scale = c.Width / 360.0;
    opt.y_scale = c.Height / 216.0;
    Check(worksheet_insert_chart_opt(ws, 0, 0, chart, &opt), "Неможливо вставити діаграму");
}

void WriteSheet(TXlsxWriter& w, TWorkbook& book, TWorksheet& sheet, lxw_worksheet* ws, bool active)
{
    // Columns: spans without overlap, the default between the named ones.
    const std::vector<int> named = sheet.FormattedColumns();
    const bool defaults = sheet.DefaultColumnWidth() || sheet.HasSheetFormat();
    const double defWidth = sheet.DefaultColumnWidth().value_or(LXW_DEF_COL_WIDTH);
    auto span = [&](int c1, int c2, double width, const TCellFormat& f) {
        Check(worksheet_set_column(ws, static_cast<lxw_col_t>(c1 - 1), static_cast<lxw_col_t>(c2 - 1), width,
                                   w.FormatOf(f)),
              "Неможливо задати ширину стовпців");
    };
    int next = 1;
    for (int c : named) {
        if (defaults && c > next)
            span(next, c - 1, defWidth, sheet.ColumnFormat(next));
        span(c, c, sheet.ColumnWidth(c).value_or(defWidth), sheet.ColumnFormat(c));
        next = c + 1;
    }
    if (defaults && next <= MaxSheetColumns)
        span(next, MaxSheetColumns, defWidth, sheet.ColumnFormat(MaxSheetColumns));

    if (sheet.DefaultRowHeight() != 15.0)
        worksheet_set_default_row(ws, sheet.DefaultRowHeight(), LXW_FALSE);
    for (int r : sheet.FormattedRows()) {
        const TCellFormat f = sheet.HasRowFormat(r) ? sheet.RowFormat(r) : TCellFormat{};
        Check(worksheet_set_row(ws, static_cast<lxw_row_t>(r - 1), sheet.RowHeight(r).value_or(sheet.DefaultRowHeight()),
                                w.FormatOf(f)),
              "Неможливо задати висоту рядка");
    }

    for (const TCellRect& m : sheet.Merges()) {
        const TCell* first = sheet.FindCell(m.Row1, m.Col1);
        Check(worksheet_merge_range(ws, static_cast<lxw_row_t>(m.Row1 - 1), static_cast<lxw_col_t>(m.Col1 - 1),
                                    static_cast<lxw_row_t>(m.Row2 - 1), static_cast<lxw_col_t>(m.Col2 - 1), "",
                                    w.FormatOf(first ? first->Format : TCellFormat{})),
              "Неможливо об'єднати клітинки");
    }

    for (const auto& [key, cell] : sheet.CellMap()) {
        const auto row = static_cast<lxw_row_t>(key.first - 1);
        const auto col = static_cast<lxw_col_t>(key.second - 1);
        lxw_format* fmt = w.FormatOf(cell.Format);
        lxw_error e = LXW_NO_ERROR;
        if (!cell.Formula.empty()) {
            const TCellValue v = book.Evaluate(sheet, key.first, key.second);
            if (const std::string* s = std::get_if<std::string>(&v))
                e = worksheet_write_formula_str(ws, row, col, cell.Formula.c_str(), fmt, s->c_str());
            else
                e = worksheet_write_formula_num(ws, row, col, cell.Formula.c_str(), fmt,
                                                std::holds_alternative<double>(v) ? std::get<double>(v) : 0.0);
        } else if (const double* d = std::get_if<double>(&cell.Value); d && std::isfinite(*d)) {
            e = worksheet_write_number(ws, row, col, *d, fmt);
        } else if (const std::string* s = std::get_if<std::string>(&cell.Value); s && !s->empty()) {
            e = worksheet_write_string(ws, row, col, s->c_str(), fmt);
        } else if (fmt) {
            e = worksheet_write_blank(ws, row, col, fmt);
        }
        Check(e, "Неможливо записати клітинку " + CellAddress(key.first, key.second) + " аркуша " + sheet.Name());
    }

    const TPageSetup& p = sheet.PageSetup;
    if (p.Orientation == xl::Landscape)
        worksheet_set_landscape(ws);
    else
        worksheet_set_portrait(ws);
    worksheet_set_margins(ws, p.LeftMargin / 72.0, p.RightMargin / 72.0, p.TopMargin / 72.0, p.BottomMargin / 72.0);
    const std::string header = HeaderText(p);
    if (!header.empty()) {
        lxw_header_footer_options ho{};
        ho.margin = p.HeaderMargin / 72.0;
        Check(worksheet_set_header_opt(ws, header.c_str(), &ho), "Неможливо задати колонтитул");
    }
    if (p.PrintTitleFirstRow)
        Check(worksheet_repeat_rows(ws, 0, 0), "Неможливо задати наскрізні рядки");
    if (p.PrintTitleFirstColumn)
        Check(worksheet_repeat_columns(ws, 0, 0), "Неможливо задати наскрізні стовпці");
    if (p.PrintGridlines)
        worksheet_gridlines(ws, LXW_SHOW_ALL_GRIDLINES);
    if (p.Order == 2)
        worksheet_print_across(ws);
    if (p.FitToPagesWide || p.FitToPagesTall)
        worksheet_fit_to_pages(ws, static_cast<uint16_t>(p.FitToPagesWide.value_or(0)),
                               static_cast<uint16_t>(p.FitToPagesTall.value_or(0)));
    if (sheet.TabColorIndex)
        if (const auto rgb = PaletteColour(*sheet.TabColorIndex))
            worksheet_set_tab_color(ws, LibraryColour(*rgb));
    if (sheet.Zoom != 100)
        worksheet_set_zoom(ws, static_cast<uint16_t>(std::clamp(sheet.Zoom, 10, 400)));
    if (active)
        worksheet_activate(ws);
    for (const auto& chart : sheet.Charts())
        WriteChart(w, ws, sheet, *chart);
}

// The print titles are one defined name of at most 127 bytes,
// 'Name'!$A:$A,'Name'!$1:$1 with both ranges: a longer sheet name would
// cut the titles short, so the name is cut instead, on whole letters.
void FitNameToPrintTitles(TWorksheet& sheet)
{
    const int ranges = int(sheet.PageSetup.PrintTitleFirstRow) + int(sheet.PageSetup.PrintTitleFirstColumn);
    if (ranges == 0)
        return;
    constexpr std::size_t MaxFormula = LXW_DEFINED_NAME_LENGTH - 1;
    constexpr std::size_t PerRange = std::char_traits<char>::length("''!$A:$A");
    const std::size_t allowed = (MaxFormula - static_cast<std::size_t>(ranges - 1)) / static_cast<std::size_t>(ranges) - PerRange;
    auto quotedSize = [](const std::string& name) {
        return name.size() + static_cast<std::size_t>(std::count(name.begin(), name.end(), '\''));
    };
    std::string name = sheet.Name();
    if (quotedSize(name) <= allowed)
        return;
    for (std::size_t n = Utf8Length(name); n > 0 && quotedSize(name) > allowed; --n)
        name = Utf8Left(sheet.Name(), n);
    while (!name.empty() && (name.back() == '\'' || name.back() == ' '))
        name.pop_back();
    sheet.SetName(name);
}

} // namespace

void TWorkbook::SaveAs(const std::string& fileName)
{
    if (fileName.empty())
        throw TWorkbookError("Не задано ім'я файлу книги");
    const std::string failure = "Неможливо записати файл " + fileName;
    // Written beside the final file so that the rename cannot cross file
    // systems; the final name appears only when the file is complete.
    const std::string temp = fileName + ".part";
    try {
        TXlsxWriter w(temp);
        if (!w.Book())
            throw TWorkbookError("не вдалося створити книгу");
        for (int i = 1; i <= SheetCount(); ++i) {
            TWorksheet& sheet = Worksheets(i);
            FitNameToPrintTitles(sheet);
            lxw_worksheet* ws = workbook_add_worksheet(w.Book(), sheet.Name().c_str());
            if (!ws)
                throw TWorkbookError("неприпустима назва аркуша \"" + sheet.Name() + "\"");
            WriteSheet(w, *this, sheet, ws, i == active_);
        }
        const lxw_error e = w.Close();
        if (e != LXW_NO_ERROR) {
            const int err = errno;
            std::string reason = lxw_strerror(e);
            if (err != 0)
                reason += std::string(" (") + std::strerror(err) + ")";
            throw TWorkbookError(reason);
        }
        if (std::rename(temp.c_str(), fileName.c_str()) != 0)
            throw TWorkbookError(std::strerror(errno));
    } catch (const TWorkbookError& e) {
        std::remove(temp.c_str());
        throw TWorkbookError(failure + ": " + e.what());
    }
}

} // namespace ferrolyt
