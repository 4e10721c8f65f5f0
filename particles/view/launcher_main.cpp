// The particle demonstration on its own: the control window, with the
// parameter files and textures in the folder "DezOzevev" next to the program.

#include "MaxF.h"
#include "ProgramDir.h"
#include "ScreenFit.h"
#include "Utils.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The parameter files and tables are data: '.' whatever the desktop's locale.
    ferrolyt::KeepCNumericLocale();
    ferrolyt::KeepWindowsOnScreen();
    ferrolyt::SetProgramDir(QCoreApplication::applicationDirPath().toStdString());
    ferrolyt::particles::TMaxF window;
    window.show();
    return app.exec();
}
