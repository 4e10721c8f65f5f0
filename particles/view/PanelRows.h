#pragma once
// The panels of a status bar in rows: each panel at least as wide as its
// text, a row's spare width shared out by the panels' weights, and a panel
// that no longer fits starts the next row. A narrow window therefore shows
// every text whole, in a second row, instead of cutting it.

#include <QLayout>

#include <utility>
#include <vector>

namespace ferrolyt::particles {

class TPanelRows : public QLayout {
public:
    TPanelRows(QWidget* parent, int rowHeight);
    ~TPanelRows() override;

    // The panel and its share of a row's spare width.
    void AddPanel(QWidget* panel, int weight);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    // A panel's new text may change the rows: the bar's height follows.
    void invalidate() override;

private:
    // Lays the panels out in the rectangle (when `apply`) and gives the
    // height they need at its width.
    int Arrange(const QRect& rect, bool apply) const;

    int rowHeight_;
    std::vector<std::pair<QLayoutItem*, int>> items_;
};

} // namespace ferrolyt::particles
