#include "CutTextTips.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

#include <algorithm>

namespace ferrolyt {

namespace {

// The width a cell's rectangle needs to draw its text whole: the item
// delegate keeps a margin on each side, and the text is laid out at
// fractional widths that the integer advance may round down.
int CellRoom(const QAbstractItemView& view, const QModelIndex& index, const QString& text)
{
    const QVariant font = index.data(Qt::FontRole);
    const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : view.font());
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return metrics.horizontalAdvance(text) + 2 * margin + 2;
}

} // namespace

bool CellTextIsCut(const QAbstractItemView& view, const QModelIndex& index)
{
    if (!index.isValid())
        return false;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return false;
    return CellRoom(view, index, text) > view.visualRect(index).width();
}

QString ToolTipAt(const QAbstractItemView& view, const QModelIndex& index)
{
    const QString own = index.data(Qt::ToolTipRole).toString();
    if (!own.isEmpty())
        return own;
    return CellTextIsCut(view, index) ? index.data(Qt::DisplayRole).toString() : QString();
}

namespace {

class TCutTextTips : public QObject {
public:
    explicit TCutTextTips(QAbstractItemView& view) : QObject(&view), view_(view) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = view_.indexAt(help->pos());
        const QString tip = ToolTipAt(view_, index);
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, view_.viewport(), view_.visualRect(index));
        return true;
    }

private:
    QAbstractItemView& view_;
};

} // namespace

int FittingColumnWidth(const QTableView& view, int column)
{
    const QAbstractItemModel* model = view.model();
    if (!model)
        return 0;
    int widest = view.horizontalHeader()->sectionSizeHint(column);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, column);
        const QString text = index.data(Qt::DisplayRole).toString();
        if (text.isEmpty())
            continue;
        // The column holds the grid line besides the cell's rectangle.
        widest = std::max(widest, CellRoom(view, index, text) + (view.showGrid() ? 1 : 0));
    }
    return widest;
}

void ShowCutTextsAsToolTips(QAbstractItemView& view)
{
    view.viewport()->installEventFilter(new TCutTextTips(view));
}

} // namespace ferrolyt
