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
    // Headings read as words ("Aggregate % (sem. 1 to 6)" for Percent1To6); the column's own name is
    // its tool tip, and what saving and the options window use.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The value's sort key: numbers as numbers, text without letter case.
    static constexpr int SortRole = Qt::UserRole + 1;

private:
    query::ResultTable table_;
};

}  // namespace kyt
