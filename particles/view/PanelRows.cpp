#include "PanelRows.h"

#include <QWidget>
#include <QWidgetItem>

#include <algorithm>
#include <cstdint>

namespace ferrolyt::particles {

TPanelRows::TPanelRows(QWidget* parent, int rowHeight) : QLayout(parent), rowHeight_(rowHeight)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(2);
}

TPanelRows::~TPanelRows()
{
    for (auto& item : items_)
        delete item.first;
}

void TPanelRows::AddPanel(QWidget* panel, int weight)
{
    addChildWidget(panel);
    items_.emplace_back(new QWidgetItem(panel), std::max(weight, 1));
    invalidate();
}

void TPanelRows::addItem(QLayoutItem* item) { items_.emplace_back(item, 1); }

int TPanelRows::count() const { return int(items_.size()); }

QLayoutItem* TPanelRows::itemAt(int index) const
{
    return index >= 0 && index < count() ? items_[std::size_t(index)].first : nullptr;
}

QLayoutItem* TPanelRows::takeAt(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = items_[std::size_t(index)].first;
    items_.erase(items_.begin() + index);
    return item;
}

Qt::Orientations TPanelRows::expandingDirections() const { return Qt::Horizontal; }

bool TPanelRows::hasHeightForWidth() const { return true; }

int TPanelRows::heightForWidth(int width) const { return Arrange(QRect(0, 0, width, 0), false); }

QSize TPanelRows::sizeHint() const
{
    int width = 0;
    for (const auto& [item, weight] : items_)
        if (!item->isEmpty())
            width += item->sizeHint().width() + spacing();
    return {std::max(0, width - spacing()), rowHeight_};
}

QSize TPanelRows::minimumSize() const
{
    int width = 0;
    for (const auto& [item, weight] : items_)
        if (!item->isEmpty())
            width = std::max(width, item->sizeHint().width());
    return {width, rowHeight_};
}

void TPanelRows::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    Arrange(rect, true);
}

void TPanelRows::invalidate()
{
    QLayout::invalidate();
    if (QWidget* bar = parentWidget())
        bar->updateGeometry();
}

int TPanelRows::Arrange(const QRect& rect, bool apply) const
{
    const int gap = spacing();
    const int width = rect.width();
    int rows = 0;
    std::size_t first = 0;
    while (first < items_.size()) {
        // As many panels as fit at their texts' widths (one at least).
        int used = 0, weights = 0;
        std::size_t end = first;
        for (; end < items_.size(); ++end) {
            const auto& [item, weight] = items_[end];
            if (item->isEmpty())
                continue;
            const int w = item->sizeHint().width();
            if (used > 0 && used + gap + w > width)
                break;
            used += (used > 0 ? gap : 0) + w;
            weights += weight;
        }
        if (used == 0 && end == items_.size())
            break;  // only hidden panels are left
        if (apply) {
            const int spare = std::max(0, width - used);
            int x = rect.x(), given = 0, weightSoFar = 0;
            for (std::size_t k = first; k < end; ++k) {
                const auto& [item, weight] = items_[k];
                if (item->isEmpty())
                    continue;
                weightSoFar += weight;
                const int share = weights > 0 ? int(std::int64_t(spare) * weightSoFar / weights) - given : 0;
                given += share;
                const int w = item->sizeHint().width() + share;
                item->setGeometry(QRect(x, rect.y() + rows * rowHeight_, w, rowHeight_));
                x += w + gap;
            }
        }
        ++rows;
        first = end;
    }
    return std::max(rows, 1) * rowHeight_;
}

} // namespace ferrolyt::particles
