#include "ResultDisplay.h"

#include "ForwardProblem.h"

#include "RunState.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ferrolyt {

char DisplayDecimalSeparator = '.';
bool ElemRelToSystem = false;
bool ElemRelToElement = false;
int GasLineCount = 0;

const char* const ElGridHeader =
    "№,Ел,Мет,мас%,Шлк,мас%,Газ,мас%,НВ,мас%,Всього,мас%,ln[K),ln[A),ln[K},ln[B},[g0],[g],(g),{g},"
    "ln[a],ln(a),ln{a},\"[h] st\",\"[h] m\",\"(h) m\",\"{h} m\"";
const char* const MatGridHeader = "№,Матерiал,т";
const char* const GasGridHeader = "№,Газ,\"P >=\",\"P <=\"";

namespace {

constexpr long double NaN = std::numeric_limits<long double>::quiet_NaN();

bool IsZeroText(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c == '0' || c == '.' || c == '-'; });
}

// Fixed text with `decimals` decimals, of which the last `optional` are
// dropped when they are trailing zeros; "-0" is written as "0".
std::string FixedText(long double x, int decimals, int optional)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*Lf", decimals, x);
    std::string s(buf);
    if (decimals > 0) {
        for (int dropped = 0; dropped < optional && s.back() == '0'; ++dropped)
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    if (!s.empty() && s[0] == '-' && IsZeroText(s))
        s.erase(0, 1);
    return s;
}

std::string Cut(std::string s, std::size_t n)
{
    if (Utf8Length(s) > n)
        s = Utf8Left(s, n);
    return s;
}

// The element's values that the display units read.
struct TPhaseValues {
    long double Metal, Slag, Gas, Nmi, Total;
};

} // namespace

// ---------------------------------------------------------------------------
// Number formats

std::string WithDisplaySeparator(std::string number)
{
    std::replace(number.begin(), number.end(), '.', DisplayDecimalSeparator);
    return number;
}

std::string WithDisplaySeparatorInText(std::string text)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t k = 1; k + 1 < text.size(); ++k)
        if (text[k] == '.' && digit(text[k - 1]) && digit(text[k + 1]))
            text[k] = DisplayDecimalSeparator;
    return text;
}

std::string WithFilePoint(std::string shown)
{
    std::replace(shown.begin(), shown.end(), DisplayDecimalSeparator, '.');
    return shown;
}

std::string FormatFloatMask(const std::string& mask, long double x)
{
    if (!std::isfinite(x))
        return {};
    const auto e = mask.find_first_of("eE");
    if (e != std::string::npos) {
        // Mantissa by the part before the exponent, exponent without leading
        // zeros and with a sign only when negative.
        const std::string mantissaMask = mask.substr(0, e);
        const auto dot = mantissaMask.find('.');
        const int decimals = dot == std::string::npos ? 0 : static_cast<int>(mantissaMask.size() - dot - 1);
        if (x == 0)
            return WithDisplaySeparator(FixedText(0, decimals, 0)) + mask[e] + "0";
        char buf[128];
        std::snprintf(buf, sizeof buf, "%.*Le", decimals, x);
        std::string s(buf);
        const auto ep = s.find('e');
        const std::string mant = s.substr(0, ep);
        const int exponent = std::stoi(s.substr(ep + 1));
        return WithDisplaySeparator(mant) + mask[e] + (exponent < 0 ? "-" : "") + std::to_string(std::abs(exponent));
    }
    const auto dot = mask.find('.');
    if (dot == std::string::npos)
        return FixedText(x, 0, 0);
    int required = 0, optional = 0;
    for (std::size_t i = dot + 1; i < mask.size(); ++i) {
        if (mask[i] == '0')
            ++required;
        else if (mask[i] == '#')
            ++optional;
    }
    return WithDisplaySeparator(FixedText(x, required + optional, optional));
}

std::string FormatGeneral(long double x, int precision, int digits)
{
    if (!std::isfinite(x))
        return {};
    if (x == 0)
        return "0";
    precision = std::clamp(precision, 1, 18);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*Le", precision - 1, x);
    std::string s(buf);
    const auto ep = s.find('e');
    const int exponent = std::stoi(s.substr(ep + 1));
    if (std::fabs(x) >= 1e-5L && exponent < precision) {
        const int decimals = std::max(0, precision - 1 - exponent);
        return WithDisplaySeparator(FixedText(x, decimals, decimals));
    }
    std::string mant = s.substr(0, ep);
    if (mant.find('.') != std::string::npos) {
        while (mant.back() == '0')
            mant.pop_back();
        if (mant.back() == '.')
            mant.pop_back();
    }
    std::string expText = std::to_string(std::abs(exponent));
    while (static_cast<int>(expText.size()) < digits)
        expText.insert(0, "0");
    return WithDisplaySeparator(mant) + "E" + (exponent < 0 ? "-" : "+") + expText;
}

