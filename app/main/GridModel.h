#pragma once
// A table view's model over a TStringGrid: row 0 of the grid becomes the
// horizontal header and column 0 the vertical header, so that the view shows
// the grid's cells from row 1 and column 1. Colours, alignment and hints come
// from a decorator that the window supplies per grid.

#include "ResultDisplay.h"

#include <QAbstractTableModel>

#include <functional>
#include <set>

class TGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Extra roles of a cell (grid column and row, both from 0 as in the
    // grid); an invalid QVariant leaves the view's default.
    using Decorator = std::function<QVariant(int col, int row, int role)>;
    // The vertical header's text of a grid row.
    using RowLabel = std::function<QString(int row)>;

    TGridModel(ferrolyt::TStringGrid& grid, QObject* parent = nullptr);

    void SetDecorator(Decorator d) { decorator_ = std::move(d); }
    void SetRowLabel(RowLabel l) { rowLabel_ = std::move(l); }
    // Grid columns the user may type into.
    void SetEditableColumns(std::set<int> cols) { editable_ = std::move(cols); }
    // Asked before a typed text is stored (grid column and row); false keeps
    // the cell as it was.
    using CellCheck = std::function<bool(int col, int row, const std::string& text)>;
    void SetCellCheck(CellCheck c) { check_ = std::move(c); }

    ferrolyt::TStringGrid& Grid() { return grid_; }

    // Tells the views about changes made to the grid since the last call.
    void Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // A text the user typed was stored into the cell (grid column and row),
    // however the editing ended.
    void CellEdited(int col, int row);

private:
    ferrolyt::TStringGrid& grid_;
    Decorator decorator_;
    RowLabel rowLabel_;
    std::set<int> editable_;
    CellCheck check_;
    int shownRows_ = 0;
    int shownCols_ = 0;
    uint64_t shownVersion_ = 0;
};
