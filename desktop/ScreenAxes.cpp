#include "ScreenAxes.h"

#include "AxisTicks.h"

#include <QLocale>
#include <QValueAxis>
#include <QtCharts/QChart>

#include <cmath>

namespace ferrolyt {

QLocale ScreenNumberLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

void UseScreenAxes(QChart& chart)
{
    chart.setLocalizeNumbers(true);
    chart.setLocale(ScreenNumberLocale());
    for (QAbstractAxis* a : chart.axes())
        if (auto* axis = qobject_cast<QValueAxis*>(a))
            SetScreenRange(*axis, axis->min(), axis->max());
}

void SetScreenRange(QValueAxis& axis, double lo, double hi)
{
    if (!std::isfinite(lo) || !std::isfinite(hi))
        return;
    if (hi < lo)
        std::swap(lo, hi);
    const TAxisTicks ticks = RoundTicks(lo, hi);
    // The chart lays its ticks out at each of these changes: the larger of
    // the old and the new step goes first, so that no layout in between
    // draws more ticks than the new one.
    const bool wider = ticks.Step >= axis.tickInterval();
    axis.setTickType(QValueAxis::TicksDynamic);
    if (wider) {
        axis.setTickInterval(ticks.Step);
        axis.setRange(lo, hi);
    } else {
        axis.setRange(lo, hi);
        axis.setTickInterval(ticks.Step);
    }
    axis.setTickAnchor(ticks.First);
    axis.setLabelFormat(QStringLiteral("%.%1f").arg(ticks.Decimals));
}

} // namespace ferrolyt