std::string FormatValue(long double x)
{
    if (std::isnan(x) || !std::isfinite(x) || x == UnsetValue)
        return {};
    const long double a = std::fabs(x);
    if (a < 5e-5L)
        return "0";
    const char* mask = a < 0.001L ? "0.####" : a < 10 ? "0.###" : a < 100 ? "0.##" : a < 1000 ? "0.#" : "0";
    std::string m(mask);
    if (Settings.MorePrecision && m != "0")
        m += "#";
    return Cut(FormatFloatMask(m, x), 15);
}

std::string FormatRange(int precision, bool ordered, long double a, long double b)
{
    auto text = [precision](long double v) -> std::string {
        if (std::fabs(v) < 5e-5L)
            return "0";
        return Cut(FormatGeneral(v, precision, 0), 15);
    };
    const bool aUnset = a == UnsetValue, bUnset = b == UnsetValue;
    const std::string ta = aUnset ? std::string() : text(a);
    const std::string tb = bUnset ? std::string() : text(b);
    if (bUnset || ta == tb)
        return ta;
    if (aUnset)
        return tb;
    // Each side is cut to 15 characters; the range as a whole is not, so
    // that its second number always shows whole.
    if (ordered && a > b)
        return tb + ".." + ta;
    return ta + ".." + tb;
}

std::string FormatPressure(long double pAtm, long double threshold)
{
    if (std::isnan(pAtm))
        return {};
    // The threshold is a pressure in atm: compare before the unit and the
    // logarithm change the number.
    if (std::fabs(pAtm) < threshold)
        return "      0";
    long double v = pAtm;
    switch (Settings.GasPressureUnit) {
    case 1: v *= 101.325L; break;
    case 2: v *= 101325.0L; break;
    case 3: v *= 760.0L; break;
    default: break;
    }
    if (Settings.GasLogMode == 1)
        v = v > 0 ? -std::log10(v) : NaN;
    else if (Settings.GasLogMode == 2)
        v = v > 0 ? -std::log(v) : NaN;
    if (!std::isfinite(v))
        return {};
    if (std::fabs(v) <= 0.01L)
        return FormatFloatMask("0.0e-", v);
    return FormatValue(v);
}

// ---------------------------------------------------------------------------
// String grids

TStringGrid::TStringGrid(int colCount, int rowCount)
    : cols_(std::max(1, colCount)), rows_(std::max(1, rowCount)),
      cells_(static_cast<std::size_t>(cols_ * rows_))
{
}

void TStringGrid::SetRowCount(int rows)
{
    rows = std::max(1, rows);
    if (rows == rows_)
        return;
    cells_.resize(static_cast<std::size_t>(cols_ * rows));
    if (rows > rows_)
        std::fill(cells_.begin() + cols_ * rows_, cells_.end(), std::string());
    rows_ = rows;
    ++version_;
}

const std::string& TStringGrid::Cell(int col, int row) const
{
    static const std::string empty;
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_)
        return empty;
    return cells_[static_cast<std::size_t>(row * cols_ + col)];
}

void TStringGrid::SetCell(int col, int row, const std::string& text)
{
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_)
        return;
    std::string& cell = cells_[static_cast<std::size_t>(row * cols_ + col)];
    if (cell != text) {
        cell = text;
        ++version_;
    }
}

void TStringGrid::ClearColumns(int fromCol)
{
    for (int r = 1; r < rows_; ++r)
        for (int c = std::max(0, fromCol); c < cols_; ++c)
            cells_[static_cast<std::size_t>(r * cols_ + c)].clear();
    ++version_;
}

std::vector<std::string> SplitHeaderList(const std::string& header)
{
    std::vector<std::string> items;
    std::string item;
    bool quoted = false;
    for (char c : header) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted) {
            items.push_back(item);
            item.clear();
        } else
            item += c;
    }
    items.push_back(item);
    return items;
}

void SetGridHeader(TStringGrid& grid, const std::string& header)
{
    const auto items = SplitHeaderList(header);
    for (int c = 0; c < grid.ColCount(); ++c)
        grid.SetCell(c, 0, c < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(c)] : std::string());
}

int TotalsRow() { return SystemElemLast + 3; }

// ---------------------------------------------------------------------------
// The element grid

