#include "ResultsExport.h"

#include "ModalDialog.h"

#include "FForw.h"
#include "Host.h"
#include "Model.h"
#include "ResultDisplay.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <variant>

namespace ferrolyt {

namespace {

std::string Text(const QLineEdit* e) { return e ? e->text().toStdString() : std::string(); }

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The value as the general number format shows it, read back.
double RoundedGeneral(double v)
{
    long double r = 0;
    if (ReadShownNumber(FormatGeneral(v, 15, 0), r))
        return static_cast<double>(r);
    return v;
}

double RoundedByMask(const std::string& mask, double v)
{
    long double r = 0;
    if (ReadShownNumber(FormatFloatMask(mask, v), r))
        return static_cast<double>(r);
    return v;
}

bool IsValue(long double v) { return v != UnsetValue && std::isfinite(v); }

TCellValue ValueOrEmpty(long double v)
{
    if (!IsValue(v))
        return {};
    return static_cast<double>(v);
}

std::string UpperAscii(std::string s)
{
    for (char& ch : s)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

} // namespace

TExportInputs ExportInputsOf(const TFForw& w)
{
    TExportInputs in;
    in.Pressure = Text(w.EditP);
    in.IniTemp = Text(w.EditIniT);
    in.FinalTemp = Text(w.EditFinT);
    in.MetalMass = Text(w.EditMetM);
    in.SlagMass = Text(w.EditSlgM);
    in.Basicity = Text(w.EditOsn);
    in.GasMass = Text(w.EditGasM);
    in.ChargeMass = Text(w.EditMatM);
    in.ChargeCost = Text(w.EditCost);
    in.ElGrid = &w.ElGridCells;
    in.GasGrid = &w.GasGridCells;
    return in;
}

// ---------------------------------------------------------------------------
// Workbook routines

void SetupSheetPage(TWorksheet& sheet, int orientation, double left, double right, double top, double bottom,
                    const std::string& fileTitle)
{
    TPageSetup& p = sheet.PageSetup;
    p.Orientation = orientation;
    p.CenterHeader = fileTitle;
    p.RightHeader = "&P of &N";
    p.RightMargin = TSpreadsheetApp::CentimetersToPoints(right);
    p.LeftMargin = TSpreadsheetApp::CentimetersToPoints(left);
    p.TopMargin = TSpreadsheetApp::CentimetersToPoints(top);
    p.BottomMargin = TSpreadsheetApp::CentimetersToPoints(bottom);
    p.HeaderMargin = p.RightMargin;
}

void FormatSheetColumns(TWorksheet& sheet, const std::string& name, double width1, double width2,
                        double widthOthers)
{
    sheet.SetName(name);
    sheet.Columns().SetColumnWidth(widthOthers);
    const TRange all = sheet.Rows();
    all.SetFontName("Arial");
    all.SetFontSize(10);
    all.SetVerticalAlignment(2);
    all.SetRowHeight(15);
    const TRange first = sheet.Rows(1);
    first.SetRowHeight(20);
    first.SetBold(true);
    first.SetHorizontalAlignment(3);
    sheet.Columns(2).SetBold(true);
    sheet.Columns(2).SetColumnWidth(width2);
    sheet.Columns(1).SetHorizontalAlignment(3);
    sheet.Columns(1).SetColumnWidth(width1);
}

void DrawRangeBorders(const TRange& range)
{
    const TBorderLine thin{xl::Continuous, xl::Thin, xl::Automatic};
    range.SetBorder(xl::InsideVertical, thin);
    range.SetBorder(xl::InsideHorizontal, thin);
    const TCellRect& r = range.Rect();
    TWorksheet& s = range.Sheet();
    s.Range(r.Row1, r.Col1, r.Row1, r.Col2).BorderAround(xl::Continuous, xl::Medium, xl::Automatic);
    if (r.ColCount() >= 2)
        s.Range(r.Row1, r.Col1 + 1, r.Row2, r.Col1 + 1).BorderAround(xl::Continuous, xl::Medium, xl::Automatic);
    range.BorderAround(xl::Continuous, xl::Medium, xl::Automatic);
}

std::optional<double> ReadNumber(const std::string& text)
{
    long double v = 0;
    if (!ReadShownNumber(text, v))
        return std::nullopt;
    return static_cast<double>(v);
}

void GridToSheet(TWorksheet& sheet, const TStringGrid& grid, int cols, int rows)
{
    cols = std::clamp(cols, 1, 26);
    rows = std::max(rows, 1);
    TValueArray values(static_cast<std::size_t>(rows), std::vector<TCellValue>(static_cast<std::size_t>(cols)));
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= cols; ++c) {
            const std::string& text = grid.Cell(c - 1, r - 1);
            TCellValue& v = values[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c - 1)];
            if (r == 1 || c == 2) {
                sheet.Cells(r, c).SetNumberFormat("@");
                if (!text.empty())
                    v = text;
            } else if (c == 1) {
                v = static_cast<double>(r - 1);
            } else if (!text.empty()) {
                if (const auto n = ReadNumber(text)) {
                    v = *n;
                } else {
                    v = WithFilePoint(text); // such as a range "a..b"
                    sheet.Cells(r, c).SetNumberFormat("@");
                }
            }
        }
    const TRange range = sheet.Range("A1:" + ColumnLetters(cols) + std::to_string(rows));
    range.SetValues(values);
    DrawRangeBorders(range);
}

