#pragma once
// The chart window of the particle demonstration: the kinetic-energy
// distribution against the Maxwell density, and the pair correlation g(r)
// of a chosen ordered type pair. It charts the model of the open 3D window
// and refreshes every 2 s while it is shown.

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QButtonGroup;
class QChart;
class QChartView;
class QGroupBox;
class QLineSeries;
class QScatterSeries;
class QTabBar;
class QValueAxis;

namespace ferrolyt::particles {

class ParticleModel;

class TFChart : public QWidget {
    Q_OBJECT
public:
    explicit TFChart(QWidget* parent = nullptr);
    ~TFChart() override;

    // Redraws the chart of the current tab from the open 3D window's model
    // (empty when no view is open).
    void ShowGraphs();
    // The same from a given model.
    void ShowGraphsOf(const ParticleModel* model);

    QTabBar* TabCtrl() const { return tabs_; }
    QScatterSeries* Series1() const { return series1_; }
    QLineSeries* Series2() const { return series2_; }
    QChart* Chart() const { return chart_; }
    QGroupBox* TypGrp() const { return typGrp_; }
    // Chooses an item of the type-pair group ("11", "21", ... in its order).
    void SelectTypePair(int index);
    bool TimerActive() const { return timer1_.isActive(); }

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    // The chart shares the 3D window's popup menu.
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void TabCtrlChange();

    QTabBar* tabs_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QScatterSeries* series1_ = nullptr;
    QLineSeries* series2_ = nullptr;
    QValueAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
    QGroupBox* typGrp_ = nullptr;
    QButtonGroup* typButtons_ = nullptr;
    QTimer timer1_;
};

// The chart window, created with the control window.
extern QPointer<TFChart> FChart;

} // namespace ferrolyt::particles
