#include "EffectsViews.h"

#include "ResultDisplay.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"
#include "Workbook.h"

#include <algorithm>
#include <cmath>
#include <variant>

namespace ferrolyt {

uint8_t DkmViewMode = dkmProperties;
int32_t DkmRowCount = 0;

namespace {

std::size_t Ix(int i) { return static_cast<std::size_t>(i); }

int ElementCount() { return std::clamp(SystemElemLast + 1, 0, MaxElements); }

int LastMaterialRow() { return std::min(MaterialCount + 3, MaterialSlotLast); }

const TCompositionTable& CompositionOf(int kind) { return kind == 1 ? CompositionMax : CompositionMin; }

const TThSys& SystemOf(int kind, const TThSys& s0, const TThSys& s1) { return kind == 1 ? s1 : s0; }

// Words of the texts: the row word by the rows, the unit word by the unit.
const char* RowWord(bool materialRows) { return materialRows ? "матеріал" : "елемент"; }
const char* UnitWord(bool inKg) { return inKg ? "кг" : "мас.%"; }

const char* PhaseWord(uint8_t view)
{
    switch (view) {
    case dkmMetal: return "метал";
    case dkmSlag: return "шлак";
    default: return "газ";
    }
}

std::string ElementColumnHeader(uint8_t view, const TElementRecord& e, bool oxideSlag)
{
    switch (view) {
    case dkmMetal: return "[" + e.Symbol + "]";
    case dkmGas: return "{" + e.Symbol + "}";
    default: return "(" + (oxideSlag ? e.Label : e.Symbol) + ")";
    }
}

std::string Trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return std::string(s.substr(b, e - b));
}

void ClearForView(TStringGrid& grid)
{
    // Headers left by a wider view would stand over empty columns.
    for (int c = 1; c < grid.ColCount(); ++c)
        grid.SetCell(c, 0, "");
    for (int r = 1; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c)
            grid.SetCell(c, r, "");
}

void FillRowLabels(TStringGrid& grid, bool elementRows, const TThSys& s0)
{
    if (elementRows) {
        DkmRowCount = ElementCount();
        grid.SetCell(1, 0, "Element");
        for (int i = 0; i < DkmRowCount; ++i)
            grid.SetCell(1, i + 1, "       " + s0.El(i).Symbol);
    } else {
        DkmRowCount = std::max(0, LastMaterialRow());
        grid.SetCell(1, 0, "Матеріал");
        for (int j = 1; j <= DkmRowCount; ++j)
            grid.SetCell(1, j, MaterialTable[j].Name);
    }
}

TDkmTexts FillEffectView(TStringGrid& grid, uint8_t view, const TDkmChoices& c, const TThSys& s0,
                         const TThSys& s1)
{
    const bool elementRows = !c.MaterialRows;
    TDkmTexts texts;
    texts.Caption = std::string("Дія ") + RowWord(c.MaterialRows) + "ів на поточний " + PhaseWord(view);
    texts.Status = std::string(" Зміна маси фази (") + UnitWord(c.InKg) + ") та її складу (" + UnitWord(c.InKg)
                   + ") при додаванні 1т " + RowWord(c.MaterialRows) + "у";

    const int elements = ElementCount();
    grid.SetCell(2, 0, "Маса");
    for (int i = 0; i < elements; ++i)
        grid.SetCell(3 + i, 0, ElementColumnHeader(view, s0.El(i), c.OxideSlag));

    for (int n = 1; n <= DkmRowCount; ++n) {
        const int r = elementRows ? n - 1 : n;
        const TEffectRow row = EffectRowValues(view, c, s0, s1, r);
        grid.SetCell(2, n, FormatValue(row.MassChange));
        for (int i = 0; i < elements; ++i)
            grid.SetCell(3 + i, n, FormatValue(row.Elements[Ix(i)]));
    }
    return texts;
}

TDkmTexts FillPropertiesView(TStringGrid& grid, const TDkmChoices& c, const TThSys& s0, const TThSys& s1)
{
    TDkmTexts texts;
    texts.Caption = "Властивості матеріалів";
    texts.Status = " Т-ра,°C | Фаза | Ознака рідкого стану | Темп. к-т, K/т | H (стандартна, змішування, повна) "
                   "| Тепловміст, кДж/кг | Теплоємність, кДж/К/кг | Ціна";
    const std::string t = std::to_string(Settings.MoltenMaterialTemp);
    const std::vector<std::string> header =
        SplitHeaderList("N,Матеріал,\"t,°C\",Фаза,Рідкий,DT,\"H std\",\"H mix\",H,Q" + t + ",C" + t + ",Ціна");
    for (std::size_t col = 1; col < header.size(); ++col)
        grid.SetCell(static_cast<int>(col), 0, header[col]);

    CalcMoltenHeatsOnCopies(s0, s1);

    for (int j = 1; j <= DkmRowCount; ++j) {
        const TMaterialRecord& m = MaterialTable[j];
        if (m.Type >= mtMetal && m.Type <= mtGas)
            grid.SetCell(2, j, FormatValue(MaterialShownTemperature(m)));
        grid.SetCell(3, j, PhaseLetter(m.Type));
        grid.SetCell(4, j, m.Molten ? "+" : "");
        const std::array<const std::array<long double, 2>*, 6> pairs = {
            &m.TempEffect, &m.HeatA, &m.HeatB, &m.HeatTotal, &m.HeatToMolten, &m.MoltenHeatCapacity};
        for (std::size_t p = 0; p < pairs.size(); ++p)
            grid.SetCell(5 + static_cast<int>(p), j, FormatValue(BoundValue(c.Bound, (*pairs[p])[0], (*pairs[p])[1])));
        grid.SetCell(11, j, FormatValue(m.Price));
    }
    return texts;
}

TDkmTexts FillCompositionView(TStringGrid& grid, const TDkmChoices& c, const TThSys& s0)
{
    TDkmTexts texts;
    texts.Caption = "Хiмiчний склад матерiалiв";
    texts.Status = " Фізичне засвоєння та хімічний склад матеріалів, мас.%";
    const int elements = ElementCount();
    grid.SetCell(2, 0, "Ф/засв");
    for (int i = 0; i < elements; ++i)
        grid.SetCell(3 + i, 0, s0.El(i).Symbol);
    for (int j = 1; j <= DkmRowCount; ++j) {
        grid.SetCell(2, j, FormatValue(RecoveryShown(c.Bound, MaterialTable[j])));
        for (int i = 0; i < elements; ++i)
            grid.SetCell(3 + i, j, FormatValue(CompositionPercent(c.Bound, i, j)));
    }
    return texts;
}

} // namespace

