#pragma once
// The autographs dialog: the X quantity and its range (a second range may
// follow), the Y quantity with its element, phase and unit, the options of
// the workbook's sheets and charts, and the button that runs the sweep. The
// sweep runs inside the button's handler; between points the dialog stays
// responsive and the same button stops the sweep.

#include "AutographRun.h"

#include <QDialog>

#include <memory>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace ferrolyt {
class TAutographCommands;
}

class TAutoF : public QDialog {
    Q_OBJECT

public:
    explicit TAutoF(QWidget* parent = nullptr);
    ~TAutoF() override;

    // The main window's commands the points use (melt, optimisation, busy
    // state). Without them the dialog computes on the engine alone. The
    // caller keeps ownership.
    void SetCommands(ferrolyt::TAutographCommands* commands) { commands_ = commands; }

    QComboBox* ComboX = nullptr;
    QComboBox* ComboXfact = nullptr;
    QLabel* Label9 = nullptr;
    QComboBox* ComboY = nullptr;
    QComboBox* ComboElems = nullptr;
    QComboBox* ComboPhase = nullptr;
    QComboBox* ComboUnits = nullptr;
    QLabel* LabelB = nullptr;
    QLineEdit* EdRangeX1 = nullptr;
    QLineEdit* EdRangeX2 = nullptr;
    QLineEdit* EdStepX = nullptr;
    QLineEdit* EdRangeXX1 = nullptr;
    QLineEdit* EdRangeXX2 = nullptr;
    QLineEdit* EdStepXX = nullptr;
    QCheckBox* OptiChk = nullptr;
    QCheckBox* SeriesChk = nullptr;
    QCheckBox* SymbChk = nullptr;
    QCheckBox* ColorChk = nullptr;
    QCheckBox* ChkNoNeg = nullptr;
    QCheckBox* SkipBadChk = nullptr;
    QGroupBox* AllTasksGrp = nullptr;
    QRadioButton* AllTasksItem = nullptr;     // "Усі", item 0
    QRadioButton* CurrentTaskItem = nullptr;  // "Поточне", item 1
    QListWidget* GasBox = nullptr;
    QProgressBar* PBar = nullptr;
    QPushButton* DoTaskBut = nullptr;
    QPushButton* ClearBut = nullptr;
    QLabel* AxisXlab = nullptr;
    QLabel* AxisYlab = nullptr;
    QLabel* RangXlab = nullptr;
    QLabel* RangXXlab = nullptr;
    QLabel* StepLab = nullptr;
    QLabel* StepLab2 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label10 = nullptr;

    void FormCreate();
    void FormShow();
    void ComboXClick();
    void ComboYClick();
    void ComboPhaseClick();
    void AllTasksGrpClick();
    void SeriesChkClick();
    void ClearButClick();
    // Runs the sweep, or, while one runs, asks it to stop.
    void DoTaskButClick();

    // The choices as the runner reads them.
    ferrolyt::TAutographChoices Choices() const;
    bool Running() const { return running_; }
    const ferrolyt::TAutographRunResult& LastRun() const { return lastRun_; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void SetRunning(bool running);

    ferrolyt::TAutographCommands* commands_ = nullptr;
    std::unique_ptr<ferrolyt::TAutographCommands> engineCommands_;
    bool running_ = false;
    std::vector<std::pair<QWidget*, bool>> enabledBeforeRun_;
    bool stopRequested_ = false;
    ferrolyt::TAutographRunResult lastRun_;
};
