#pragma once
// The engine's host in the Qt program: warning and question boxes titled
// "Ferrolyt", the main window's status-bar panels and caption, and the event
// loop for long runs. Constructing a QtHost installs it as the engine's
// current host; destroying it puts back the host that was there before.
//
// Tests must not block on a modal box: a message hook, when set, receives
// every box instead of it being shown and answers in the user's place.

#include "Host.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <functional>

class QLabel;
class QMainWindow;
class TFForw;

class QtHost : public ferrolyt::Host {
public:
    QtHost();
    ~QtHost() override;

    // The window that owns the boxes, the caption and the status panels
    // (panel i is statusPanels[i]). Either may be left unattached: the boxes
    // then have no parent and captions and status texts go nowhere.
    void AttachWindow(QMainWindow* window, const QList<QLabel*>& statusPanels);

    int ShowWarning(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void SetStatusText(int panel, const std::string& text) override;
    void ProcessMessages() override;
    void SetCaption(const std::string& text) override;
    char DecimalSeparator() override;

    // The main window's grids, edits, actions and task boxes; nothing
    // happens (and the defaults answer) while no main window is attached.
    void ShowInGrid(const ferrolyt::TThSys& system) override;
    bool EditHasFocus(InputEdit edit) override;
    std::string EditText(InputEdit edit) override;
    void SetEditText(InputEdit edit, const std::string& text) override;
    void SetMaterialName(int row, const std::string& name) override;
    void SetElementSymbol(int row, const std::string& text) override;
    void ClearResults(bool keepMaterialAmounts, bool keepAlternatives, int firstColumn) override;
    void SetActionEnabled(const std::string& action, bool enabled) override;
    void ClearTaskBox() override;
    void AddTaskBoxItem(const std::string& name) override;
    void SelectTaskBoxItem(int index) override;
    void ShowTaskFiles(const std::vector<std::string>& names, int selected) override;
    std::string AskProjectSaveName(const std::string& fileName, const std::string& folder) override;
    void MeltCurrentTask() override;

    // One box as it would be shown.
    struct Message {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };
    // Receives each box in place of showing it and returns the button the
    // user would press. An empty hook (the default) shows the boxes.
    using MessageHook = std::function<QMessageBox::StandardButton(const Message&)>;
    static void SetMessageHook(MessageHook hook);

private:
    QMessageBox::StandardButton Box(QMessageBox::Icon icon, const std::string& text,
                                    QMessageBox::StandardButtons buttons);

    TFForw* Main() const;

    ferrolyt::Host* previous_ = nullptr;
    QPointer<QMainWindow> window_;
    QList<QPointer<QLabel>> panels_;
};