long double BoundValue(TDkmBound bound, long double v0, long double v1)
{
    switch (bound) {
    case TDkmBound::Low: return v0;
    case TDkmBound::High: return v1;
    default: return 0.5L * (v0 + v1);
    }
}

bool IsEffectView(uint8_t view) { return view == dkmMetal || view == dkmSlag || view == dkmGas; }

bool HasElementRows(uint8_t view, const TDkmChoices& choices) { return IsEffectView(view) && !choices.MaterialRows; }

bool MassIsSumOfElements(uint8_t view, const TDkmChoices& choices)
{
    return IsEffectView(view) && choices.InKg && !(view == dkmSlag && choices.OxideSlag);
}

long double EffectEntry(uint8_t view, bool materialRows, int kind, int i, int r)
{
    const std::size_t k = kind == 1 ? 1 : 0;
    if (materialRows) {
        const long double metal = MaterialEffectsOnMetal[k][Ix(i + 1)][r];
        const long double slag = MaterialEffectsOnSlag[k][Ix(i + 1)][r];
        switch (view) {
        case dkmMetal: return metal;
        case dkmSlag: return slag;
        default: return static_cast<long double>(CompositionOf(kind)[Ix(i + 1)][r]) - metal - slag;
        }
    }
    const long double metal = ElementEffectsOnMetal[k][Ix(i)][Ix(r)];
    const long double slag = ElementEffectsOnSlag[k][Ix(i)][Ix(r)];
    switch (view) {
    case dkmMetal: return metal;
    case dkmSlag: return slag;
    default: return (i == r ? 1.0L : 0.0L) - metal - slag;
    }
}

TPhaseShares PhaseShares(uint8_t view, const TThSys& sys)
{
    TPhaseShares shares;
    const int elements = ElementCount();
    switch (view) {
    case dkmMetal:
        shares.Mass = sys.MetalMass;
        for (int i = 0; i < elements; ++i)
            shares.Fraction[Ix(i)] = sys.El(i).MetalFraction;
        break;
    case dkmSlag:
        shares.Mass = sys.SlagMass;
        for (int i = 0; i < elements; ++i)
            shares.Fraction[Ix(i)] = sys.El(i).SlagMass / sys.SlagMass;
        break;
    default:
        shares.Mass = sys.GasMass;
        for (int i = 0; i < elements; ++i)
            shares.Fraction[Ix(i)] = sys.El(i).GasMass / sys.GasMass;
        break;
    }
    return shares;
}