namespace {

TPhaseValues UnitValues(const TThSys& sys, const TElementRecord& el)
{
    const bool elemental = Settings.ElementalSlag;
    const long double slagCompoundMass = el.SlagCompoundFraction * sys.SlagMass;
    const long double nmiCompoundMass = el.NmiCompoundFraction * sys.NmiMass;
    switch (Settings.CompositionUnit) {
    case 0:
        if (ElemRelToSystem) {
            const long double d = sys.TotalMass;
            return {100 * el.MetalMass / d, 100 * (elemental ? el.SlagMass : slagCompoundMass) / d,
                    100 * el.GasMass / d, 100 * (elemental ? el.NmiMass : nmiCompoundMass) / d,
                    100 * el.SystemFraction};
        }
        if (ElemRelToElement) {
            const long double d = el.TotalMass;
            return {100 * el.MetalMass / d, 100 * el.SlagMass / d, 100 * el.GasMass / d, 100 * el.NmiMass / d,
                    100 * el.SystemFraction};
        }
        return {100 * el.MetalFraction, 100 * (elemental ? el.SlagFraction : el.SlagCompoundFraction),
                100 * el.GasMass / (sys.GasMass + DivisorFloor),
                100 * (elemental ? el.NmiFraction : el.NmiCompoundFraction), 100 * el.SystemFraction};
    case 1:
        if (ElemRelToSystem) {
            const long double d = sys.TotalMoles;
            return {100 * el.MetalAmount / d, 100 * el.SlagAmount / d, 100 * el.GasAmount / d,
                    100 * el.NmiAmount / d, 100 * el.MoleFraction};
        }
        if (ElemRelToElement) {
            const long double d = el.Amount;
            return {100 * el.MetalAmount / d, 100 * el.SlagAmount / d, 100 * el.GasAmount / d,
                    100 * el.NmiAmount / d, 100 * el.MoleFraction};
        }
        return {100 * el.MetalMoleFraction, 100 * el.SlagMoleFraction, 100 * el.GasMoleFraction,
                100 * el.NmiMoleFraction, 100 * el.MoleFraction};
    case 2:
        return {1000 * el.MetalMass, 1000 * (elemental ? el.SlagMass : slagCompoundMass), 1000 * el.GasMass,
                1000 * (elemental ? el.NmiMass : nmiCompoundMass), 1000 * el.TotalMass};
    default:
        return {1000 * el.MetalAmount, 1000 * el.SlagAmount, 1000 * el.GasAmount, 1000 * el.NmiAmount,
                1000 * el.Amount};
    }
}

// log10 of a value that can have one; an empty cell otherwise.
long double Log10OrNaN(long double v) { return (std::isfinite(v) && v > 0) ? std::log10(v) : NaN; }

constexpr int DvTotal = 0, DvMetal = 1, DvSlag = 2, DvGas = 3, DvNmi = 4;

} // namespace

void ComputeDisplayValues(TThSys& sys, const TThSys* lower)
{
    const bool average = sys.Kind == 1 && Settings.AverageValues && lower;
    for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
        TElementRecord& el = sys.El(i);
        const TPhaseValues v = UnitValues(sys, el);
        std::array<long double, 5> d{v.Total, v.Metal, v.Slag, v.Gas, v.Nmi};
        if (Settings.LogValues)
            for (auto& x : d)
                x = Log10OrNaN(x);
        if (average) {
            const auto& other = lower->El(i).DisplayValues;
            for (std::size_t k = 0; k < d.size(); ++k)
                d[k] = 0.5L * (d[k] + other[k]);
        }
        el.DisplayValues = d;
    }
}

