#pragma once
// What of a task the task file cannot keep as it is, found where the user
// can mend it: a name the editor would drop, a name listed twice, a value
// the reader would refuse, a text the file's code page lacks, and a bound
// above its upper one (kept by the file, refused by the commands). The task
// editor refuses such an entry on OK by its row and name; the writer refuses
// a list holding one, which then could not be read back.

#include "TaskList.h"

#include <string>

namespace ferrolyt {

struct TTaskEntryRefusal {
    enum class Kind { None, Unknown, Repeated, OutOfRange, Inverted, Unwritable };
    enum class Place { Task, Edit, ElementRow, MaterialRow };

    Kind What = Kind::None;
    Place Where = Place::Task;
    // Edit: the edit, the lower one of a pair upside down.
    TTaskEditorView::Field Field = TTaskEditorView::FieldCount;
    // ElementRow, MaterialRow: the grid's row (1-based, as ShowCurrent fills
    // it) and column (1 the name; the lower one of a pair upside down).
    int Row = 0;
    int Column = 0;
    std::string Task;    // the task's name, when known
    std::string Name;    // the row's element or material as typed
    std::string Reason;  // what is wrong, with the name where it is the cause

    bool Found() const { return What != Kind::None; }
};

// The first such entry of what the editor shows, before StoreCurrent takes
// it (which drops a row whose name is not known): the edits first, then the
// element rows, then the material rows. Task stays empty.
TTaskEntryRefusal RefusedEditorEntry(const TTaskEditorView& editor);

// The same for a stored task; its rows are its elements and materials in
// order, as the editor shows them. Without bounds a pair upside down passes:
// the file keeps it.
TTaskEntryRefusal RefusedTaskEntry(const TTaskRecord& task, bool bounds);

// The entry in words for a message that has no editor at hand
// ("завдання "7", рядок 3 таблиці елементів: елемент C указано двічі ...").
std::string TaskEntryText(const TTaskEntryRefusal& refusal);

} // namespace ferrolyt