namespace {

int DecimalsShown(const std::string& text)
{
    const std::string t = DecimalDot(Trim(text));
    const auto dot = t.find('.');
    if (dot == std::string::npos)
        return 0;
    int n = 0;
    for (std::size_t i = dot + 1; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i)
        ++n;
    return n;
}

} // namespace

TSummaryValues SummaryNumberMask(const std::string& text)
{
    TSummaryValues out;
    const auto sep = text.find("..");
    if (sep == std::string::npos) {
        out.Lower = out.Upper = out.Mean = ReadNumber(text);
        return out;
    }
    const std::string a = text.substr(0, sep);
    const std::string b = text.substr(sep + 2);
    out.Lower = ReadNumber(a);
    out.Upper = ReadNumber(b);
    if (out.Lower && out.Upper) {
        const int decimals = std::max(DecimalsShown(a), DecimalsShown(b));
        out.Mean = RoundedByMask("0." + std::string(static_cast<std::size_t>(decimals), '0'),
                                 (*out.Lower + *out.Upper) / 2);
    }
    return out;
}

void PutSummaryRow(int row, const std::string& label, const std::string& unit, long double lower,
                   long double upper, const std::string& text, TSummaryArray& summary)
{
    if (row < 1 || row > 18)
        return;
    TSummaryValues v;
    if (Trim(text).empty()) {
        if (IsValue(lower))
            v.Lower = static_cast<double>(lower);
        if (IsValue(upper))
            v.Upper = static_cast<double>(upper);
        if (v.Lower && v.Upper)
            v.Mean = (*v.Lower + *v.Upper) / 2;
    } else {
        v = SummaryNumberMask(text);
    }
    auto rounded = [](std::optional<double> x) -> TCellValue {
        if (!x)
            return {};
        return RoundedGeneral(*x);
    };
    auto& line = summary[static_cast<std::size_t>(row)];
    line[0] = static_cast<double>(row);
    line[1] = label;
    line[2] = unit;
    line[3] = rounded(v.Lower);
    line[4] = rounded(v.Upper);
    line[5] = rounded(v.Mean);
}

std::string NumberFormatFor(double value)
{
    if (value >= 10)
        return "0.00";
    if (value >= 1)
        return "0.000";
    if (value >= 0.1)
        return "0.0000";
    return "0.00000";
}

