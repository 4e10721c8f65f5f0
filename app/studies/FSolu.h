#pragma once
// Oxygen solubility isotherms: the metal's oxygen against aluminium at 1550,
// 1600 and 1650 °C, computed when the window is shown.

#include <QDialog>

#include <array>

class QAction;
class QChart;
class QChartView;
class QLineSeries;
class QMenu;
class QValueAxis;

class TFSolu : public QDialog {
    Q_OBJECT
public:
    explicit TFSolu(QWidget* parent = nullptr);

    // Computes and draws the three isotherms (every point a full solve).
    void FormShow();
    // Asks for a file name and saves the chart; a cancelled or empty answer
    // saves nothing.
    void N1Click();
    bool SaveImage(const QString& fileName);

    QChartView* Chart1 = nullptr;
    std::array<QLineSeries*, 3> Series{};
    QAction* N1 = nullptr;
    QMenu* Popup = nullptr;
    // The points of the first curve to compute and the stride between them
    // (every point by default); a smaller study keeps tests quick.
    int FirstPoint = 5, LastPoint = 1000, PointStride = 1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QChart* chart_ = nullptr;
    QValueAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
};