void ShowSystemInGrid(TThSys& sys, bool showNmi, bool showMaterialAmounts, TStringGrid& elGrid,
                      TStringGrid& matGrid, const TThSys* lower)
{
    const int k = sys.Kind == 1 ? 1 : 0;
    const bool visible = !(k == 0 && Settings.AverageValues);
    ComputeDisplayValues(sys, lower);

    const int unit = Settings.CompositionUnit;
    const bool elemental = Settings.ElementalSlag;
    const int oxygen = sys.Elems->Key(keyO);
    const bool slagOxygenInCompounds = !elemental && (unit == 2 || (unit == 0 && !ElemRelToElement));
    const bool nmiOxygenInCompounds = !elemental && (unit == 2 || unit == 0);
    auto put = [&](int col, int row, const std::string& text) { elGrid.SetCell(col, row, visible ? text : ""); };

    for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
        const auto& d = sys.El(i).DisplayValues;
        const int row = i + 1;
        put(2 + k, row, (sys.MetalPresent || sys.SlagPresent) ? FormatValue(d[DvMetal]) : "");
        put(4 + k, row, (i == oxygen && slagOxygenInCompounds) ? "" : FormatValue(d[DvSlag]));
        put(6 + k, row, FormatValue(d[DvGas]));
        put(8 + k, row, (showNmi && !(i == oxygen && nmiOxygenInCompounds)) ? FormatValue(d[DvNmi]) : "");
        put(10 + k, row, FormatValue(d[DvTotal]));
    }

    // Totals: each system its own phase sums, or the mean in the upper column.
    const bool massUnits = unit == 0 || unit == 2;
    auto totals = [massUnits, showNmi](const TThSys& s) {
        return massUnits ? std::array<long double, 5>{s.MetalMass, s.SlagMass, s.GasMass,
                                                      showNmi ? s.NmiMass : NaN, s.TotalMass}
                         : std::array<long double, 5>{s.MetalMoles, s.SlagMoles, s.GasMoles,
                                                      showNmi ? s.NmiMoles : NaN, s.TotalMoles};
    };
    const int trow = TotalsRow();
    std::array<long double, 5> t = totals(sys);
    if (k == 1 && Settings.AverageValues && lower) {
        const auto lt = totals(*lower);
        for (std::size_t j = 0; j < t.size(); ++j)
            t[j] = 0.5L * (t[j] + lt[j]);
    }
    for (int j = 0; j < 5; ++j)
        put(2 + 2 * j + k, trow, FormatValue(1000 * t[static_cast<std::size_t>(j)]));

    if (showMaterialAmounts)
        for (int j = 1; j <= MaterialCount; ++j) {
            const long double a = MaterialTable[j].Amount;
            matGrid.SetCell(2, j, a > 0 ? FormatFloatMask("0.####", a) : "");
        }
}

void FillElementExtraColumns(TStringGrid& elGrid, const TThSys& s0, const TThSys& s1)
{
    const int unit = std::min<int>(Settings.CompositionUnit, 3);
    for (int c : {3, 5, 7, 9, 11})
        elGrid.SetCell(c, 0, CompositionUnitNames[static_cast<std::size_t>(unit)]);
    elGrid.SetCell(1, TotalsRow(), (unit == 0 || unit == 2) ? " kg" : " km");

    const long double t0 = s0.Temperature;
    for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
        const TElementRecord& a = s0.El(i);
        const TElementRecord& b = s1.El(i);
        const int row = i + 1;
        auto mean = [](long double x, long double y) { return 0.5L * (x + y); };
        elGrid.SetCell(12, row, FormatFloatMask("0.##", mean(a.SlagStdTerm, b.SlagStdTerm)));
        elGrid.SetCell(13, row, FormatFloatMask("0.##", mean(a.KMS, b.KMS)));
        elGrid.SetCell(14, row, FormatFloatMask("0.##", mean(a.MetalStdTerm, b.MetalStdTerm)));
        elGrid.SetCell(15, row, FormatFloatMask("0.##", mean(a.KMG, b.KMG)));
        elGrid.SetCell(16, row, FormatGeneral(std::exp(a.LnGammaInf), 3, 5));
        elGrid.SetCell(17, row, FormatGeneral(std::exp(mean(a.LnGammaMetal, b.LnGammaMetal)), 3, 5));
        elGrid.SetCell(18, row, FormatGeneral(std::exp(mean(a.LnGammaSlag, b.LnGammaSlag)), 3, 5));
        // The gas is an ideal mixture: its activity coefficients are 1.
        elGrid.SetCell(19, row, FormatGeneral(1, 3, 5));
        if (a.MoleFraction > 10 * DivisorFloor) {
            auto lnActivity = [](long double x0, long double x1, long double g0, long double g1) {
                return 0.5L * (std::log(x0 * x1) + g0 + g1);
            };
            elGrid.SetCell(20, row, FormatFloatMask("0.##", lnActivity(a.MetalMoleFraction, b.MetalMoleFraction,
                                                                       a.LnGammaMetal, b.LnGammaMetal)));
            elGrid.SetCell(21, row, FormatFloatMask("0.##", lnActivity(a.SlagMoleFraction, b.SlagMoleFraction,
                                                                       a.LnGammaSlag, b.LnGammaSlag)));
            elGrid.SetCell(22, row,
                           FormatFloatMask("0.##", lnActivity(a.GasMoleFraction, b.GasMoleFraction, 0, 0)));
        }
        elGrid.SetCell(23, row, FormatGeneral(0.001L * (a.LiquidEnthalpy[0] + a.LiquidEnthalpy[1] * t0), 4, 6));
        elGrid.SetCell(24, row, FormatGeneral(0.001L * mean(a.HMetal, b.HMetal), 4, 6));
        elGrid.SetCell(25, row, FormatGeneral(0.001L * mean(a.HSlag, b.HSlag), 4, 6));
        elGrid.SetCell(26, row, FormatGeneral(0.001L * mean(a.HGas, b.HGas), 4, 6));
    }
}