TEffectRow EffectRowValues(uint8_t view, const TDkmChoices& c, const TThSys& s0, const TThSys& s1, int r)
{
    const int elements = ElementCount();
    std::array<TPhaseShares, 2> shares = {PhaseShares(view, s0), PhaseShares(view, s1)};
    std::array<long double, 2> d{};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < elements; ++i)
            d[Ix(k)] += EffectEntry(view, c.MaterialRows, k, i, r);

    TEffectRow row;
    // A phase of no mass gives infinite or undefined percentages, which the
    // grid shows empty.
    if (c.InKg)
        row.MassChange = BoundValue(c.Bound, 1000 * d[0], 1000 * d[1]);
    else
        row.MassChange = BoundValue(c.Bound, 100 * d[0] / shares[0].Mass, 100 * d[1] / shares[1].Mass);

    row.Elements.resize(Ix(elements));
    for (int i = 0; i < elements; ++i) {
        std::array<long double, 2> v{};
        for (int k = 0; k < 2; ++k) {
            const std::size_t kk = Ix(k);
            v[kk] = EffectEntry(view, c.MaterialRows, k, i, r);
            if (!c.InKg)
                v[kk] = (v[kk] - shares[kk].Fraction[Ix(i)] * d[kk]) / shares[kk].Mass;
            if (view == dkmSlag && c.OxideSlag)
                v[kk] *= SystemOf(k, s0, s1).El(i).CompoundFactor;
        }
        const long double scale = c.InKg ? 1000 : 100;
        row.Elements[Ix(i)] = BoundValue(c.Bound, scale * v[0], scale * v[1]);
    }
    return row;
}

long double MaterialShownTemperature(const TMaterialRecord& m)
{
    if (!IsUnset(m.Temperature))
        return m.Temperature;
    const long double ambient = TaskList.CurrentTask().AmbTemp;
    if (!IsUnset(ambient))
        return ambient;
    return 20;
}

std::string PhaseLetter(uint8_t type)
{
    static constexpr std::array<const char*, 5> letters = {"e", "з", "м", "ш", "г"};
    return type < letters.size() ? letters[type] : letters[mtMetal];
}

void CalcMoltenHeatsOnCopies(const TThSys& lower, const TThSys& upper)
{
    // The routine loads one unit of each material into the system it runs
    // on; on the solved systems themselves it would replace the results the
    // main window redisplays and this window reads.
    for (const TThSys* source : {&lower, &upper}) {
        TThSys scratch;
        scratch.Assign(*source);
        scratch.HeatCapA = source->HeatCapA;
        scratch.HeatCapB = source->HeatCapB;
        scratch.CalcMoltenMaterialHeats(source->Kind == 1 ? CompositionMax : CompositionMin);
    }
}

long double RecoveryShown(TDkmBound bound, const TMaterialRecord& m) { return BoundValue(bound, m.RecoveryLo, m.RecoveryHi); }

long double CompositionPercent(TDkmBound bound, int i, int j)
{
    const TMaterialRecord& m = MaterialTable[j];
    const long double lo = static_cast<long double>(CompositionMin[Ix(i + 1)][j]) / m.RecoveryLo;
    const long double hi = static_cast<long double>(CompositionMax[Ix(i + 1)][j]) / m.RecoveryHi;
    switch (bound) {
    case TDkmBound::Low: return 100 * lo;
    case TDkmBound::High: return 100 * hi;
    default: return 50 * (lo + hi);
    }
}

int DkmGridColumnCount() { return std::max(DkmGridColumns, ElementCount() + 3); }

TDkmTexts FillDkmGrid(TStringGrid& grid, uint8_t view, const TDkmChoices& choices, const TThSys& s0,
                      const TThSys& s1)
{
    ClearForView(grid);
    FillRowLabels(grid, HasElementRows(view, choices), s0);
    if (IsEffectView(view))
        return FillEffectView(grid, view, choices, s0, s1);
    if (view == dkmComposition)
        return FillCompositionView(grid, choices, s0);
    return FillPropertiesView(grid, choices, s0, s1);
}

bool StoreDkmCell(uint8_t view, int col, int row, std::string_view text)
{
    if (view != dkmProperties || (col != 2 && col != 11) || row < 1 || row > MaterialCount)
        return false;
    const std::string s = DecimalDot(Trim(text));
    long double x = 0;
    if (s.empty() || !TryParseReal(s, x))
        return false;
    if (col == 2)
        MaterialTable[row].Temperature = x;
    else
        MaterialTable[row].Price = x;
    return true;
}

