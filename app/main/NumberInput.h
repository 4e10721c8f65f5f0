#pragma once
// Fields that take a number refuse what is not one: the user is told which
// field and what was typed, and the field keeps its previous value. An
// empty field is left to mean what it always meant (nothing charged, the
// task's value, no limit).

#include <QString>

#include <functional>
#include <optional>
#include <string>

class QLineEdit;
class QObject;

namespace ferrolyt {
class TStringGrid;
}

// The warning for `typed` in the field called `field`; nothing when the text
// is empty or a number with either decimal separator.
std::optional<std::string> NumberRefusal(const std::string& field, const std::string& typed);

// What a field takes, as NumberRefusal: the warning, or nothing when taken.
using NumberCheck = std::function<std::optional<std::string>(const std::string& field, const std::string& typed)>;

// True when `typed` is refused. The refusal is told once the event loop is
// back (WarnWhenIdle): the callers are a grid's commit, a delegate's
// setModelData and an edit's editingFinished, where a box must not run.
bool RefuseIfNotNumber(const std::string& field, const std::string& typed);

// The cell check of a grid whose editable cells take numbers: a text that
// is not one is refused (RefuseIfNotNumber), the cell named by its row's
// name in column 1 and its column's header.
std::function<bool(int col, int row, const std::string& text)> NumberCellCheck(const ferrolyt::TStringGrid& grid);

// Makes `edit` keep the last number it held: when editing ends on a text that
// `check` refuses, the edit gets its previous text back at once and the user
// is told once the edit's own handling is over (WarnWhenIdle). Return or
// Enter on a refused text goes no further, so a dialog stays open on the
// field to mend; Escape puts the previous text back without a word and
// goes on as it would (a dialog is cancelled). Texts the program sets are
// taken as they are.
void KeepNumbersIn(QLineEdit& edit, const QString& field, NumberCheck check = NumberRefusal);

// Checks `edit` now, as the end of editing would; false when it was refused.
// Commands call it for the edits they read before the edit loses the focus.
bool CheckNumberEdit(QLineEdit& edit);