// ---------------------------------------------------------------------------
// The gas grid

std::vector<TGasLine> SelectGasLines(const TThSys& s0, const TThSys& s1, long double threshold)
{
    std::vector<TGasLine> lines;
    for (int s = 1; s <= ActiveGasCount && s <= MaxGasSpecies; ++s) {
        long double p0 = s0.SpeciesPressures[s], p1 = s1.SpeciesPressures[s];
        if (std::isnan(p0))
            p0 = 0;
        if (std::isnan(p1))
            p1 = 0;
        if (p0 >= threshold || p1 >= threshold)
            lines.push_back({Utf8Left(ActiveGases[s].Name, 8), p0, p1, 0.5L * (p0 + p1)});
    }
    return lines;
}

void SortGasLines(std::vector<TGasLine>& lines)
{
    const int n = static_cast<int>(lines.size());
    if (n < 2)
        return;
    int gap = 1;
    while (gap * 2 <= n)
        gap *= 2;
    gap -= 1;
    for (; gap >= 1; gap /= 2)
        for (int i = gap; i < n; ++i)
            for (int j = i - gap; j >= 0 && lines[static_cast<std::size_t>(j)].Mean <
                                                 lines[static_cast<std::size_t>(j + gap)].Mean;
                 j -= gap)
                std::swap(lines[static_cast<std::size_t>(j)], lines[static_cast<std::size_t>(j + gap)]);
}

void FillGasGrid(TStringGrid& gasGrid, const TThSys& s0, const TThSys& s1)
{
    gasGrid.ClearColumns(1);
    const long double threshold = Settings.MinGasPressure;
    std::vector<TGasLine> lines = SelectGasLines(s0, s1, threshold);
    GasLineCount = static_cast<int>(lines.size());
    if (lines.empty())
        return;
    SortGasLines(lines);
    const int n = GasLineCount;
    gasGrid.SetRowCount(std::max(gasGrid.RowCount(), n + 3));
    const bool average = Settings.AverageValues;
    auto pair = [&](int row, long double p0, long double p1) {
        gasGrid.SetCell(2, row, average ? "" : FormatPressure(p0, threshold));
        gasGrid.SetCell(3, row, average ? FormatPressure(0.5L * (p0 + p1), threshold) : FormatPressure(p1, threshold));
    };
    for (int r = 1; r <= n; ++r) {
        const TGasLine& g = lines[static_cast<std::size_t>(r - 1)];
        gasGrid.SetCell(1, r, g.Name);
        pair(r, g.P0, g.P1);
    }
    gasGrid.SetCell(1, n + 1, "P tot");
    pair(n + 1, s0.GasPressureSum, s1.GasPressureSum);
    gasGrid.SetCell(1, n + 2, "V m3");
    const long double v0 = s0.GasVolume, v1 = s1.GasVolume;
    if (average) {
        gasGrid.SetCell(2, n + 2, "");
        gasGrid.SetCell(3, n + 2, (std::isnan(v0) || std::isnan(v1)) ? "" : FormatFloatMask("0.", 0.5L * (v0 + v1)));
    } else {
        gasGrid.SetCell(2, n + 2, FormatFloatMask("0.", v0));
        gasGrid.SetCell(3, n + 2, FormatFloatMask("0.", v1));
    }
}

// ---------------------------------------------------------------------------
// Result edits and status panels

TResultTexts ResultEditTexts(const TThSys& s0, const TThSys& s1, int fewerDigits)
{
    const auto digits = [fewerDigits](int own) { return std::max(1, own - std::max(0, fewerDigits)); };
    TResultTexts t;
    t.MetalMass = FormatRange(digits(4), true, s0.MetalMass, s1.MetalMass);
    t.SlagMass = FormatRange(digits(4), true, s0.SlagMass, s1.SlagMass);
    t.GasMass = FormatRange(digits(4), true, s0.GasMass, s1.GasMass);
    t.NmiMass = FormatRange(digits(4), true, 1000 * s0.NmiMass, 1000 * s1.NmiMass);
    t.Basicity = FormatRange(digits(3), true, s0.Basicity, s1.Basicity);
    t.SlagCharge = FormatRange(digits(3), true, 0.001L * s0.SlagCharge / (s0.SlagMoles + 1e-10L),
                               0.001L * s1.SlagCharge / (s1.SlagMoles + 1e-10L));
    t.FinalTemp = FormatRange(digits(5), true, s0.Temperature - KelvinOffset, s1.Temperature - KelvinOffset);
    return t;
}

