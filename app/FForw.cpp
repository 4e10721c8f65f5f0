#include "FForw.h"

#include "ProgramDir.h"
#include "RunState.h"
#include "Settings.h"
#include "Utils.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>

using namespace ferrolyt;

TFForw::TFForw(QWidget* parent) : QMainWindow(parent)
{
    SBar = new QStatusBar(this);
    SBar->setObjectName("SBar");
    for (int i = 0; i < StatusPanelCount; ++i) {
        auto* panel = new QLabel(SBar);
        panel->setObjectName(QStringLiteral("SBarPanel%1").arg(i));
        SBar->addWidget(panel);
        SBarPanels.append(panel);
    }
    setStatusBar(SBar);
    FormCreate();
}

void TFForw::FormCreate()
{
    setWindowTitle(QStringLiteral("Ferrolyt"));
}

void TFForw::FormShow()
{
    if (startupDone_)
        return;
    startupDone_ = true;
    ReadSettingsFile(ProgramFile(SettingsFileName));
}

bool TFForw::FormCloseQuery()
{
    if (CalcBusy) { // a running calculation still uses the model
        AskStopCalculation();
        return false;
    }
    const std::string path = ProgramFile(SettingsFileName);
    if (!WriteSettingsFile(path))
        ShowWarning("Неможливо зберегти файл " + path);
    return true;
}

void TFForw::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void TFForw::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}
