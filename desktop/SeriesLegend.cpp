#include "SeriesLegend.h"

#include <QFontMetrics>
#include <QLegend>
#include <QPainter>
#include <QXYSeries>
#include <QtCharts/QChart>

#include <algorithm>

namespace ferrolyt {

namespace {

constexpr int Pad = 4;    // around the entries
constexpr int MarkerGap = 5; // between a marker and its name
constexpr int ColumnGap = 12;

} // namespace

TSeriesLegend::TSeriesLegend(QChart& chart, QWidget* parent) : QWidget(parent), chart_(chart)
{
    chart.legend()->hide();
    for (QAbstractSeries* s : chart.series()) {
        connect(s, &QAbstractSeries::visibleChanged, this, [this] { Changed(); });
        connect(s, &QAbstractSeries::nameChanged, this, [this] { Changed(); });
        if (auto* xy = qobject_cast<QXYSeries*>(s))
            connect(xy, &QXYSeries::colorChanged, this, [this] { Changed(); });
    }
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Ignored);
    Changed();
}

QList<TSeriesLegend::TEntry> TSeriesLegend::Named() const
{
    QList<TEntry> entries;
    for (QAbstractSeries* s : chart_.series()) {
        if (!s->isVisible() || s->name().isEmpty())
            continue;
        const auto* xy = qobject_cast<const QXYSeries*>(s);
        entries.append({s->name(), xy ? xy->color() : palette().color(QPalette::WindowText), {}});
    }
    return entries;
}

TSeriesLegend::TMetrics TSeriesLegend::Metrics() const
{
    const QFontMetrics fm(font());
    TMetrics m;
    m.Line = fm.height() + 4;
    m.Marker = std::max(6, fm.height() - 6);
    int widest = 0;
    for (const TEntry& e : Named())
        widest = std::max(widest, fm.horizontalAdvance(e.Name));
    m.Column = m.Marker + MarkerGap + widest + 1;
    return m;
}

int TSeriesLegend::RowsFor(int height) const { return std::max(1, (height - 2 * Pad) / Metrics().Line); }

int TSeriesLegend::WidthFor(int height) const
{
    const int count = static_cast<int>(Named().size());
    if (count == 0)
        return 0;
    const int rows = RowsFor(height);
    const int columns = (count + rows - 1) / rows;
    return 2 * Pad + columns * Metrics().Column + (columns - 1) * ColumnGap;
}

QList<TSeriesLegend::TEntry> TSeriesLegend::Entries() const
{
    QList<TEntry> entries = Named();
    const TMetrics m = Metrics();
    const int rows = RowsFor(height());
    // The entries stand in the middle of the legend's height, as the chart's
    // own legend did.
    const int used = std::min<int>(rows, static_cast<int>(entries.size())) * m.Line;
    const int top = std::max(Pad, (height() - used) / 2);
    for (int k = 0; k < entries.size(); ++k) {
        const int column = k / rows, row = k % rows;
        entries[k].Rect = QRect(Pad + column * (m.Column + ColumnGap), top + row * m.Line, m.Column, m.Line);
    }
    return entries;
}

QSize TSeriesLegend::sizeHint() const
{
    const int count = std::max<int>(1, static_cast<int>(Named().size()));
    return {WidthFor(2 * Pad + count * Metrics().Line), 2 * Pad + count * Metrics().Line};
}

QSize TSeriesLegend::minimumSizeHint() const { return {minimumWidth(), 2 * Pad + Metrics().Line}; }

void TSeriesLegend::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Before the window is shown its layout has not given the legend its
    // height yet.
    if (!isVisible())
        return;
    // A lower legend needs more columns, a taller one fewer: the width
    // follows the height, and the layout gives the chart what is left.
    const int needed = WidthFor(height());
    if (needed != minimumWidth())
        setMinimumWidth(needed);
}

void TSeriesLegend::Changed()
{
    setMinimumWidth(isVisible() ? WidthFor(height()) : sizeHint().width());
    updateGeometry();
    update();
}

void TSeriesLegend::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const TMetrics m = Metrics();
    for (const TEntry& e : Entries()) {
        const QRect marker(e.Rect.left(), e.Rect.center().y() - m.Marker / 2, m.Marker, m.Marker);
        painter.fillRect(marker, e.Color);
        painter.setPen(e.Color.darker(130));
        painter.drawRect(marker.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::WindowText));
        const QRect text = e.Rect.adjusted(m.Marker + MarkerGap, 0, 0, 0);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, e.Name);
    }
}

} // namespace ferrolyt
