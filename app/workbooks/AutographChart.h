#pragma once
// The XY-scatter charts of an autograph workbook, and the outward rounding
// of an axis's ends that lets a single curve fill its chart.

#include <string>
#include <utility>

namespace ferrolyt {

class TChart;
class TWorksheet;
struct TAutographSweep;

// The lower (upper false) or upper end of the range a..b rounded outward to
// the few significant digits that tell the two ends apart.
double RoundAxisBound(bool upper, double a, double b);

// The ends of an axis over the values lo..hi: RoundAxisBound's ends, after
// a range narrower than a hundredth of its values (a constant curve, or one
// whose changes are rounding noise) has been widened to that hundredth
// around its middle (to -0.5..0.5 around zero).
std::pair<double, double> AutographAxisRange(double lo, double hi);

// X kinds whose recorded X differs from the one asked for (slag ratio,
// oxygen in the metal, oxygen in the reaction zone): every task has its own.
bool RecordsItsOwnX(int xKind);

// The title of the Y axis of a chart whose single curve (or first curve) is
// curve `index` of `count`.
std::string AutographYTitle(const TAutographSweep& sweep, int index, int count);

// Adds one chart to `sheet`: data column A against columns up to
// `lastColumn` (`count` series), placed at left/top (points). `index` is the
// curve a single-series chart shows.
TChart& AddAutographChart(TWorksheet& sheet, const TAutographSweep& sweep, double left, double top, int lastColumn,
                          int index, int count);

} // namespace ferrolyt
