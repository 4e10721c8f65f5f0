#pragma once
// The effects and properties window: for the last solved state of both
// systems, the properties of the charge materials, the effect of one tonne
// of each material (or element) on the metal, the slag and the gas, and the
// materials' analyses; each number from the lower-bound system, the
// upper-bound system or their mean. The current table can be exported to a
// workbook. Every showing and every menu choice rebuilds the table from the
// model; nothing is cached.

#include "EffectsViews.h"
#include "ResultDisplay.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QStatusBar;
class QTabBar;
class QTableView;
class TGridModel;

class TFormDKM : public QWidget {
    Q_OBJECT

public:
    explicit TFormDKM(QWidget* parent = nullptr);
    ~TFormDKM() override;

    ferrolyt::TStringGrid DKMGridCells{ferrolyt::DkmGridColumns, ferrolyt::DkmGridRows};
    QTableView* DKMGrid = nullptr;
    TGridModel* DKMGridModel = nullptr;
    QTabBar* Tab = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusText = nullptr;

    QMenu* PhasePop = nullptr;
    QAction* N4 = nullptr;   // Properties
    QAction* MetM = nullptr; // Metal
    QAction* SlgM = nullptr; // Slag
    QAction* GasM = nullptr; // Gas
    QAction* N5 = nullptr;   // Composition
    QAction* EffMatM = nullptr;
    QAction* EffElM = nullptr;
    QAction* MassM = nullptr;
    QAction* PercM = nullptr;
    QAction* SlgOxiM = nullptr;
    QAction* SlgEleM = nullptr;
    QAction* HighM = nullptr;
    QAction* AveM = nullptr;
    QAction* LowM = nullptr;
    QAction* ExportM = nullptr;

    // The main window's task text, used in the export's names; by default
    // the current task's name.
    std::function<std::string()> TaskText;
    // The save dialog of the export: gets the suggested name, returns the
    // chosen one or an empty text on cancel.
    std::function<std::string(const std::string& suggested)> ExpoDialog;

    // Captions of the window, the menu and the tabs.
    void FormCreate();
    // Rebuilds the grid for the current view.
    void FormShow();
    // Shows the window with a fresh table (the main window's F3).
    void ShowEffects();
    // A popup item (all but Export) or the tab bar (sender Tab).
    void MetMClick(QObject* sender);
    void PhasePopPopup();
    // An edited cell of the Properties view stores its number.
    void DKMGridKeyDown(int col, int row);
    void ExportMClick();
    // The export to a chosen file; returns the name the file was saved under.
    std::string ExportTo(const std::string& fileName);
    // Empties the table from column 1 (the main window clears its results).
    void ClearGrid();

    // The choices of the popup menu as they stand.
    ferrolyt::TDkmChoices Choices() const;
    QString Caption() const;
    QString Status() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateWidgets();
    void CreateActions();
    QAction* AddItem(QActionGroup* group, int groupTag, int tag, bool checked);
    QAction* ViewItem(int view) const;

    // The item checked last in each group (10, 20 .. 50 as 0 .. 4).
    std::array<QAction*, 5> checkedItem_{};
};

// Created once with the main window's other tool windows.
extern TFormDKM* FormDKM;
