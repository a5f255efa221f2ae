#include "query/ui/result_model.h"

#include <QRegularExpression>

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
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != SortRole))
        return {};
    const auto& row = table_.rows[static_cast<size_t>(index.row())];
    const size_t column = static_cast<size_t>(index.column());
    const QString text = column < row.size() ? QString::fromStdString(row[column]) : QString();
    if (role != SortRole)
        return text;
    bool number = false;
    const double value = text.toDouble(&number);
    return number ? QVariant(value) : QVariant(text.toLower());
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (section < 0 || section >= table_.fieldCount())
        return {};
    const QString name = QString::fromStdString(table_.fields[static_cast<size_t>(section)]);
    if (role == Qt::ToolTipRole)
        return name;
    static const QRegularExpression percent("^Percent(\\d+)To(\\d+)$");
    if (const auto match = percent.match(name); match.hasMatch())
        return QString("Aggregate % (sem. %1 to %2)").arg(match.captured(1), match.captured(2));
    if (name == "CET")
        return QString("CET Rank");
    return name;
}

}  // namespace kyt