std::array<TCellValue, 3> PutNumberCells(long double a, long double b)
{
    std::array<TCellValue, 3> out{};
    if (!std::isfinite(a) || !std::isfinite(b))
        return out;
    const std::array<double, 3> v = {static_cast<double>(std::min(a, b)), static_cast<double>(std::max(a, b)),
                                     static_cast<double>((a + b) / 2)};
    for (std::size_t i = 0; i < 3; ++i) {
        const double x = v[i] < 5e-5 ? 0.0 : v[i];
        out[i] = RoundedByMask(NumberFormatFor(x), x);
    }
    return out;
}

// ---------------------------------------------------------------------------
// The sheets

namespace {

const TTaskRecord* CurrentTaskOrNull()
{
    if (TaskList.Count <= 0 || TaskList.Current < 0 || TaskList.Current >= TaskList.Count)
        return nullptr;
    return &TaskList.CurrentTask();
}

// A mean column holds the mean of the two columns to its left: written as
// that formula with the value computed here.
void MeanFormulas(TWorksheet& sheet, int row1, int row2, int meanColumn)
{
    const std::string lower = ColumnLetters(meanColumn - 2), upper = ColumnLetters(meanColumn - 1);
    for (int r = row1; r <= row2; ++r) {
        const TCell* cell = sheet.FindCell(r, meanColumn);
        if (!cell || !std::holds_alternative<double>(cell->Value))
            continue;
        const std::string row = std::to_string(r);
        sheet.Cells(r, meanColumn).SetFormula("=(" + lower + row + "+" + upper + row + ")/2", cell->Value);
    }
}

void SummarySheet(TWorksheet& sheet, const TExportInputs& in, const std::string& fileTitle)
{
    SetupSheetPage(sheet, xl::Portrait, 2, 1, 2, 2, fileTitle);
    sheet.Columns(3).SetHorizontalAlignment(3);
    TSummaryArray s{};
    const std::array<std::string, 6> head = {"№", "Показник", "Од.вим.", "Мінімум", "Максимум", "Середнє"};
    for (std::size_t c = 0; c < 6; ++c)
        s[0][c] = head[c];
    const TTaskRecord* task = CurrentTaskOrNull();
    auto t = [task](long double TTaskRecord::*field) { return task ? task->*field : UnsetValue; };
    const long double v0 = ThSystems[0] ? ThSystems[0]->GasVolume : UnsetValue;
    const long double v1 = ThSystems[1] ? ThSystems[1]->GasVolume : UnsetValue;
    const long double vLo = (IsValue(v0) && IsValue(v1)) ? std::min(v0, v1) : UnsetValue;
    const long double vHi = (IsValue(v0) && IsValue(v1)) ? std::max(v0, v1) : UnsetValue;
    const long double u = UnsetValue;
    PutSummaryRow(1, "Тиск", "атм", u, u, in.Pressure, s);
    PutSummaryRow(2, "Температура навк. серед.", "°С", t(&TTaskRecord::AmbTemp), t(&TTaskRecord::AmbTemp), "", s);
    PutSummaryRow(3, "Температура початкова", "°С", u, u, in.IniTemp, s);
    PutSummaryRow(4, "Температура задана", "°С", t(&TTaskRecord::MinTemp), t(&TTaskRecord::MaxTemp), "", s);
    PutSummaryRow(5, "Температура кінцева", "°С", u, u, in.FinalTemp, s);
    PutSummaryRow(6, "Маса металу початкова", "т", t(&TTaskRecord::IniMinMet), t(&TTaskRecord::IniMaxMet), "", s);
    PutSummaryRow(7, "Маса металу задана", "т", t(&TTaskRecord::MinMet), t(&TTaskRecord::MaxMet), "", s);
    PutSummaryRow(8, "Маса металу кінцева", "т", u, u, in.MetalMass, s);
    PutSummaryRow(9, "Маса шлаку початкова", "т", t(&TTaskRecord::IniMinSlg), t(&TTaskRecord::IniMaxSlg), "", s);
    PutSummaryRow(10, "Маса шлаку задана", "т", t(&TTaskRecord::MinSlg), t(&TTaskRecord::MaxSlg), "", s);
    PutSummaryRow(11, "Маса шлаку кінцева", "т", u, u, in.SlagMass, s);
    // A basicity is a ratio: its unit cell stays empty.
    PutSummaryRow(12, "Основність шлаку задана", "", t(&TTaskRecord::MinOsn), t(&TTaskRecord::MaxOsn), "", s);
    PutSummaryRow(13, "Основність шлаку кінцева", "", u, u, in.Basicity, s);
    PutSummaryRow(14, "Маса газу задана", "т", t(&TTaskRecord::MinGas), t(&TTaskRecord::MaxGas), "", s);
    PutSummaryRow(15, "Маса газу кінцева", "т", u, u, in.GasMass, s);
    PutSummaryRow(16, "Об'єм газу кінцевий", "м3", vLo, vHi, "", s);
    PutSummaryRow(17, "Маса матеріалів факт", "т", u, u, in.ChargeMass, s);
    PutSummaryRow(18, "Вартість матеріалів факт", "у.о.", u, u, in.ChargeCost, s);
    FormatSheetColumns(sheet, "Осн. показники", 3, 30, 10);
    TValueArray values;
    for (const auto& row : s)
        values.emplace_back(row.begin(), row.end());
    const TRange range = sheet.Range("A1:F19");
    range.SetValues(values);
    MeanFormulas(sheet, 2, 19, 6);
    DrawRangeBorders(range);
    // The volume is no display text: it gets the digits of the composition cells.
    if (IsValue(vHi))
        sheet.Range("D17:F17").SetNumberFormat(NumberFormatFor(static_cast<double>(vHi)));
    // Nineteen rows of a table a little wider than the portrait page.
    sheet.PageSetup.FitToPagesWide = 1;
    sheet.PageSetup.FitToPagesTall = 1;
}

// Header and frame of one block of the metal-slag-gas sheet; the title in
// row `top`, headers in the next two, then `count` element rows.
void FormatCompositionBlock(TWorksheet& sheet, int top, int count)
{
    const int h1 = top + 1, h2 = top + 2, last = top + 2 + count;
    const TRange title = sheet.Cells(top, 1);
    title.SetHorizontalAlignment(1);
    title.SetFontSize(12);
    title.SetBold(true);
    const TRange header = sheet.Range(h1, 1, h2, 12);
    header.SetBold(true);
    header.SetHorizontalAlignment(3);
    for (int c = 1; c <= 3; ++c)
        sheet.Range(h1, c, h2, c).Merge();
    for (int c : {4, 7, 10})
        sheet.Range(h1, c, h1, c + 2).Merge();
    sheet.Range(h1, 1, h1, 12).SetWrapText(true);
    sheet.Rows(h1).SetRowHeight(27);
    const TRange block = sheet.Range(h1, 1, last, 12);
    const TBorderLine thin{xl::Continuous, xl::Thin, xl::Automatic};
    block.SetBorder(xl::InsideVertical, thin);
    block.SetBorder(xl::InsideHorizontal, thin);
    header.BorderAround(xl::Continuous, xl::Medium, xl::Automatic);
    block.BorderAround(xl::Continuous, xl::Medium, xl::Automatic);
}

enum class TBlock { Metal, Slag, Gas };

void WriteCompositionBlock(TWorksheet& sheet, int top, TBlock kind, const TTaskRecord* task)
{
    const int h1 = top + 1, h2 = top + 2;
    const bool elemental = Settings.ElementalSlag;
    sheet.Cells(top, 1).SetValue(std::string(kind == TBlock::Metal ? "Метал" : kind == TBlock::Slag ? "Шлак" : "Газ"));
    sheet.Cells(h1, 1).SetValue(std::string("№"));
    sheet.Cells(h1, 2).SetValue(std::string(kind == TBlock::Slag ? "Компо- ненты" : "Ел-ти"));
    sheet.Cells(h1, 3).SetValue(std::string("Поч., %"));
    sheet.Cells(h1, 4).SetValue(std::string("Задано, %"));
    std::string g = "Кінцевий, %", j = "Кінцевий, кг";
    if (kind == TBlock::Slag) {
        g = elemental ? "Кінцевий (елем.), %" : "Кінцевий (оксид.), %";
        j = elemental ? "Кінцевий (елем.), кг" : "Кінцевий (оксид.), кг";
    }
    sheet.Cells(h1, 7).SetValue(g);
    sheet.Cells(h1, 10).SetValue(j);
    for (int c : {4, 7, 10}) {
        sheet.Cells(h2, c).SetValue(std::string("Мін"));
        sheet.Cells(h2, c + 1).SetValue(std::string("Макс"));
        sheet.Cells(h2, c + 2).SetValue(std::string("Сер."));
    }
    const TThSys& s0 = *ThSystems[0];
    const TThSys& s1 = *ThSystems[1];
    const int oxygen = s0.Elems->KeyIndex[keyO];
    for (int i = 0; i <= SystemElemLast; ++i) {
        const int row = top + 3 + i;
        const TElementRecord& a = s0.El(i);
        const TElementRecord& b = s1.El(i);
        sheet.Cells(row, 1).SetValue(static_cast<double>(i + 1));
        sheet.Cells(row, 2).SetValue((kind == TBlock::Slag ? "  " : "   ") + a.Symbol);
        if (task && kind != TBlock::Gas) {
            for (int k = 1; k <= std::min(task->NEl, MaxTaskElements); ++k) {
                if (UpperAscii(Trim(task->Symbols[k])) != UpperAscii(Trim(a.Symbol)))
                    continue;
                const bool metal = kind == TBlock::Metal;
                const long double sample = metal ? task->MetalSample[k] : task->SlagSample[k];
                const long double lo = metal ? task->MetalMin[k] : task->SlagMin[k];
                const long double hi = metal ? task->MetalMax[k] : task->SlagMax[k];
                sheet.Cells(row, 3).SetValue(ValueOrEmpty(sample));
                sheet.Cells(row, 4).SetValue(ValueOrEmpty(lo));
                sheet.Cells(row, 5).SetValue(ValueOrEmpty(hi));
                if (IsValue(lo) && IsValue(hi))
                    sheet.Cells(row, 6).SetValue(static_cast<double>((lo + hi) / 2));
                break;
            }
        }
        std::array<TCellValue, 3> pct{}, kg{};
        switch (kind) {
        case TBlock::Metal:
            pct = PutNumberCells(100 * a.MetalFraction, 100 * b.MetalFraction);
            kg = PutNumberCells(1000 * a.MetalMass, 1000 * b.MetalMass);
            break;
        case TBlock::Slag:
            if (elemental) {
                pct = PutNumberCells(100 * a.SlagFraction, 100 * b.SlagFraction);
                kg = PutNumberCells(1000 * a.SlagMass, 1000 * b.SlagMass);
            } else if (i != oxygen) {
                // Oxygen is inside the other elements' oxides.
                pct = PutNumberCells(100 * a.SlagCompoundFraction, 100 * b.SlagCompoundFraction);
                kg = PutNumberCells(1000 * a.SlagCompoundFraction * s0.SlagMass,
                                    1000 * b.SlagCompoundFraction * s1.SlagMass);
            }
            break;
        case TBlock::Gas:
            pct = PutNumberCells(100 * a.GasMass / (s0.GasMass + DivisorFloor),
                                 100 * b.GasMass / (s1.GasMass + DivisorFloor));
            kg = PutNumberCells(1000 * a.GasMass, 1000 * b.GasMass);
            break;
        }
        for (int c = 0; c < 3; ++c) {
            sheet.Cells(row, 7 + c).SetValue(pct[static_cast<std::size_t>(c)]);
            sheet.Cells(row, 10 + c).SetValue(kg[static_cast<std::size_t>(c)]);
        }
    }
}

void CompositionSheet(TWorksheet& sheet, const std::string& fileTitle)
{
    SetupSheetPage(sheet, xl::Portrait, 2, 1, 2, 2, fileTitle);
    FormatSheetColumns(sheet, "Метал-шлак-газ", 3, 7, 7);
    const int e = SystemElemLast;
    const int metalTop = 1, slagTop = e + 6, gasTop = 2 * e + 11;
    const int count = e + 1;
    // The gas block is formatted once and its formats copied to the others.
    FormatCompositionBlock(sheet, gasTop, count);
    const TRange gas = sheet.Range(gasTop, 1, gasTop + 2 + count, 12);
    gas.CopyFormatsTo(sheet.Cells(metalTop, 1));
    gas.CopyFormatsTo(sheet.Cells(slagTop, 1));
    for (int top : {metalTop, slagTop})
        sheet.Rows(top + 1).SetRowHeight(27);
    const TTaskRecord* task = CurrentTaskOrNull();
    WriteCompositionBlock(sheet, metalTop, TBlock::Metal, task);
    WriteCompositionBlock(sheet, slagTop, TBlock::Slag, task);
    WriteCompositionBlock(sheet, gasTop, TBlock::Gas, task);
    for (int column : {6, 9, 12})
        MeanFormulas(sheet, metalTop, gasTop + 2 + count, column);
}

void MaterialsSheet(TWorksheet& sheet, const std::string& fileTitle)
{
    SetupSheetPage(sheet, xl::Portrait, 2, 1, 2, 2, fileTitle);
    FormatSheetColumns(sheet, "Материалі", 3, 14, 8);
    const int n = std::max(MaterialCount, 0);
    TValueArray values(static_cast<std::size_t>(n + 1), std::vector<TCellValue>(10));
    const std::array<std::string, 10> head = {"№",      "Матеріал", "Факт, т", "Оптим,т", "Реком,т",
                                              "Обов, т", "Мін, т",   "Макс, т", "Мін, %",  "Макс,%"};
    for (std::size_t c = 0; c < 10; ++c)
        values[0][c] = head[c];
    for (int j = 1; j <= n; ++j) {
        const TMaterialRecord& m = MaterialTable[j];
        auto& row = values[static_cast<std::size_t>(j)];
        row[0] = static_cast<double>(j);
        row[1] = m.Name;
        row[2] = ValueOrEmpty(m.Amount);
        row[3] = ValueOrEmpty(m.LpAmount);
        row[4] = ValueOrEmpty(m.Recommended);
        row[5] = ValueOrEmpty(m.Fixed);
        row[6] = ValueOrEmpty(m.MinT);
        row[7] = ValueOrEmpty(m.MaxT);
        row[8] = ValueOrEmpty(m.MinPercent);
        row[9] = ValueOrEmpty(m.MaxPercent);
        if (m.Disabled)
            sheet.Cells(j + 1, 2).SetFontColour(0x808080);
        else if (IsValue(m.Fixed) && m.Fixed > 0)
            sheet.Cells(j + 1, 2).SetFontColour(0x800000);
    }
    const TRange range = sheet.Range(1, 1, n + 1, 10);
    range.SetValues(values);
    DrawRangeBorders(range);
}

void FunctionsSheet(TWorksheet& sheet, const TStringGrid& elGrid, const std::string& fileTitle)
{
    SetupSheetPage(sheet, xl::Landscape, 1, 1, 2, 2, fileTitle);
    FormatSheetColumns(sheet, "ТД функції", 3, 4, 6);
    const int n = SystemElemLast + 2;
    GridToSheet(sheet, elGrid, 23, n);
    sheet.Range("I1:L" + std::to_string(n)).BorderAround(xl::Continuous, xl::Medium, xl::Automatic);
    sheet.Range("Q1:S" + std::to_string(n)).BorderAround(xl::Continuous, xl::Medium, xl::Automatic);
    // The composition columns are on the second sheet already.
    sheet.Range("C1:H" + std::to_string(n)).DeleteShiftLeft();
}

void GasPressureSheet(TWorksheet& sheet, const TStringGrid& gasGrid, const std::string& fileTitle)
{
    SetupSheetPage(sheet, xl::Portrait, 2, 1, 2, 2, fileTitle);
    FormatSheetColumns(sheet, "Тиск газів", 3, 8, 8);
    const int lines = GasLineCount;
    GridToSheet(sheet, gasGrid, 4, lines + 3);
    sheet.Rows(1).SetRowHeight(20);
    sheet.Range(lines + 2, 1, lines + 2, 4).BorderAround(xl::Continuous, xl::Medium, xl::Automatic);
    // The two total rows carry no number.
    sheet.Cells(lines + 2, 1).ClearContents();
    sheet.Cells(lines + 3, 1).ClearContents();
}

std::string FileTitle(const std::string& fileName)
{
    const auto slash = fileName.find_last_of("/\\");
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

} // namespace

void BuildResultsWorkbook(TSpreadsheetApp&, TWorkbook& book, const TExportInputs& in, const std::string& fileTitle)
{
    if (!ThSystems[0] || !ThSystems[1] || !ThSystems[0]->Elems || !ThSystems[1]->Elems)
        throw TWorkbookError("Немає результатів для експорту");
    static const TStringGrid emptyGrid(1, 1);
    SummarySheet(book.Worksheets(1), in, fileTitle);
    CompositionSheet(book.Worksheets(2), fileTitle);
    MaterialsSheet(book.Worksheets(3), fileTitle);
    FunctionsSheet(book.Worksheets(4), in.ElGrid ? *in.ElGrid : emptyGrid, fileTitle);
    GasPressureSheet(book.Worksheets(5), in.GasGrid ? *in.GasGrid : emptyGrid, fileTitle);
}

std::string ExportResults(const std::string& fileName, const TExportInputs& in)
{
    std::string name = fileName;
    BuildWorkbookInSession(5, [&](TSpreadsheetApp& app, TWorkbook& book) {
        // The header names the file as it will be saved.
        const std::string title = FileTitle(ChangeFileExt(fileName, WorkbookExtension(book.FileFormat())));
        BuildResultsWorkbook(app, book, in, title);
        SaveWorkbookAs(book, name);
    });
    return name;
}

std::string ExportResults(const TFForw& window, const std::string& fileName)
{
    return ExportResults(fileName, ExportInputsOf(window));
}

std::string AskWorkbookFileName(QWidget* parent, const QString& title, const QString& suggested)
{
    QFileDialog dialog(parent, title);
    dialog.setObjectName("WorkbookDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("Файлы Excel (*.xlsx *.XLSX *.xls *.XLS)"));
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    dialog.selectFile(suggested);
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const std::string chosen = dialog.selectedFiles().first().toStdString();
    const std::string written = ChangeFileExt(chosen, WorkbookExtension(xl::OpenXMLWorkbook));
    if (written != chosen && QFileInfo::exists(QString::fromStdString(written)) &&
        !CurrentHost().AskYesNo("Файл " + FileTitle(written) + " вже існує.\nЗамінити?"))
        return {};
    return written;
}

void ExportResultsCommand(TFForw& window)
{
    const std::string name = AskWorkbookFileName(&window, QStringLiteral("Eкспорт таблиць у файл"),
                                                 window.TaskBox ? window.TaskBox->currentText() : QString());
    if (!name.empty())
        ExportResults(window, name);
}

} // namespace ferrolyt
