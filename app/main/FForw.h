#pragma once
// The main window: the element, gas and materials grids, the result edits,
// the list of alternatives, the status bar, the tool bar and the menus of the
// melt and the optimisation. It reads the settings file and loads the last
// project the first time it is shown, and writes the settings back when it
// closes.
//
// While a long run is active (CalcBusy), every command that would re-solve
// or change the model, and closing the window, only ask whether to stop it.

#include "BusyCursor.h"
#include "Host.h"
#include "ResultDisplay.h"
#include "TaskEditorHost.h"

#include <QList>
#include <QStringList>
#include <QMainWindow>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QStatusBar;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class TGridModel;
class TFOptions;
class TFTask;
class TFGraph;
class TFSolu;
class TKinF;
class TAboutBox;
class TFHeat;
class TAutoF;
class TRzForm;
class QPrinter;

namespace ferrolyt {
class TThSys;
namespace particles {
class TMaxF;
}
}

class TFForw : public QMainWindow, public TTaskEditorHost {
    Q_OBJECT

public:
    explicit TFForw(QWidget* parent = nullptr);
    ~TFForw() override;

    // Panels of the status bar SBar: 0 iterations, 1 computing time, 2 Mu/RT,
    // 3 composition unit, 4 materials file, 5 heat effect, 6 solver method,
    // 7 Cp, 8 Kp.
    static constexpr int StatusPanelCount = 9;
    QStatusBar* SBar = nullptr;
    QList<QLabel*> SBarPanels;

    // The grids' cells; the views show them through table models.
    ferrolyt::TStringGrid ElGridCells{ferrolyt::ElGridColumns, 2};
    ferrolyt::TStringGrid MatGridCells{3, 2};
    ferrolyt::TStringGrid GasGridCells{4, 4};
    QTableView* ElGrid = nullptr;
    QTableView* MatGrid = nullptr;
    QTableView* GasGrid = nullptr;
    TGridModel* ElGridModel = nullptr;
    TGridModel* MatGridModel = nullptr;
    TGridModel* GasGridModel = nullptr;

    QLineEdit* EditIniT = nullptr;
    QLineEdit* EditP = nullptr;
    QLineEdit* EditFinT = nullptr;
    QLineEdit* EditMetM = nullptr;
    QLineEdit* EditSlgM = nullptr;
    QLineEdit* EditOsn = nullptr;
    QLineEdit* EdCharge = nullptr;
    QLineEdit* EditGasM = nullptr;
    QLineEdit* EditNmiM = nullptr;
    QLineEdit* EditMatM = nullptr;
    QLineEdit* EditCost = nullptr;

    QComboBox* TaskBox = nullptr;
    QComboBox* TaskFileBox = nullptr;
    QTreeWidget* AltView = nullptr;
    QProgressBar* ProgBar1 = nullptr;
    QToolBar* ToolBar = nullptr;
    QToolButton* StartBut = nullptr;
    QTimer* Timer1 = nullptr;

    QMenu* FileM = nullptr;
    QMenu* OpenFileM = nullptr;
    QMenu* SaveFileM = nullptr;
    QMenu* MainMatsM = nullptr;
    QMenu* MainTaskM = nullptr;
    QMenu* OptimizeM = nullptr;
    QMenu* GraphsM = nullptr;
    QMenu* MiscM = nullptr;
    QMenu* EquiMetM = nullptr;
    QMenu* EquiSlgM = nullptr;
    QMenu* HelpM = nullptr;
    QAction* NewA = nullptr;
    QAction* OpenA = nullptr;
    QAction* OpenConM = nullptr;
    QAction* OpenMatM = nullptr;
    QAction* OpenTskM = nullptr;
    QAction* OpenHeaM = nullptr;
    QAction* SaveA = nullptr;
    QAction* SaveAsM = nullptr;
    QAction* SaveTskM = nullptr;
    QAction* PrintA = nullptr;
    QAction* ExportM = nullptr;
    QAction* ExitM = nullptr;
    QAction* OpenMatFileM = nullptr;
    QAction* MeltRecA = nullptr;
    QAction* MeltA = nullptr;
    QAction* MatsA = nullptr;
    QAction* AllowAllMatsM = nullptr;
    QAction* ClearAllMatsM = nullptr;
    QAction* CurRecMatsM = nullptr;
    QAction* TonsM = nullptr;
    QAction* KmolM = nullptr;
    QAction* TaskA = nullptr;
    QAction* OpenTaskFileM = nullptr;
    QAction* RemTaskM = nullptr;
    QAction* StartA = nullptr;
    QAction* StopA = nullptr;
    QAction* OptionsM = nullptr;
    // The studies and tool windows.
    QAction* ElectroM = nullptr;
    QAction* KinA = nullptr;
    QAction* ProA = nullptr;
    QAction* IsothM = nullptr;
    QAction* GibbsDuhemM = nullptr;
    QAction* AutoGraphM = nullptr;
    QAction* EquiMetCurM = nullptr;
    QAction* EquiMetTskM = nullptr;
    QAction* EquiSlgCurM = nullptr;
    QAction* EquiSlgTskM = nullptr;
    QAction* ConstrRzM = nullptr;
    QAction* DemonM = nullptr;
    QToolButton* KinBut = nullptr;
    QAction* OpenHelpM = nullptr;
    QAction* AboutM = nullptr;
    QAction* TopBut = nullptr;

