#include "NumberInput.h"

#include "LaterWarning.h"
#include "ResultDisplay.h"
#include "Utils.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QObject>

using namespace ferrolyt;

namespace {

// The last accepted text of an edit, as its child, and the keys that end
// the editing.
class TKeptNumber : public QObject {
public:
    TKeptNumber(QLineEdit& edit, QString field, NumberCheck check)
        : QObject(&edit), Field(std::move(field)), Check(std::move(check)), Kept(edit.text())
    {
        setObjectName(Name);
        edit.installEventFilter(this);
    }
    static constexpr const char* Name = "KeptNumber";
    QString Field;
    NumberCheck Check;
    QString Kept;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Found by name: the class has no meta-object of its own to be cast to.
TKeptNumber* KeeperOf(QLineEdit& edit)
{
    return static_cast<TKeptNumber*>(
        edit.findChild<QObject*>(QString::fromLatin1(TKeptNumber::Name), Qt::FindDirectChildrenOnly));
}

} // namespace

std::optional<std::string> NumberRefusal(const std::string& field, const std::string& typed)
{
    const std::string text = TrimBlanks(typed);
    long double value = 0;
    if (text.empty() || TryParseReal(DecimalDot(text), value))
        return std::nullopt;
    return "Поле \"" + field + "\": \"" + text + "\" не є числом. Залишено попереднє значення.";
}

bool TKeptNumber::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto& edit = static_cast<QLineEdit&>(*watched);
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Escape:
        // The typing is dropped, not refused: nothing is left for the end
        // of editing to tell about.
        if (edit.text() != Kept)
            edit.setText(Kept);
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Handed on, the key would press a dialog's default button: the
        // dialog would close on the old value with the refusal behind it.
        return !CheckNumberEdit(edit);
    default:
        return false;
    }
}

bool RefuseIfNotNumber(const std::string& field, const std::string& typed)
{
    const auto refusal = NumberRefusal(field, typed);
    if (refusal)
        WarnWhenIdle(*refusal);
    return refusal.has_value();
}

std::function<bool(int col, int row, const std::string& text)> NumberCellCheck(const TStringGrid& grid)
{
    return [&grid](int col, int row, const std::string& text) {
        const std::string& header = grid.Cell(col, 0);
        return !RefuseIfNotNumber(grid.Cell(1, row) + (header.empty() ? "" : ", " + header), text);
    };
}

void KeepNumbersIn(QLineEdit& edit, const QString& field, NumberCheck check)
{
    auto* keeper = new TKeptNumber(edit, field, std::move(check));
    // A text set by the program is not the user's typing.
    QObject::connect(&edit, &QLineEdit::textChanged, keeper, [&edit, keeper](const QString& text) {
        if (!edit.isModified())
            keeper->Kept = text;
    });
    QObject::connect(&edit, &QLineEdit::editingFinished, keeper, [&edit] { CheckNumberEdit(edit); });
}

bool CheckNumberEdit(QLineEdit& edit)
{
    TKeptNumber* keeper = KeeperOf(edit);
    if (!keeper)
        return true;
    const QString typed = edit.text();
    const auto refusal = keeper->Check(keeper->Field.toStdString(), typed.toStdString());
    if (!refusal) {
        keeper->Kept = typed;
        return true;
    }
    // The old text goes back at once: the box comes later and takes the
    // focus, which ends the editing again.
    edit.setText(keeper->Kept);
    WarnWhenIdle(*refusal);
    return false;
}
