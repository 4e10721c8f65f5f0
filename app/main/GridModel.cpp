#include "GridModel.h"

TGridModel::TGridModel(ferrolyt::TStringGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid)
{
    shownRows_ = grid_.RowCount() - 1;
    shownCols_ = grid_.ColCount() - 1;
    shownVersion_ = grid_.Version();
}

void TGridModel::Refresh()
{
    const int rows = grid_.RowCount() - 1;
    const int cols = grid_.ColCount() - 1;
    if (rows != shownRows_ || cols != shownCols_) {
        beginResetModel();
        shownRows_ = rows;
        shownCols_ = cols;
        shownVersion_ = grid_.Version();
        endResetModel();
        return;
    }
    // Colours depend on the model state as well as on the texts: repaint all.
    shownVersion_ = grid_.Version();
    if (rows > 0 && cols > 0)
        emit dataChanged(index(0, 0), index(rows - 1, cols - 1));
    emit headerDataChanged(Qt::Horizontal, 0, cols - 1);
    if (rows > 0)
        emit headerDataChanged(Qt::Vertical, 0, rows - 1);
}

int TGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int TGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownCols_; }

QVariant TGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int col = index.column() + 1;
    const int row = index.row() + 1;
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return QString::fromStdString(grid_.Cell(col, row));
    if (decorator_)
        return decorator_(col, row, role);
    return {};
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole)
            return QString::fromStdString(grid_.Cell(section + 1, 0));
        if (decorator_)
            return decorator_(section + 1, 0, role);
        return {};
    }
    if (role == Qt::DisplayRole)
        return rowLabel_ ? rowLabel_(section + 1) : QString();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignHCenter | Qt::AlignTop);
    return {};
}

bool TGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !editable_.count(index.column() + 1))
        return false;
    const std::string text = value.toString().toStdString();
    if (check_ && !check_(index.column() + 1, index.row() + 1, text))
        return false;
    grid_.SetCell(index.column() + 1, index.row() + 1, text);
    shownVersion_ = grid_.Version();
    emit dataChanged(index, index);
    emit CellEdited(index.column() + 1, index.row() + 1);
    return true;
}

Qt::ItemFlags TGridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && editable_.count(index.column() + 1))
        f |= Qt::ItemIsEditable;
    return f;
}
