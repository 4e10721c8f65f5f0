#pragma once
// The main window on a copy of the sample project in a temporary folder,
// with every message box and modal dialog answered by the test.

#include "FForw.h"
#include "ModalDialog.h"
#include "Model.h"
#include "ProgramDir.h"
#include "Project.h"
#include "QtHost.h"
#include "RunState.h"
#include "Settings.h"
#include "StateWait.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

// Copies the shipped sample project into `dir` and makes it the program's
// folder.
inline bool UseSampleCopy(const QTemporaryDir& dir)
{
    if (!dir.isValid())
        return false;
    for (const QString& f : QDir(FERROLYT_DATA).entryList(QDir::Files))
        if (!QFile::copy(QString(FERROLYT_DATA) + "/" + f, dir.filePath(f)))
            return false;
    ferrolyt::SetProgramDir(dir.path().toStdString());
    return true;
}

struct TAppFixture {
    QList<QtHost::Message> messages;
    QMessageBox::StandardButton answer = QMessageBox::No;
    // Stands in for the user in modal dialogs; a test without one fails
    // when a dialog comes up.
    std::function<int(QDialog&)> dialog;
    int dialogs = 0;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QtHost> host;
    std::unique_ptr<TFForw> w;

    QStringList Texts() const
    {
        QStringList t;
        for (const auto& m : messages)
            t << m.text;
        return t;
    }

    QString Path(const QString& name) const { return dir->filePath(name); }

    bool Start()
    {
        QtHost::SetMessageHook([this](const QtHost::Message& m) {
            messages.append(m);
            return m.buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
        });
        SetModalHook([this](QDialog& d) {
            ++dialogs;
            if (!dialog) {
                qWarning("unexpected dialog %s", qPrintable(d.objectName()));
                return int(QDialog::Rejected);
            }
            return dialog(d);
        });
        ferrolyt::ResetModel();
        ferrolyt::SetOptionDefaults();
        ferrolyt::ClearProjectState();
        dir = std::make_unique<QTemporaryDir>();
        if (!UseSampleCopy(*dir))
            return false;
        host = std::make_unique<QtHost>();
        w = std::make_unique<TFForw>();
        host->AttachWindow(w.get(), w->SBarPanels);
        w->show();
        return QTest::qWaitForWindowExposed(w.get()) && messages.isEmpty();
    }

    void Stop()
    {
        // A refusal told once the event loop is back comes to this test's
        // stand-in, not to the next test's.
        QCoreApplication::sendPostedEvents();
        ferrolyt::CalcBusy = false;
        dialog = nullptr;
        w->close();
        w.reset();
        host.reset();
        dir.reset();
        QtHost::SetMessageHook({});
        SetModalHook({});
        messages.clear();
        dialogs = 0;
        answer = QMessageBox::No;
    }
};
