#include "FForw.h"
#include "Installation.h"
#include "KeyStore.h"
#include "ProgramDir.h"
#include "QtHost.h"
#include "ScreenFit.h"
#include "ScreenLocale.h"
#include "QtTranslation.h"
#include "Settings.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    ferrolyt::SetOptionDefaults();

    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string folderValue;
    ferrolyt::ReadRegistryString(ferrolyt::HKEY_LOCAL_MACHINE, ferrolyt::InstallKey, "Folder", folderValue);

    QApplication app(argc, argv);
    ferrolyt::UseLocaleOnScreenOnly();
    ferrolyt::KeepWindowsOnScreen();
    QApplication::setApplicationName("Ferrolyt");
    InstallQtTranslation(app);
    const std::string applications =
        QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation).toStdString();
    const std::string startMenuDir = ferrolyt::StartMenuFolder(applications, folderValue);

    ferrolyt::SetProgramDir(QCoreApplication::applicationDirPath().toStdString());
    QDir::setCurrent(QString::fromStdString(ferrolyt::ProgramDir()));
    // There is no system folder here: the uninstaller lies beside the program.
    const std::string systemDir = ferrolyt::ProgramDir();

    if (ferrolyt::IsInstallationMode(arguments)) {
        ferrolyt::RunInstallation(ferrolyt::ProgramDir(), systemDir, startMenuDir,
                                  QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString(),
                                  [](const std::string& folder) {
                                      QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
                                  });
        return 0;
    }

    QtHost host;
    TFForw window;
    host.AttachWindow(&window, window.SBarPanels);
    window.show();
    return app.exec();
}
