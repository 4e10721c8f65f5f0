#include "ScreenLocale.h"

#include "ResultDisplay.h"
#include "Utils.h"

#include <QLocale>

namespace ferrolyt {

void UseLocaleOnScreenOnly()
{
    KeepCNumericLocale();
    const QString point = QLocale().decimalPoint();
    DisplayDecimalSeparator = point.size() == 1 && point[0].unicode() < 128 ? char(point[0].unicode()) : '.';
}

} // namespace ferrolyt
