#pragma once
// The engine's only way to the program's windows. The engine never includes
// a GUI header: it asks the current host to show a warning, ask a question,
// write a status panel or let pending window messages run. The program
// installs a Qt host at start-up; tests install a recording one.
//
// Every member has a harmless default so that a host only overrides what it
// shows, and so that adding a member later breaks no existing host.

#include <string>
#include <vector>

namespace ferrolyt {

class TThSys;

class Host {
public:
    Host() = default;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    virtual ~Host() = default;

    // A warning box titled "Ferrolyt" with an OK button; returns the box's
    // result code (1 for OK).
    virtual int ShowWarning(const std::string& text);

    // An information box titled "Ferrolyt" with an OK button: a study's result.
    virtual void ShowInformation(const std::string& text);

    // A Yes/No question box titled "Ferrolyt"; true when the answer is Yes.
    virtual bool AskYesNo(const std::string& text);

    // One panel of the main window's status bar.
    virtual void SetStatusText(int panel, const std::string& text);

    // Lets the window system handle pending input (long runs call this
    // between passes so that the stop command can reach them).
    virtual void ProcessMessages();

    // Shows a solved system in the element grid.
    virtual void ShowInGrid(const TThSys& system);

    // The main window's caption.
    virtual void SetCaption(const std::string& text);

    // The decimal separator of numbers in the boxes, the one the user's
    // desktop shows; '.' where there is no desktop.
    virtual char DecimalSeparator();

    // The main window's pressure and initial-temperature edits, which the
    // set-up of the systems reads while the user is typing in them.
    enum class InputEdit { Pressure, InitialTemperature };
    // True while the edit holds the input focus.
    virtual bool EditHasFocus(InputEdit edit);
    virtual std::string EditText(InputEdit edit);
    virtual void SetEditText(InputEdit edit, const std::string& text);

    // --- Data files, materials, tasks and the project ---------------------

    // Column 1 (the name) of the materials grid, row 1..; rows of the
    // materials file in order.
    virtual void SetMaterialName(int row, const std::string& name);

    // Column 1 (the symbol) of the element grid, row 1.. (element i is row
    // i + 1).
    virtual void SetElementSymbol(int row, const std::string& text);

    // Clears the results on screen: the material grid's amounts (unless
    // keepMaterialAmounts), the element, gas and effects grids from
    // firstColumn, the result edits and panels, and the list of alternatives
    // (unless keepAlternatives).
    virtual void ClearResults(bool keepMaterialAmounts, bool keepAlternatives, int firstColumn);

    // Enables or disables one of the main window's actions by its name
    // ("MeltA", "MeltRecA", "StartA").
    virtual void SetActionEnabled(const std::string& action, bool enabled);

    // The main window's task combo box: emptied, a task name appended, an
    // entry selected (-1: none).
    virtual void ClearTaskBox();
    virtual void AddTaskBoxItem(const std::string& name);
    virtual void SelectTaskBoxItem(int index);

    // The project's task files (the task-file combo box) with the selected
    // entry (-1: none).
    virtual void ShowTaskFiles(const std::vector<std::string>& names, int selected);

    // The save dialog for a project: initial file name and folder; returns
    // the chosen name, or an empty text when the dialog was cancelled.
    virtual std::string AskProjectSaveName(const std::string& fileName, const std::string& folder);

    // The melt command of the current task's recommended charge, as after
    // a project was loaded.
    virtual void MeltCurrentTask();
};

// The host the engine talks to now. Never null: without an installed host
// the engine uses a silent one that prints warnings on standard error and
// answers No to every question.
Host& CurrentHost();

// Installs a host (the caller keeps ownership); nullptr restores the silent
// default. Returns the host that was installed before.
Host* SetHost(Host* host);

} // namespace ferrolyt
