#pragma once
// The results grid's model: a query result held in memory, read-only, every value as text.

#include <QAbstractTableModel>

#include "query/retrieve.h"

namespace kyt {

class ResultModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setResult(query::ResultTable table);
    const query::ResultTable& result() const { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    query::ResultTable table_;
};

}  // namespace kyt
