#include "AutographChart.h"

#include "AutographPoint.h"
#include "Model.h"
#include "Settings.h"
#include "ThSys.h"
#include "Utils.h"
#include "Workbook.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

namespace ferrolyt {

namespace {

constexpr std::array<int, 10> MarkerStyles = {8, 1, 2, 3, 8, 1, 2, 3, 8, 8};
constexpr std::array<int, 10> Colours = {1, 3, 11, 10, 9, 14, 13, 16, 7, 12};

int Sign(double v) { return (v > 0) - (v < 0); }

} // namespace

double RoundAxisBound(bool upper, double a, double b)
{
    double v = upper ? b : a;
    if (v == 0)
        return 0;
    if (a == b)
        return a;
    if (a > b)
        v = upper ? a : b;
    int n = 1;
    if (a + b != 0) {
        const double quotient = std::fabs(2 * (b - a) / (a + b));
        n = std::max(1, 1 - static_cast<int>(std::nearbyint(std::log10(quotient))));
    }
    const double l = std::log10(std::fabs(v));
    const int s = Sign(l);
    const double absL = std::fabs(l);
    long k = static_cast<long>(std::trunc(absL)) - s * (n - 1);
    if (absL - std::trunc(absL) > 1e-10 && l < 0)
        ++k;
    k *= s;
    const long double q = std::pow(10.0L, static_cast<long double>(k));
    const long double t = std::trunc(static_cast<long double>(v) / q);
    const int d = Sign(v) * (int(v < 0) ^ int(upper));
    double result = static_cast<double>((t + d) * q);
    if (!upper && result > 0 && result < 0.01)
        result = 0;
    return result;
}

std::pair<double, double> AutographAxisRange(double lo, double hi)
{
    constexpr double MinRelativeSpan = 0.01;
    if (lo > hi)
        std::swap(lo, hi);
    const double magnitude = std::max(std::fabs(lo), std::fabs(hi));
    const double minSpan = magnitude > 0 ? MinRelativeSpan * magnitude : 1.0;
    if (hi - lo < minSpan) {
        const double mid = lo / 2 + hi / 2;
        lo = mid - minSpan / 2;
        hi = mid + minSpan / 2;
    }
    return {RoundAxisBound(false, lo, hi), RoundAxisBound(true, lo, hi)};
}

bool RecordsItsOwnX(int xKind) { return xKind == 3 || xKind == 6 || xKind == 7; }

std::string AutographYTitle(const TAutographSweep& sw, int index, int count)
{
    const std::string& caption = sw.YCaption;
    const auto p = caption.find('%');
    if (p == std::string::npos || p + 1 >= caption.size() || caption[p + 1] != 's')
        return caption;
    auto with = [&](const std::string& name) { return caption.substr(0, p) + name + caption.substr(p + 2); };
    if ((sw.YKind == 7 || sw.YKind == 8) && index >= 1 && index <= MaterialCount)
        return with(MaterialTable[index].Name);
    if (sw.YKind == 4) {
        if (sw.ElementIndex < 0 && count > 1)
            return with("елементів");
        // A chosen element names its own curve (curve 1), not element 0.
        const int e = sw.ElementIndex >= 0 ? sw.ElementIndex : index - 1;
        const TElems& elems = *ThSystems[0]->Elems;
        if (e < 0 || e >= elems.Count)
            return caption;
        const TElementRecord& rec = elems.Items[static_cast<std::size_t>(e)];
        if ((sw.PhaseCode == apSlag || sw.PhaseCode == apNmi) && !Settings.ElementalSlag)
            return with(Utf8Left(rec.Label, 15));
        return with(rec.Symbol);
    }
    if (index >= 1 && index <= MaterialSlotLast)
        return MaterialTable[index].Name + (sw.UnitCode == auKgPerT ? ", у.о./т" : ", у.о.");
    return caption;
}

TChart& AddAutographChart(TWorksheet& sheet, const TAutographSweep& sw, double left, double top, int lastColumn,
                          int index, int count)
{
    const int rows = sheet.UsedRange().Row2;
    TChart& chart = sheet.AddChart(left, top, 400, 300);
    chart.ChartType = xl::XYScatter;
    const bool manySeries = sw.YKind == 4 && sw.PhaseCode == apMetal && sw.ElementIndex < 0 && count > 1;
    const std::string last = ColumnLetters(lastColumn);
    if (count > 1) {
        const std::string first = manySeries ? "C" : "B";
        const std::string r = std::to_string(rows);
        chart.SetSourceData("A1:A" + r + ";" + first + "1:" + last + r);
        chart.HasLegend = true;
        chart.LegendInteriorColorIndex = 2;
    } else {
        const std::string r = std::to_string(sw.Row + 1);
        chart.SetSourceData("A2:A" + r + ";" + last + "2:" + last + r);
        chart.HasLegend = false;
    }
    chart.PlotBy = 2;
    chart.HasTitle = false;
    if (sw.NewFormat) {
        chart.PlotAreaLeft = 30;
        chart.PlotAreaTop = 0;
        chart.PlotAreaWidth = 370;
        chart.PlotAreaHeight = 280;
    }
    chart.PlotAreaInteriorColorIndex = 0;

    TChartAxis& ax = chart.Axis(1);
    ax.HasMajorGridlines = true;
    if (RecordsItsOwnX(sw.XKind)) {
        if (sw.HasRange(0))
            std::tie(ax.MinimumScale, ax.MaximumScale) = AutographAxisRange(sw.XTable[0], sw.XTable[1]);
    } else {
        // The axis runs from the smaller end to the larger one, also for a
        // falling sweep.
        double lo = std::min(sw.First.From, sw.First.To), hi = std::max(sw.First.From, sw.First.To);
        if (sw.Second) {
            lo = std::min({lo, sw.Second->From, sw.Second->To});
            hi = std::max({hi, sw.Second->From, sw.Second->To});
        }
        if (lo < hi) {
            ax.MinimumScale = lo;
            ax.MaximumScale = hi;
        } else {
            std::tie(ax.MinimumScale, ax.MaximumScale) = AutographAxisRange(lo, hi);
        }
    }
    ax.BorderWeight = xl::Medium;
    ax.TickLabelBackground = 3;
    ax.HasTitle = true;
    ax.TitleBold = true;
    ax.Title = sw.XCaption;
    ax.Fill.reset();

    TChartAxis& ay = chart.Axis(2);
    if (count == 1 && sw.HasRange(index)) {
        const auto c = static_cast<std::size_t>(index);
        std::tie(ay.MinimumScale, ay.MaximumScale) = AutographAxisRange(sw.YTable[0][c], sw.YTable[1][c]);
    }
    if (sw.NoNeg) {
        const double lo = std::max(chart.YMinimumScale(), 0.0);
        ay.MinimumScale = lo;
        if (ay.MaximumScale && *ay.MaximumScale <= lo)
            ay.MaximumScale.reset();
    }
    ay.BorderWeight = xl::Medium;
    ay.HasTitle = true;
    ay.TitleBold = true;
    ay.Title = AutographYTitle(sw, index, count);

    chart.AutoScaleFont = false;
    chart.FontSize = 12;
    chart.FontName = "Times New Roman";
    chart.BorderLineStyle = 0;

    const int series = std::min<int>(count - (manySeries ? 1 : 0), static_cast<int>(chart.Series.size()));
    for (int s = 1; s <= series; ++s) {
        TChartSeries& ser = chart.SeriesAt(s);
        const auto i = static_cast<std::size_t>((s - 1) % 10);
        if (sw.Markers) {
            ser.MarkerStyle = s <= 10 ? MarkerStyles[i] : xl::Automatic;
            ser.MarkerSize = 7;
            ser.MarkerForegroundColorIndex = sw.Colour ? Colours[i] : 1;
            ser.MarkerBackgroundColorIndex = sw.Colour ? 2 : 1;
        } else {
            ser.MarkerStyle = xl::None;
        }
        ser.BorderColorIndex = sw.Colour ? (s <= 10 ? Colours[i] : xl::Automatic) : 1;
        ser.BorderWeight = xl::Medium;
        ser.Smooth = true;
    }
    return chart;
}

} // namespace ferrolyt
