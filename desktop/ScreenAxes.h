#pragma once
// Chart axes as the desktop writes numbers: round ticks (see AxisTicks.h)
// and the user's decimal separator. Charts written into workbooks are not
// drawn here and keep their '.'.

class QChart;
class QLocale;
class QValueAxis;

namespace ferrolyt {

// The chart writes its numbers in the desktop's locale, and its value axes
// tick at round steps over the ranges they have now. Call it once the chart
// has its axes; an axis whose ticks are fixed is set up after the call.
void UseScreenAxes(QChart& chart);

// Gives the axis the range and ticks at round steps over it. A range set
// straight on the axis keeps the step of the range before, which for a
// range a thousand times wider draws a thousand times as many ticks.
void SetScreenRange(QValueAxis& axis, double lo, double hi);

// The locale the charts write their numbers in: the desktop's, without
// thousands separators, as the grids and edits show numbers.
QLocale ScreenNumberLocale();

} // namespace ferrolyt
