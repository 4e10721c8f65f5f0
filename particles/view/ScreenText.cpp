#include "ScreenText.h"

#include <QLocale>

namespace ferrolyt::particles {

QString ScreenText(const std::string& text)
{
    QString shown = QString::fromStdString(text);
    const QString point = QLocale().decimalPoint();
    if (point == QLatin1String("."))
        return shown;
    for (qsizetype k = shown.size() - 2; k >= 0; --k)
        if (shown[k] == QLatin1Char('.') && shown[k + 1].isDigit())
            shown.replace(k, 1, point);
    return shown;
}

} // namespace ferrolyt::particles