    // The materials grid's popup.
    QMenu* MatsPop = nullptr;
    QAction* EnableMatM = nullptr;
    QAction* FixMatM = nullptr;
    QAction* SetMatRecM = nullptr;
    QAction* SetMatMinM = nullptr;
    QAction* SetMatMaxM = nullptr;
    QAction* SetMatMinPctM = nullptr;
    QAction* SetMatMaxPctM = nullptr;
    QAction* EnableAllMatsM = nullptr;
    QAction* ClrMatsM = nullptr;
    QAction* RecAllMatsM = nullptr;
    QAction* MatTonsM = nullptr;
    QAction* MatKmolesM = nullptr;
    // The material row the popup was opened on, and that material's place
    // among the current task's materials (its count + 1 when not listed).
    int PopupMaterialRow = 0;
    int PopupTaskMaterial = 0;

    // The program's other windows, created once with the main window (the
    // effects window is the global FormDKM).
    TFOptions* FOptions = nullptr;
    TFTask* FTask = nullptr;
    TFGraph* FGraph = nullptr;
    TKinF* KinF = nullptr;
    TAboutBox* AboutBox = nullptr;
    TFHeat* FHeat = nullptr;
    TFSolu* FSolu = nullptr;
    TAutoF* AutoF = nullptr;
    TRzForm* RzForm = nullptr;
    ferrolyt::particles::TMaxF* MaxF = nullptr;

    QMenu* ElemPop = nullptr;
    QAction* WidenM = nullptr;
    QAction* MassPercM = nullptr;
    QAction* MolePercM = nullptr;
    QAction* KilosM = nullptr;
    QAction* KmoleM = nullptr;
    QAction* AveM = nullptr;
    QAction* SysPercM = nullptr;
    QAction* MsgPercM = nullptr;
    QAction* LogM = nullptr;
    QAction* AccM = nullptr;

    QMenu* GasPop = nullptr;
    QAction* AtmM = nullptr;
    QAction* KPasM = nullptr;
    QAction* PascM = nullptr;
    QAction* MmrtstM = nullptr;
    QAction* AveGasM = nullptr;
    QAction* GasLgM = nullptr;
    QAction* GasLnM = nullptr;

    // The optimiser as the commands call it; tests put their own in.
    struct TOptimiserCalls {
        std::function<bool()> BuildConstraintBlocks;
        std::function<int32_t(int32_t)> Optimise;
    };
    TOptimiserCalls OptimiserCalls;

    // The alternatives now listed, in the list's order; Current is the one
    // whose charge is shown (-1 none).
    std::vector<ferrolyt::TAlternative> Alternatives;
    int CurrentAlternative = -1;

    // The first-show steps have run.
    bool StartupDone() const { return startupDone_; }

    // Captions and hints.
    void FormCreate();
    // The first showing's start-up steps; later showings do nothing.
    void FormShow();
    // Whether the window may close: not while a calculation runs (the user
    // is asked whether to stop it); otherwise the settings are written.
    bool FormCloseQuery();

    // --- result display
    // What the window shows of the heat. A file command that is refused
    // half-way has already emptied the grids (the materials are read before
    // the task file fails): it shows them again as they were, so that the
    // charge on screen is still the one the model melts.
    struct TShownHeat {
        ferrolyt::TStringGrid El{1, 1};
        ferrolyt::TStringGrid Mat{1, 1};
        ferrolyt::TStringGrid Gas{1, 1};
        ferrolyt::TStringGrid Effects{1, 1};
        QStringList Edits;
        QStringList EditHints;
        QStringList Panels;
        bool Shown = false;
        int GasLines = 0;
        std::vector<ferrolyt::TAlternative> Alternatives;
        int CurrentAlternative = -1;
    };
    TShownHeat ShownHeat() const;
    void ShowHeatAgain(const TShownHeat& shown);
    void ShowForwardProblem(bool recompute);
    void ClearResults(bool keepMaterialAmounts, bool keepAlternatives, int firstColumn);
    void ShowSystemInGrid(ferrolyt::TThSys& sys, bool showNmi, bool showMaterialAmounts);
    // The element popup's items (by their tag) and the gas popup's.
    void MolePercMClick(QAction* item);
    void AtmMClick(QAction* item);
    void ElemPopPopup();
    void GasPopPopup();
    void WidenMClick();

    // --- melt and optimisation
    void SetIdle(bool idle);
    void StopButClick();
    // tag 0: the masses of the materials grid; 1 or -1 (no sender): the
    // task's recommended charge (-1 also clears the alternatives).
    void MeltButClick(int tag);
    void StartButClick();
    // True when the current task has a lower bound above its upper one and
    // cannot be computed; with `tell` the user is told which.
    bool RefuseInvertedTask(bool tell);
    // Re-solves with the alternative at `row` of the list.
    void AltViewClick(int row);

