#include "ScreenAxes.h"

#include "AxisTicks.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPointer>
#include <QValueAxis>
#include <QtCharts/QChart>

#include <algorithm>
#include <cmath>

namespace ferrolyt {

QLocale ScreenNumberLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

namespace {

// The chart an axis draws in, as UseScreenAxes noted it.
constexpr char ChartProperty[] = "ferrolytChart";

// As many ticks as leave each label room: two lines of text between the
// ticks of a vertical axis, a long number and a gap along a horizontal one.
// Before its first layout a chart has no plot area yet.
int MostTicks(const QValueAxis& axis)
{
    const auto* chart = qobject_cast<const QChart*>(axis.property(ChartProperty).value<QObject*>());
    if (!chart || chart->plotArea().isEmpty())
        return 8;
    const QFontMetrics metrics(axis.labelsFont());
    const bool vertical = axis.orientation() == Qt::Vertical;
    const double length = vertical ? chart->plotArea().height() : chart->plotArea().width();
    const double room = vertical ? 2.0 * metrics.height() : metrics.horizontalAdvance(QStringLiteral("-00000,0")) + 12.0;
    return std::clamp(static_cast<int>(length / room) + 1, 2, 11);
}

} // namespace

void UseScreenAxes(QChart& chart)
{
    chart.setLocalizeNumbers(true);
    chart.setLocale(ScreenNumberLocale());
    QList<QPointer<QValueAxis>> axes;
    for (QAbstractAxis* a : chart.axes())
        if (auto* axis = qobject_cast<QValueAxis*>(a)) {
            axis->setProperty(ChartProperty, QVariant::fromValue<QObject*>(&chart));
            SetScreenRange(*axis, axis->min(), axis->max());
            axes << axis;
        }
    // A chart laid out anew may have room for more ticks or fewer.
    QObject::connect(&chart, &QChart::plotAreaChanged, &chart, [axes] {
        for (const QPointer<QValueAxis>& axis : axes)
            if (axis && axis->tickType() == QValueAxis::TicksDynamic)
                SetScreenRange(*axis, axis->min(), axis->max());
    });
}

void SetScreenRange(QValueAxis& axis, double lo, double hi)
{
    if (!std::isfinite(lo) || !std::isfinite(hi))
        return;
    if (hi < lo)
        std::swap(lo, hi);
    const TAxisTicks ticks = RoundTicks(lo, hi, MostTicks(axis));
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