void FillChargeTexts(TStringGrid& matGrid, TResultTexts& texts)
{
    long double mass = 0, cost = 0, total = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        const TMaterialRecord& m = MaterialTable[j];
        if (m.Amount > 0) {
            matGrid.SetCell(2, j, FormatFloatMask("0.####", m.Amount));
            if (m.Type >= mtMetal)
                mass += m.Amount;
            cost += m.Amount * m.Price;
            total += m.Amount;
        } else {
            matGrid.SetCell(2, j, "");
        }
    }
    // The material shares of the alternatives divide by this.
    ChargeTotal = total;
    texts.ChargeCost = FormatFloatMask("0.00", cost);
    texts.ChargeMass = FormatFloatMask("0.###", mass);
}

std::array<std::string, 9> ResultStatusTexts(const TThSys& s0, const TThSys& s1, int64_t stopCounter)
{
    std::array<std::string, 9> p;
    p[0] = SlpPass == 0 ? " Iтерацiй (вн): " + std::to_string(SolverPass)
                        : " Iтерацiй (зов): " + std::to_string(SlpPass);
    const long double seconds =
        PerfFrequency > 0 ? static_cast<long double>(stopCounter - CalcStartCounter) / PerfFrequency : 0;
    p[1] = " Час розрахунку: " + FormatFloatMask("0.000", seconds) + " с";
    auto joined = [](const std::string& mask, long double a, long double b) {
        return FormatFloatMask(mask, a) + ".." + FormatFloatMask(mask, b);
    };
    p[2] = " Mu: " + joined("0.##", s0.SlagPotential, s1.SlagPotential);
    const int unit = std::min<int>(Settings.CompositionUnit, 3);
    p[3] = std::string(" Склад фаз: ") + CompositionUnitTexts[static_cast<std::size_t>(unit)] +
           (Settings.LogValues ? " (lg)" : "");
    auto heatEffect = [](const TThSys& s) { return s.HeatInputs[1] - s.Heat.H[phTotal]; };
    p[5] = HeatBalanceClosesInLiquid(s0) && HeatBalanceClosesInLiquid(s1)
               ? " Тепл. ефект: " + joined("0.0", heatEffect(s0), heatEffect(s1)) + " МДж"
               : HeatBalanceOpenStatus;
    auto cp = [](const TThSys& s) { return s.Heat.Cp[phTotal] + s.HeatCapB; };
    p[7] = " Cp: " + joined("0.##", cp(s0), cp(s1));
    auto kp = [](const TThSys& s) {
        const long double r = s.GasPressureSum / TotalPressure;
        return r >= 0 ? std::sqrt(r) : NaN;
    };
    p[8] = " Kp: " + joined("0.##", kp(s0), kp(s1));
    return p;
}

std::array<std::optional<std::string>, 9> ClearedStatusTexts()
{
    std::array<std::optional<std::string>, 9> p;
    p[0] = " Iтерацiй:";
    p[1] = " Час розрахунку:";
    p[3] = " Склад фаз:";
    p[5] = " Тепл. еф.:";
    p[2] = " Mu:";
    return p;
}

// ---------------------------------------------------------------------------
// Colours and hints

std::optional<TRgb> ElementColumnBackground(int col)
{
    switch (col) {
    case 2: case 3: return TRgb{245, 245, 245};
    case 4: case 5: return TRgb{255, 255, 238};
    case 6: case 7: return TRgb{238, 255, 255};
    case 8: case 9: return TRgb{255, 242, 242};
    case 10: case 11: return TRgb{254, 254, 254};
    default: return std::nullopt;
    }
}

std::optional<int> LimitRedLevel(const TLimitTest& t, long double value, long double value0, long double value1)
{
    const bool below = t.LowerSet && t.Lower - value >= t.Tolerance;
    const bool above = t.UpperSet && value - t.Upper >= t.Tolerance;
    if (!below && !above)
        return std::nullopt;
    long double r = 0;
    if (t.LowerSet)
        r += std::max(t.Lower - value, 0.0L);
    if (t.UpperSet)
        r += std::max(value - t.Upper, 0.0L);
    const long double share = std::min(r / (std::fabs(value1 - value0) + 1e-10L), 1.0L);
    return static_cast<int>(std::lround(share * 255));
}

