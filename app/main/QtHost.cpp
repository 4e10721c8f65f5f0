#include "QtHost.h"

#include "FForw.h"
#include "ResultDisplay.h"
#include "Settings.h"
#include "ThSys.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>

namespace {
QtHost::MessageHook& Hook()
{
    static QtHost::MessageHook hook;
    return hook;
}
const QString BoxTitle = QStringLiteral("Ferrolyt");

// The arrow for as long as it lives, when another cursor is forced on the
// application; the forced one comes back after.
class TWaitingCursor {
public:
    TWaitingCursor() : shown_(QGuiApplication::overrideCursor() != nullptr)
    {
        if (shown_)
            QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    ~TWaitingCursor()
    {
        if (shown_)
            QGuiApplication::restoreOverrideCursor();
    }
    TWaitingCursor(const TWaitingCursor&) = delete;
    TWaitingCursor& operator=(const TWaitingCursor&) = delete;

private:
    bool shown_;
};
} // namespace

QtHost::QtHost() { previous_ = ferrolyt::SetHost(this); }

QtHost::~QtHost()
{
    if (&ferrolyt::CurrentHost() == this)
        ferrolyt::SetHost(previous_);
}

void QtHost::AttachWindow(QMainWindow* window, const QList<QLabel*>& statusPanels)
{
    window_ = window;
    panels_.clear();
    for (QLabel* label : statusPanels)
        panels_.append(label);
}

void QtHost::SetMessageHook(MessageHook hook) { Hook() = std::move(hook); }

QMessageBox::StandardButton QtHost::Box(QMessageBox::Icon icon, const std::string& text,
                                        QMessageBox::StandardButtons buttons)
{
    // A box waits for the user, not for a calculation: the arrow, even
    // while a run shows the busy cursor.
    const TWaitingCursor arrow;
    const Message message{icon, BoxTitle, QString::fromStdString(text), buttons};
    if (Hook())
        return Hook()(message);
    // The box belongs to the window the user is in: owned by the main
    // window, it would bring that window up over a tool window that asked.
    QWidget* owner = QApplication::activeWindow();
    if (!owner || owner->windowType() == Qt::Popup)
        owner = window_;
    QMessageBox box(icon, message.title, message.text, buttons, owner);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int QtHost::ShowWarning(const std::string& text)
{
    Box(QMessageBox::Warning, text, QMessageBox::Ok);
    return 1; // the OK result code
}

void QtHost::ShowInformation(const std::string& text) { Box(QMessageBox::Information, text, QMessageBox::Ok); }

bool QtHost::AskYesNo(const std::string& text)
{
    return Box(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtHost::SetStatusText(int panel, const std::string& text)
{
    constexpr int MuPanel = 2;
    // The engine writes its numbers with '.'; the Mu/RT panel holds only
    // numbers, the file panels hold names that a '.' between digits may be part of.
    if (panel >= 0 && panel < panels_.size() && panels_[panel])
        panels_[panel]->setText(QString::fromStdString(panel == MuPanel ? ferrolyt::WithDisplaySeparatorInText(text) : text));
}

void QtHost::ProcessMessages() { QCoreApplication::processEvents(); }

void QtHost::SetCaption(const std::string& text)
{
    if (window_)
        window_->setWindowTitle(QString::fromStdString(text));
}

char QtHost::DecimalSeparator() { return ferrolyt::DisplayDecimalSeparator; }

TFForw* QtHost::Main() const { return qobject_cast<TFForw*>(window_.data()); }

void QtHost::ShowInGrid(const ferrolyt::TThSys& system)
{
    if (TFForw* w = Main())
        // The systems are the model's own, never constants: the display
        // stores its unit values back into their element records.
        w->ShowSystemInGrid(const_cast<ferrolyt::TThSys&>(system),
                            ferrolyt::Settings.CalcNmi && system.NmiSolved, true);
}

bool QtHost::EditHasFocus(InputEdit edit)
{
    TFForw* w = Main();
    return w && w->EditHasFocus(edit);
}

std::string QtHost::EditText(InputEdit edit)
{
    TFForw* w = Main();
    return w ? w->EditText(edit) : std::string();
}

void QtHost::SetEditText(InputEdit edit, const std::string& text)
{
    if (TFForw* w = Main())
        w->SetEditText(edit, text);
}

void QtHost::SetMaterialName(int row, const std::string& name)
{
    if (TFForw* w = Main())
        w->SetMaterialName(row, name);
}

void QtHost::SetElementSymbol(int row, const std::string& text)
{
    if (TFForw* w = Main())
        w->SetElementSymbol(row, text);
}

void QtHost::ClearResults(bool keepMaterialAmounts, bool keepAlternatives, int firstColumn)
{
    if (TFForw* w = Main())
        w->ClearResults(keepMaterialAmounts, keepAlternatives, firstColumn);
}

void QtHost::SetActionEnabled(const std::string& action, bool enabled)
{
    if (TFForw* w = Main())
        w->SetActionEnabled(action, enabled);
}

void QtHost::ClearTaskBox()
{
    if (TFForw* w = Main())
        w->ClearTaskBox();
}

void QtHost::AddTaskBoxItem(const std::string& name)
{
    if (TFForw* w = Main())
        w->AddTaskBoxItem(name);
}

void QtHost::SelectTaskBoxItem(int index)
{
    if (TFForw* w = Main())
        w->SelectTaskBoxItem(index);
}

void QtHost::ShowTaskFiles(const std::vector<std::string>& names, int selected)
{
    if (TFForw* w = Main())
        w->ShowTaskFiles(names, selected);
}

std::string QtHost::AskProjectSaveName(const std::string& fileName, const std::string& folder)
{
    TFForw* w = Main();
    return w ? w->AskProjectSaveName(fileName, folder) : std::string();
}

void QtHost::MeltCurrentTask()
{
    if (TFForw* w = Main())
        w->MeltButClick(-1);
}
