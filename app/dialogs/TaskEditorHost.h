#pragma once
// What the task editor asks of the window that opened it: the task box that
// lists the tasks in force, the results that no longer hold when another
// task becomes current, the initial-temperature edit and the commands that
// need a task's bounds. The main window is one such window; the editor
// knows nothing else of it.

#include <QString>
#include <QStringList>

class TTaskEditorHost {
public:
    virtual ~TTaskEditorHost() = default;

    // The index the task box shows.
    virtual int ShownTask() const = 0;
    // Lists `names` in the task box, one by one, and selects `current`.
    virtual void ListTasks(const QStringList& names, int current) = 0;
    // Another task became current: the last melt's results are cleared.
    virtual void ClearTaskResults() = 0;
    virtual void ShowInitialTemperature(const QString& text) = 0;
    // The melts from the mass bounds and from the material bounds are
    // offered only when the current task has such bounds.
    virtual void EnableBoundCommands(bool massBounds, bool materialBounds) = 0;

protected:
    TTaskEditorHost() = default;
    TTaskEditorHost(const TTaskEditorHost&) = default;
    TTaskEditorHost& operator=(const TTaskEditorHost&) = default;
};

// The open dialog's filters of the project's files (the save dialog's with
// `save`), in the order of the open commands' tags from 1.
QStringList OpenFilters(bool save);
