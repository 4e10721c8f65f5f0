#pragma once
// The kinetics window: the lower-bound system's relaxation towards the
// equilibrium of the last melt, drawn live per element of the chosen phase.
// The run is driven by a timer, one integration step per tick, so that the
// window stays responsive; a pause stops the timer, closing ends the run.

#include "Kinetics.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QButtonGroup;
class QChart;
class QChartView;
class QLineSeries;
class QMenu;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;
class QValueAxis;

class TKinF : public QWidget {
    Q_OBJECT
public:
    explicit TKinF(QWidget* parent = nullptr);
    ~TKinF() override;

    // The kinetics command: asks the stop question while a calculation is
    // busy, only shows the window while a run goes, otherwise melts (through
    // `melt`) and starts a run. Returns at once; the timer drives the run.
    void KineMClick(const std::function<void()>& melt);

    // Stop / Continue (the action, its button and menu item, a double click
    // on the chart).
    void StopButClick();
    // Phase shown: 0 metal, 1 slag, 2 gas.
    void PhaseGrpClick(int phase);
    // Asks for a file name and saves the chart.
    void SaveImgMClick();
    // Saves the chart to the name with its extension replaced by ".bmp";
    // false when the file cannot be written.
    bool SaveImage(const QString& fileName);

    bool KinRunning = false;
    bool KinPauseRequested = false;
    bool KinContinue = false;
    bool KinRedrawRequested = false;
    int KinPhase = 0;

    bool Paused() const { return paused_; }
    const ferrolyt::TKinetics* Kinetics() const { return kin_.get(); }
    QChartView* KinChart = nullptr;
    QTableWidget* KinGrid = nullptr;
    QAction* StopContA = nullptr;
    QAction* MetM = nullptr;
    QAction* SlgM = nullptr;
    QAction* GasM = nullptr;
    QAction* StopKinM = nullptr;
    QAction* SaveImgM = nullptr;
    QMenu* PopupKinM = nullptr;
    std::array<QRadioButton*, 3> PhaseGrp{};

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void KinStep();
    void KinRedraw();
    void KinSeriesTitles();
    void EndRun();
    void Pause();
    void Resume();

    QChart* chart_ = nullptr;
    QValueAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
    std::array<QLineSeries*, ferrolyt::MaxElements + 1> KinSeries{};
    QPushButton* stopBut_ = nullptr;
    QButtonGroup* phaseGroup_ = nullptr;
    QTimer* timer_ = nullptr;
    std::unique_ptr<ferrolyt::TThSys> kinSystem_;
    std::unique_ptr<ferrolyt::TKinetics> kin_;
    bool paused_ = false;
    int64_t startCounter_ = 0;
};
