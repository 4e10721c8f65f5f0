#pragma once
// The main window. It reads the settings file the first time it is shown
// and writes the settings back when it closes.

#include <QList>
#include <QMainWindow>

class QLabel;
class QStatusBar;

class TFForw : public QMainWindow {
    Q_OBJECT

public:
    explicit TFForw(QWidget* parent = nullptr);

    // Panels of the status bar SBar: 0 iterations, 1 computing time, 2 Mu/RT,
    // 3 composition unit, 4 materials file, 5 heat effect, 6 solver method,
    // 7 Cp, 8 Kp.
    static constexpr int StatusPanelCount = 9;
    QStatusBar* SBar = nullptr;
    QList<QLabel*> SBarPanels;

    // The first-show steps have run.
    bool StartupDone() const { return startupDone_; }

    // Captions and hints.
    void FormCreate();
    // The first showing's start-up steps; later showings do nothing.
    void FormShow();
    // Whether the window may close: not while a calculation runs (the user
    // is asked whether to stop it); otherwise the settings are written.
    bool FormCloseQuery();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool startupDone_ = false;
};
