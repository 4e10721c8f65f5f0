#pragma once
// The chart windows' shared pieces: the chart view filling its window, its
// context menu, and charts saved as bitmap files (the chart's widget grabbed
// at its size and written as a 24-bit BMP).

#include <QString>

class QChart;
class QChartView;
class QMenu;
class QWidget;

// A view "Chart1" of the chart, antialiased, laid out to fill the window.
QChartView* AddChartView(QWidget& window, QChart* chart);

// Pops the menu up where the widget's context menu is asked for.
void PopupOnContextMenu(QWidget* widget, QMenu* menu);

// Asks for an image file name (window title "Ferrolyt", the label, the
// initial text); empty when cancelled or left blank, trimmed otherwise.
QString AskImageFileName(QWidget* parent, const QString& label, const QString& initial);

// The name with its extension replaced by ".bmp" (added when it has none).
QString WithBmpExtension(const QString& name);

// Writes the widget's image to the file; false when the file cannot be
// written.
bool SaveWidgetBmp(QWidget& widget, const QString& fileName);
