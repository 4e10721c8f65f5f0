// Every window test runs with the program's locale rules, set as soon as
// the test's application object exists.

#include "ScreenLocale.h"

#include <QCoreApplication>

namespace {

void UseTheProgramsLocaleRules() { ferrolyt::UseLocaleOnScreenOnly(); }

} // namespace

Q_COREAPP_STARTUP_FUNCTION(UseTheProgramsLocaleRules)
