#pragma once
// The arc-furnace heat window: lists the heat logs of the current folder,
// plots what a log recorded, shows the computed initial state at once, and
// replays the log step by step with pause, resume and stop; the batch runs
// every log of the folder and writes a numbered report.
//
// The replay runs inside the run command: after every step the window
// shows it and lets pending input run, so the pause, stop and close
// commands act between two steps. While a replay or a batch runs, the
// commands that would load another log or change the settings are disabled.

#include "BusyCursor.h"
#include "HeatReplay.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTableWidget;
class QToolButton;
class QChartView;
class QChart;
class QXYSeries;

class TFHeat : public QMainWindow {
    Q_OBJECT

public:
    explicit TFHeat(QWidget* parent = nullptr);
    ~TFHeat() override;

    // What the window needs of the rest of the program. Each may stay empty.
    // The main window's open dialog for heat templates: the chosen name, or
    // an empty text when cancelled.
    std::function<QString()> AskHeatFileName;
    // The options dialog on its page `page`; true when it closed with OK.
    std::function<bool(int page)> OpenOptions;
    // Shows both systems in the main window without solving again.
    std::function<void()> ShowForwardProblem;

    // Tool bar, menu and the run button's consumption menu.
    QToolButton* OpenBut = nullptr;
    QToolButton* RunBut = nullptr;
    QToolButton* RunAllBut = nullptr;
    QToolButton* StopBut = nullptr;
    QMenu* CalcModePop = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QMenu* FileM = nullptr;
    QAction* OpenM = nullptr;
    QAction* OptionsM = nullptr;
    QComboBox* HeatBox = nullptr;
    // The run button's tag (the consumption mode of a plain click) and its
    // image: 10 start/resume, 11 pause.
    int RunButTag = 0;
    int RunButImage = 10;

    QLineEdit* MetalEd = nullptr;
    QLineEdit* SlagEd = nullptr;
    QLineEdit* GasEd = nullptr;
    QLineEdit* TempEd = nullptr;
    QLineEdit* SolidLomEd = nullptr;
    QLineEdit* BalanceEEd = nullptr;
    QLineEdit* ErrorChEd = nullptr;
    QLineEdit* ErrorChAveEd = nullptr;
    QLineEdit* ErrorTEd = nullptr;
    QLineEdit* ErrorTAveEd = nullptr;
    QLineEdit* SumEEd = nullptr;
    QLineEdit* SumE_MEd = nullptr;
    QTableWidget* SGrid = nullptr;
    QChartView* Chart1 = nullptr; // bath
    QChartView* Chart2 = nullptr; // recorded inputs
    QChartView* Chart3 = nullptr; // composition
    std::array<QLabel*, 3> SBarPanels{};

    // A series of the three charts by its title.
    QXYSeries* Series(const QString& title) const;

    // Published handlers.
    void FormShow();
    void ResetCharts();
    void OpenButClick();
    void HeatBoxClick();
    // tag: the consumption mode of the click (RunBut passes RunButTag).
    void RunButClick(int tag);
    void StopButClick();
    void RunAllButClick();
    void OptionsMClick();
    void CalcModePopPopup();

    // True from the start of a replay to its end, pauses included.
    bool Replaying() const { return replaying_; }
    bool Paused() const { return paused_; }
    // How the last replay of the run command ended.
    ferrolyt::THeatRunResult LastRun() const { return lastRun_; }
    // The report the last batch wrote (empty when none).
    QString LastReport() const { return lastReport_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // False, after a message when `tell`, while a constant of the furnace
    // that the replay cannot do without is 0.
    bool FurnaceConstantsSet(bool tell) const;

    void CreateWidgets();
    QXYSeries* AddSeries(QChart* chart, const QString& title, bool points, bool visible = true);
    void ShowStep(const ferrolyt::THeatStepInfo& info);
    void ClearCalculatedSeries();
    void Rescale();
    void SetRunButState(int image, const QString& hint);
    void SetCommandsEnabled(bool enabled);
    void WaitWhilePaused();

    std::map<QString, QXYSeries*> series_;
    bool replaying_ = false;
    // Shown while a replay runs, not while it is paused.
    std::optional<ferrolyt::TBusyCursor> replayCursor_;
    bool paused_ = false;
    bool heatResume_ = false;
    bool inBatch_ = false;
    ferrolyt::THeatRunResult lastRun_ = ferrolyt::THeatRunResult::Refused;
    QString lastReport_;
};