std::optional<TRgb> ElementCellColour(int col, int row, const TThSys& s0, const TThSys& s1,
                                      const TTaskRecord* task)
{
    if (col < 2 || col > 11)
        return std::nullopt;
    TLimitTest t;
    long double v0 = 0, v1 = 0;
    if (row >= 1 && row <= SystemElemLast + 1) {
        if (col > 5)
            return std::nullopt;
        const int i = row - 1;
        const TElementRecord& a = s0.El(i);
        const TElementRecord& b = s1.El(i);
        if (col <= 3) {
            v0 = a.MetalFraction;
            v1 = b.MetalFraction;
            t = {a.MetalLimitGiven, b.MetalLimitGiven, a.MetalLimit, b.MetalLimit, 1e-5L};
        } else {
            v0 = a.SlagFraction * a.CompoundFactor;
            v1 = b.SlagFraction * b.CompoundFactor;
            t = {a.SlagLimitGiven, b.SlagLimitGiven, a.SlagLimit, b.SlagLimit, 1e-4L};
        }
    } else if (row == TotalsRow() && task) {
        if (col > 7)
            return std::nullopt;
        long double lo = 0, hi = 0;
        if (col <= 3) {
            lo = task->MinMet, hi = task->MaxMet, v0 = s0.MetalMass, v1 = s1.MetalMass;
        } else if (col <= 5) {
            lo = task->MinSlg, hi = task->MaxSlg, v0 = s0.SlagMass, v1 = s1.SlagMass;
        } else {
            lo = task->MinGas, hi = task->MaxGas, v0 = s0.GasMass, v1 = s1.GasMass;
        }
        t = {lo > DivisorFloor, hi > DivisorFloor, lo, hi, 1e-3L};
    } else {
        return std::nullopt;
    }
    const long double value = col % 2 == 0 ? v0 : v1;
    const auto level = LimitRedLevel(t, value, v0, v1);
    if (!level)
        return std::nullopt;
    return TRgb{static_cast<uint8_t>(*level), 0, 0};
}

std::string ElementLimitHint(int col, int row, const TThSys& s0, const TThSys& s1, bool cellEmpty)
{
    if (cellEmpty || col < 2 || col > 5 || row < 1 || row > SystemElemLast + 1)
        return {};
    const int i = row - 1;
    const TElementRecord& a = s0.El(i);
    const TElementRecord& b = s1.El(i);
    const bool metal = col <= 3;
    const std::string head = metal ? "[" + a.Symbol + "] " : "(" + a.Symbol + ") ";
    const bool loSet = metal ? a.MetalLimitGiven : a.SlagLimitGiven;
    const bool hiSet = metal ? b.MetalLimitGiven : b.SlagLimitGiven;
    const std::string lo = loSet ? FormatFloatMask("0.###", 100 * (metal ? a.MetalLimit : a.SlagLimit)) : "";
    const std::string hi = hiSet ? FormatFloatMask("0.###", 100 * (metal ? b.MetalLimit : b.SlagLimit)) : "";
    if (loSet && hiSet)
        return head + lo + "..." + hi + "%";
    if (hiSet)
        return head + "не более " + hi + "%";
    if (loSet)
        return head + "не менее " + lo + "%";
    return head + "не регл.";
}

std::string ElementHeaderHint(int col)
{
    static const char* const hints[] = {
        "Equilibrium constant metal-slag",
        "Consolidated equilibrium constant metal-slag",
        "Equilibrium constant metal-gas",
        "Consolidated equilibrium constant metal-gas",
        "Activity coefficient in infinitely dilute metal",
        "Activity coefficient in metal",
        "Activity coefficient in slag",
        "Activity coefficient in gas",
        "Activity in metal",
        "Activity in slag",
        "Activity in gas",
        "Partial standard enthalpy, kJ/mole",
        "Partial mixing enthalpy in metal, kJ/mole",
        "Partial mixing enthalpy in slag, kJ/mole",
        "Partial mixing enthalpy in gas, kJ/mole",
    };
    switch (col) {
    case 2: case 3: return "Composition of metal";
    case 4: case 5: return "Composition of slag";
    case 6: case 7: return "Composition of gas";
    case 8: case 9: return "Composition of non-metallic inclusions";
    case 10: case 11: return "Composition of system";
    default: break;
    }
    if (col >= 12 && col <= 26)
        return hints[col - 12];
    return {};
}

// ---------------------------------------------------------------------------
// Alternatives

namespace {

bool IsSet(long double v) { return v != UnsetValue; }

std::string JoinRange(const std::string& a, const std::string& b)
{
    return Utf8Left(Utf8Left(a, 18) + ".." + Utf8Left(b, 18), 33);
}

// Neither a set lower limit above a value nor a set upper limit below one.
bool WithinSet(long double lo, long double hi, long double x0, long double x1)
{
    if (IsSet(lo) && (lo > x0 || lo > x1))
        return false;
    if (IsSet(hi) && (hi < x0 || hi < x1))
        return false;
    return true;
}

} // namespace