    // --- what the engine asks of the window
    bool EditHasFocus(ferrolyt::Host::InputEdit edit) const;
    std::string EditText(ferrolyt::Host::InputEdit edit) const;
    void SetEditText(ferrolyt::Host::InputEdit edit, const std::string& text);
    void SetMaterialName(int row, const std::string& name);
    void SetElementSymbol(int row, const std::string& text);
    void SetActionEnabled(const std::string& action, bool enabled);
    void ClearTaskBox();
    void AddTaskBoxItem(const std::string& name);
    void SelectTaskBoxItem(int index);
    void ShowTaskFiles(const std::vector<std::string>& names, int selected);
    std::string AskProjectSaveName(const std::string& fileName, const std::string& folder);

    // --- what the task editor asks of the window
    int ShownTask() const override;
    void ListTasks(const QStringList& names, int current) override;
    void ClearTaskResults() override;
    void ShowInitialTemperature(const QString& text) override;
    void EnableBoundCommands(bool massBounds, bool materialBounds) override;

    // --- file commands
    // tag 1 project, 2 constants, 3 materials, 4 task file, 5 heat
    // template: the open dialog's filter; the chosen file is opened by its
    // extension.
    void OpenMClick(int tag);
    // The open dialog with the filter of `tag`: the chosen name, or an empty
    // text when cancelled.
    QString AskOpenFileName(int tag);
    void OpenFile(const std::string& fileName);
    void ClearButClick();
    // tag 0 saves under the project's name, 1 asks for one.
    void SaveButClick(int tag);
    // Writes the task list to its own file, without the project.
    void SaveTskMClick();
    void Timer1Timer();
    void TaskListBoxClick(int index);
    void TaskBoxClick(int index);
    // The autosave timer from Settings.
    void SetAutoSaveTimer();

    // --- menu commands
    void TaskMClick();
    void OptionsMClick();
    // The options dialog opened on page `page` for another window; true when
    // it closed with OK. No recompute follows.
    bool OpenOptionsPage(int page);
    void ExportMClick();
    void ProAExecute();
    void EffMatMClick();
    void ElectroMClick();
    void IsothMClick();
    void KineMClick();
    void AutoGraphMClick();
    void GibbsDuhemMClick();
    // tag 1: from the task's initial phases, 0: from the present ones.
    void EquiMetClick(int tag);
    void EquiSlgClick(int tag);
    void ConstrRzMClick();
    void DemonMClick();
    // Prints the window on the printer the print dialog confirms.
    void PrintButClick();
    // The same on a given printer, without a dialog.
    void PrintWindow(QPrinter& printer);
    void OpenHelpMClick();
    void AboutMClick();
    void TopButClick(bool down);
    void MainTaskMClick();
    void RemTaskMClick();

    // --- materials popup
    void MatsPopPopup(int row);
    void EnableMatMClick();
    void FixMatClick();
    void SetMatRecMClick(int tag);
    void EnableAllMatsMClick();
    void ClrMatsMClick();
    void RecAllMatsMClick();
    void MatKmolesMClick(int tag);
    void MainMatsMClick();

    // Pushes grid changes to the views.
    void GridsChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateWidgets();
    void CreateActions();
    void CreatePopups();
    void CreateMaterialsPopup();
    void DecorateGrids();
    // Asks the stop question when a run is active; true then.
    bool AskIfBusy();
    // The same for a heat replay, whose steps work on both systems between
    // pending messages: a Yes stops the replay after its current step.
    bool AskIfReplaying();
    // Either of the two, for the commands that set up or solve the systems.
    bool AskIfSystemsInUse();
    void CreateToolWindows();
    // Runs a command; an exception it lets out is shown in a box. A command
    // that reads the temperature and pressure edits (every one but the
    // autosave tick, which may come while the user is typing) first has
    // them checked.
    void RunCommand(const std::function<void()>& command, bool readsEdits = true);
    void ShowAlternatives();
    void SetAltViewHeight(int items);
    // Puts the alternative's charge into the material table as its run left it.
    void TakeAlternativeCharge(const ferrolyt::TAlternative& alternative);
    // The heat shown before the stopped run, with the run's alternatives.
    void ShowRunStopped(const TShownHeat& before);
    QLineEdit* InputEditWidget(ferrolyt::Host::InputEdit edit) const;
    // The result edits that show a range, with their texts.
    std::vector<std::pair<QLineEdit*, std::string ferrolyt::TResultTexts::*>> RangeEdits() const;
    // Shows the edit's range of the shown heat with as many digits as its
    // width takes, and the whole range in its hint when digits were dropped.
    void FitResultEdit(QLineEdit& edit, std::string ferrolyt::TResultTexts::*field);

    // Shown from the start of a run to its end.
    std::optional<ferrolyt::TBusyCursor> runCursor_;
    bool startupDone_ = false;
    bool editPFocused_ = false;
    bool editIniTFocused_ = false;
};
