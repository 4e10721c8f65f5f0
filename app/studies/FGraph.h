#pragma once
// The electroneutrality curve of the slag of the last melt: its specific
// charge against the potential, with a mark for each charged element at the
// potential where half of it is in the slag.

#include <QDialog>
#include <QPointF>

#include <utility>
#include <vector>

class QAction;
class QChart;
class QChartView;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QMenu;
class QScatterSeries;

class TFGraph : public QDialog {
    Q_OBJECT
public:
    explicit TFGraph(QWidget* parent = nullptr);

    // Draws the curve and the marks for the system ticked in the popup.
    void FormShow();
    // The chart as a 24-bit bitmap; false when the file cannot be written.
    bool SaveImage(const QString& fileName);

    QChartView* Chart1 = nullptr;
    QLineSeries* Series1 = nullptr;    // the curve
    QScatterSeries* Series2 = nullptr; // elements present
    QScatterSeries* Series3 = nullptr; // absent elements inside the range
    QLineSeries* Series4 = nullptr;
    QLineSeries* Series5 = nullptr;
    QAction* MSys1 = nullptr;
    QAction* MSys2 = nullptr;
    QAction* MAve = nullptr;
    QMenu* Popup = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Each mark's element symbol beside it, placed again when the plot moves.
    void PlaceMarkLabels();

    QChart* chart_ = nullptr;
    std::vector<std::pair<QGraphicsSimpleTextItem*, QPointF>> markLabels_;
};
