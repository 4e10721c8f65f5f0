#pragma once
// Charts saved as bitmap files: the chart's widget grabbed at its size and
// written as a 24-bit BMP.

#include <QString>

class QWidget;

// The name with its extension replaced by ".bmp" (added when it has none).
QString WithBmpExtension(const QString& name);

// Writes the widget's image to the file; false when the file cannot be
// written.
bool SaveWidgetBmp(QWidget& widget, const QString& fileName);
