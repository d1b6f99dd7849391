#pragma once
// A table model over one result grid's cell texts. Row 0 (headers) and column 0
// (orders) are the grid's fixed cells and are shaded like headers.

#include <QAbstractTableModel>

#include "display/results_table.h"

namespace waveharm {

class ResultsTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ResultsTableModel(QObject* parent = nullptr);

    /// Replaces the whole grid (rows, columns and texts).
    void setGrid(TableGrid grid);
    const TableGrid& grid() const { return m_grid; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    TableGrid m_grid;
};

}  // namespace waveharm