// ---------------------------------------------------------------------------
// Export

std::string DkmExportFileName(const std::string& tabCaption, const std::string& taskText)
{
    return Utf8Left(tabCaption + "_" + taskText, 27);
}

int DkmExportColumnCount(uint8_t view)
{
    const int columns = ElementCount() + 3;
    return view == dkmProperties ? std::max(columns, DkmPropertiesColumns) : columns;
}

void FillDkmWorkbook(TWorkbook& book, const TDkmExport& table)
{
    TWorksheet& sheet = book.Worksheets(1);
    try {
        TPageSetup& p = sheet.PageSetup;
        p.Orientation = xl::Landscape;
        p.CenterHeader = table.Caption + "_" + table.TaskText;
        p.RightHeader = "&P of &N";
        p.RightMargin = TSpreadsheetApp::CentimetersToPoints(1);
        p.LeftMargin = TSpreadsheetApp::CentimetersToPoints(1.5);
        p.TopMargin = TSpreadsheetApp::CentimetersToPoints(2);
        p.BottomMargin = TSpreadsheetApp::CentimetersToPoints(2);
        p.HeaderMargin = p.RightMargin;
        p.PrintTitleFirstColumn = true;
        p.PrintTitleFirstRow = true;
        p.PrintGridlines = true;
        p.Order = 2;
    } catch (const TWorkbookError&) {
        // A page set-up the writer refuses does not stop the export.
    }
    sheet.SetName(Utf8Left(table.Caption, 31));
    TRange rows = sheet.Rows();
    rows.SetFontName("Arial");
    rows.SetFontSize(10);
    rows.SetVerticalAlignment(2);
    rows.SetRowHeight(15);
    sheet.Rows(1).SetRowHeight(17);
    sheet.Columns(2).SetBold(true);
    sheet.Columns(1).SetHorizontalAlignment(3);
    if (table.View == dkmProperties)
        sheet.Range("D:E").SetHorizontalAlignment(3);
    sheet.Rows(1).SetBold(true);
    sheet.Rows(1).SetHorizontalAlignment(3);

    for (std::size_t c = 0; c < table.ColumnWidths.size(); ++c)
        sheet.Columns(static_cast<int>(c) + 1).SetColumnWidth(table.ColumnWidths[c] / 10 + 1);

    const TStringGrid& grid = *table.Grid;
    const int rowCount = std::clamp(table.RowCount, 0, grid.RowCount() - 1) + 1;
    const int colCount = std::min(DkmExportColumnCount(table.View), grid.ColCount());
    TValueArray values(Ix(rowCount), std::vector<TCellValue>(Ix(colCount)));
    for (int r = 0; r < rowCount; ++r) {
        for (int c = 0; c < colCount; ++c) {
            TCellValue& v = values[Ix(r)][Ix(c)];
            const std::string& text = grid.Cell(c, r);
            if (r > 0 && c == 0) {
                v = static_cast<double>(r);
                continue;
            }
            if (r == 0 || c == 1) {
                v = text;
                sheet.Cells(r + 1, c + 1).SetNumberFormat("@");
                continue;
            }
            if (text.empty())
                continue;
            long double x = 0;
            if (ReadShownNumber(text, x)) {
                v = static_cast<double>(x);
            } else {
                v = WithFilePoint(text);
                sheet.Cells(r + 1, c + 1).SetNumberFormat("@");
            }
        }
    }
    if (colCount > 0)
        sheet.Range(1, 1, rowCount, colCount).SetValues(values);
    if (table.MassIsRowSum && colCount > 3) {
        const std::string last = ColumnLetters(colCount);
        for (int r = 1; r < rowCount; ++r)
            if (const double* mass = std::get_if<double>(&values[Ix(r)][2])) {
                const std::string row = std::to_string(r + 1);
                sheet.Cells(r + 1, 3).SetFormula("=SUM(D" + row + ":" + last + row + ")", *mass);
            }
    }
}

std::string ExportDkmTable(const TDkmExport& table, std::string fileName)
{
    BuildWorkbookInSession(3, [&](TSpreadsheetApp&, TWorkbook& book) {
        FillDkmWorkbook(book, table);
        // The writer makes the newer format only; a name ending in ".xls"
        // would give a file that spreadsheet programs refuse or warn about.
        SaveWorkbookAs(book, fileName);
    });
    return fileName;
}

} // namespace ferrolyt
