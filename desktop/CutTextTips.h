#pragma once
// Texts a view cuts, shown whole: where the mouse rests on a cell of an
// item view whose text is wider than the cell, its tooltip is the whole
// text. Cells whose model gives a tooltip of its own keep it.

class QAbstractItemView;
class QModelIndex;
class QString;
class QTableView;

namespace ferrolyt {

// True when the view draws the cell's text cut (an ellipsis in its place).
bool CellTextIsCut(const QAbstractItemView& view, const QModelIndex& index);

// From now on the view shows each cut cell's whole text as its tooltip.
void ShowCutTextsAsToolTips(QAbstractItemView& view);

// The tooltip of a cell: the cell's own, else its whole text when the view
// cuts it, else nothing.
QString ToolTipAt(const QAbstractItemView& view, const QModelIndex& index);

// The width at which the column shows each of its texts and its header
// whole.
int FittingColumnWidth(const QTableView& view, int column);

} // namespace ferrolyt
