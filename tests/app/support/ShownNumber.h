#pragma once
// Numbers read from the screen as the program reads them: a decimal point
// or the user's decimal comma.

#include "ResultDisplay.h"
#include "Utils.h"

#include <QString>

#include <cmath>

// NaN when the text is no number.
inline double ShownNumber(const QString& text)
{
    long double v = 0;
    return ferrolyt::ReadShownNumber(text.toStdString(), v) ? static_cast<double>(v) : std::nan("");
}

// A number written with '.', as the screen shows it.
inline QString OnScreen(QString pointText)
{
    return pointText.replace('.', QChar(ferrolyt::DisplayDecimalSeparator));
}
