#include "FForw.h"
#include "ProgramDir.h"
#include "QtHost.h"
#include "Settings.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    ferrolyt::SetOptionDefaults();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ferrolyt");
    QtHost host;

    ferrolyt::SetProgramDir(QCoreApplication::applicationDirPath().toStdString());
    QDir::setCurrent(QString::fromStdString(ferrolyt::ProgramDir()));

    TFForw window;
    host.AttachWindow(&window, window.SBarPanels);
    window.show();
    return app.exec();
}
