#pragma once
// A chart's legend beside its view that keeps every series whole: where the
// chart is too low for one column of names, the names go on in a second
// column, and so on, instead of being cut or dropped. Series that are not
// visible have no entry, as in the chart's own legend, which this replaces.

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

class QChart;

namespace ferrolyt {

class TSeriesLegend : public QWidget {
    Q_OBJECT

public:
    struct TEntry {
        QString Name;
        QColor Color;
        QRect Rect; // the marker and the name, in the legend's coordinates
    };

    // Call once the chart has its series.
    explicit TSeriesLegend(QChart& chart, QWidget* parent = nullptr);

    // The entries laid out for the legend's present height.
    QList<TEntry> Entries() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct TMetrics {
        int Line = 0, Marker = 0, Column = 0;
    };
    TMetrics Metrics() const;
    int RowsFor(int height) const;
    int WidthFor(int height) const;
    QList<TEntry> Named() const;
    void Changed();

    QChart& chart_;
};

} // namespace ferrolyt
