#pragma once
// What the layout tests look for in a window: texts cut by their cells,
// buttons or edits, and the dark pixels that tell a drawn text.

#include "FForw.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QStringList>
#include <QTableView>

// The buttons of `w` whose texts are cut, and the edits too narrow for `sample`.
inline QStringList CutControls(const QWidget& w, const QString& sample)
{
    QStringList cut;
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        if (b->isVisible() && !qobject_cast<const QTableView*>(b->parent()) && b->width() < b->sizeHint().width())
            cut << b->objectName() + " \"" + b->text() + "\"";
    for (QLineEdit* e : w.findChildren<QLineEdit*>())
        if (e->isVisible() && e->fontMetrics().horizontalAdvance(sample) > e->contentsRect().width() - 8)
            cut << QString("%1 %2 px").arg(e->objectName()).arg(e->width());
    return cut;
}

// The cells of `view` whose text does not fit their column, as
// "grid column:text".
inline QStringList CutCells(const QTableView& view)
{
    QStringList cut;
    const QAbstractItemModel& m = *view.model();
    const QFontMetrics fm(view.font());
    for (int c = 0; c < m.columnCount(); ++c) {
        for (int r = 0; r < m.rowCount(); ++r) {
            const QString text = m.index(r, c).data().toString();
            // The cell keeps a few pixels of margin on each side.
            if (!text.isEmpty() && fm.horizontalAdvance(text) + 6 > view.columnWidth(c))
                cut << QString("%1:%2").arg(c + 1).arg(text);
        }
        const QString header = m.headerData(c, Qt::Horizontal).toString();
        if (fm.horizontalAdvance(header) + 6 > view.columnWidth(c))
            cut << QString("%1:%2").arg(c + 1).arg(header);
    }
    return cut;
}

// Pixels of a widget's picture dark enough to be text.
inline int DarkPixels(QWidget& w)
{
    const QImage image = w.grab().toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    return dark;
}


// What the main window shows cut: a grid value narrower than its text, a
// column of the materials or gas grid out of view, an edit too narrow.
inline QStringList CutInMainWindow(const TFForw& w)
{
    QStringList cut;
    for (const QTableView* grid : {w.MatGrid, w.ElGrid, w.GasGrid})
        for (const QString& cell : CutCells(*grid))
            cut << grid->objectName() + " " + cell;
    for (const QTableView* grid : {w.MatGrid, w.GasGrid}) {
        const int last = grid->model()->columnCount() - 1;
        const int right = grid->columnViewportPosition(last) + grid->columnWidth(last);
        if (right > grid->viewport()->width())
            cut << QString("%1 out of view: %2 > %3 px").arg(grid->objectName()).arg(right).arg(grid->viewport()->width());
    }
    for (const QLineEdit* e : w.findChildren<QLineEdit*>()) {
        if (e->window() != &w || !e->isVisible() || e->text().isEmpty())
            continue;
        if (e->fontMetrics().horizontalAdvance(e->text()) > e->contentsRect().width() - 8)
            cut << e->objectName() + ": " + e->text();
    }
    return cut;
}
