#include "NumberInput.h"

#include "LaterWarning.h"
#include "Utils.h"

#include <QLineEdit>
#include <QObject>

using namespace ferrolyt;

namespace {

// The last accepted text of an edit, as its child.
class TKeptNumber : public QObject {
public:
    TKeptNumber(QLineEdit& edit, QString field) : QObject(&edit), Field(std::move(field)), Kept(edit.text())
    {
        setObjectName(Name);
    }
    static constexpr const char* Name = "KeptNumber";
    QString Field;
    QString Kept;
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

bool RefuseIfNotNumber(const std::string& field, const std::string& typed)
{
    const auto refusal = NumberRefusal(field, typed);
    if (refusal)
        WarnWhenIdle(*refusal);
    return refusal.has_value();
}

void KeepNumbersIn(QLineEdit& edit, const QString& field)
{
    auto* keeper = new TKeptNumber(edit, field);
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
    const auto refusal = NumberRefusal(keeper->Field.toStdString(), typed.toStdString());
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
