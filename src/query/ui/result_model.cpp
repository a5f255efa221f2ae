#include "query/ui/result_model.h"

namespace kyt {

void ResultModel::setResult(query::ResultTable table)
{
    beginResetModel();
    table_ = std::move(table);
    endResetModel();
}

int ResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(table_.rows.size());
}

int ResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : table_.fieldCount();
}

QVariant ResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const auto& row = table_.rows[static_cast<size_t>(index.row())];
    const size_t column = static_cast<size_t>(index.column());
    return column < row.size() ? QString::fromStdString(row[column]) : QString();
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section >= 0 && section < table_.fieldCount()
               ? QString::fromStdString(table_.fields[static_cast<size_t>(section)])
               : QVariant();
}

}  // namespace kyt
