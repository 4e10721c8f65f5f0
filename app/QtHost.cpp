#include "QtHost.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMainWindow>

namespace {
QtHost::MessageHook& Hook()
{
    static QtHost::MessageHook hook;
    return hook;
}
const QString BoxTitle = QStringLiteral("Ferrolyt");
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
    const Message message{icon, BoxTitle, QString::fromStdString(text), buttons};
    if (Hook())
        return Hook()(message);
    QMessageBox box(icon, message.title, message.text, buttons, window_);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int QtHost::ShowWarning(const std::string& text)
{
    Box(QMessageBox::Warning, text, QMessageBox::Ok);
    return 1; // the OK result code
}

bool QtHost::AskYesNo(const std::string& text)
{
    return Box(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtHost::SetStatusText(int panel, const std::string& text)
{
    if (panel >= 0 && panel < panels_.size() && panels_[panel])
        panels_[panel]->setText(QString::fromStdString(text));
}

void QtHost::ProcessMessages() { QCoreApplication::processEvents(); }

void QtHost::SetCaption(const std::string& text)
{
    if (window_)
        window_->setWindowTitle(QString::fromStdString(text));
}
