// Every window test runs with the program's start-up rules (numbers on
// screen in the desktop's locale, windows kept inside the screen), set as
// soon as the test's application object exists.

#include "ScreenFit.h"
#include "ScreenLocale.h"

#include <QCoreApplication>

namespace {

void UseTheProgramsStartUpRules()
{
    ferrolyt::UseLocaleOnScreenOnly();
    ferrolyt::KeepWindowsOnScreen();
}

// The offscreen platform's own screen is 800×600, smaller than the windows
// were laid out for: the tests get a desktop's 1920×1080 instead. A test
// that wants another screen names it before its application object exists.
[[maybe_unused]] const bool desktopScreen = [] {
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" FERROLYT_FIXTURES "/screens/desktop.json");
    return true;
}();

} // namespace

Q_COREAPP_STARTUP_FUNCTION(UseTheProgramsStartUpRules)