TAlternativeTexts AlternativeTexts(const TConstraintBlockRecord& block, const TThSys& s0, const TThSys& s1,
                                   const TTaskRecord& task)
{
    TAlternativeTexts t;
    const auto range = [](long double lo, long double hi) { return FormatRange(4, false, lo, hi); };
    // A quantity of the whole system: the task's limits against both systems.
    const auto quantity = [&t, &range](long double lo, long double hi, long double v0, long double v1) {
        t.Given = range(lo, hi);
        t.Expected = range(v0, v1);
        t.LimitMet = WithinSet(lo, hi, v0, v1);
    };
    switch (block.Kind) {
    case ckMetalElement:
    case ckSlagCompound: {
        const int i = block.Index;
        if (i < 0 || i > SystemElemLast)
            break;
        const TElementRecord& a = s0.El(i);
        const TElementRecord& b = s1.El(i);
        const bool metal = block.Kind == ckMetalElement;
        const bool loSet = metal ? a.MetalLimitGiven : a.SlagLimitGiven;
        const bool hiSet = metal ? b.MetalLimitGiven : b.SlagLimitGiven;
        const long double lo = loSet ? (metal ? a.MetalLimit : a.SlagLimit) : 0.0L;
        const long double hi = hiSet ? (metal ? b.MetalLimit : b.SlagLimit) : 1.0L;
        // The slag limits are fractions of the element's compound: compare
        // them with the compound fractions, not with the element's.
        const long double f0 = metal ? a.MetalFraction : a.SlagCompoundFraction;
        const long double f1 = metal ? b.MetalFraction : b.SlagCompoundFraction;
        t.Given = JoinRange(FormatValue(100 * lo), FormatValue(100 * hi));
        t.Expected = JoinRange(FormatValue(100 * f0), FormatValue(100 * f1));
        t.LimitMet = lo <= f0 && lo <= f1 && f0 <= hi && f1 <= hi;
        break;
    }
    case ckMetalMass:
        quantity(task.MinMet, task.MaxMet, s0.MetalMass, s1.MetalMass);
        break;
    case ckSlagMass:
        quantity(task.MinSlg, task.MaxSlg, s0.SlagMass, s1.SlagMass);
        break;
    case ckBasicity:
        quantity(task.MinOsn, task.MaxOsn, s0.Basicity, s1.Basicity);
        break;
    case ckGasMass:
        quantity(task.MinGas, task.MaxGas, s0.GasMass, s1.GasMass);
        break;
    case ckTemperature: {
        t.Given = range(task.MinTemp, task.MaxTemp);
        t.Expected = range(s0.Temperature - KelvinOffset, s1.Temperature - KelvinOffset);
        const long double lo = IsSet(task.MinTemp) ? task.MinTemp + KelvinOffset : UnsetValue;
        const long double hi = IsSet(task.MaxTemp) ? task.MaxTemp + KelvinOffset : UnsetValue;
        t.LimitMet = WithinSet(lo, hi, s0.Temperature, s1.Temperature);
        break;
    }
    case ckMaterialMass:
    case ckFixedMass:
    case ckMaterialShare: {
        if (block.Index < 1 || block.Index > MaterialCount)
            break;
        const TMaterialRecord& m = MaterialTable[block.Index];
        if (block.Kind == ckMaterialMass) {
            t.Given = range(m.MinT, m.MaxT);
            t.Expected = FormatFloatMask("0.###", m.Amount);
            t.LimitMet = WithinSet(m.MinT, m.MaxT, m.Amount, m.Amount);
        } else if (block.Kind == ckFixedMass) {
            t.Given = FormatFloatMask("0.###", m.Fixed);
            t.Expected = FormatFloatMask("0.###", m.Amount);
            t.LimitMet = false; // the scan never stops at an absence
        } else {
            const long double share = ChargeTotal > 0 ? 100 * m.Amount / ChargeTotal : 0;
            t.Given = range(m.MinPercent, m.MaxPercent);
            t.Expected = FormatFloatMask("0.#", share);
            t.LimitMet = WithinSet(m.MinPercent, m.MaxPercent, share, share);
        }
        break;
    }
    default:
        break;
    }
    return t;
}

void SortAlternatives(std::vector<TAlternative>& list)
{
    std::stable_sort(list.begin(), list.end(),
                     [](const TAlternative& a, const TAlternative& b) { return a.Cost < b.Cost; });
}

std::string CostText(long double cost) { return FormatFloatMask("0", cost); }

} // namespace ferrolyt
