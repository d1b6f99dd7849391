#pragma once
// The analysis window's result grids: a table model over one grid's cell texts whose
// fixed row 0 (headers) and column 0 (orders and the 総合/実効値/全歪 captions) are the
// view's header sections, so that they stay in place while the values scroll, and a
// view that shows the grid's corner cell ("次数") over its corner.

#include <QAbstractTableModel>
#include <QTableView>

#include "display/results_table.h"

class QLabel;

namespace waveharm {

class ResultsTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ResultsTableModel(QObject* parent = nullptr);

    /// Replaces the whole grid (rows, columns and texts).
    void setGrid(TableGrid grid);
    const TableGrid& grid() const { return m_grid; }

    /// The grid's value cells: rows 1.. and columns 1.. of the grid.
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    /// Row 0 of the grid across the top, column 0 down the side.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    TableGrid m_grid;
};

class ResultsGridView : public QTableView {
    Q_OBJECT
  public:
    explicit ResultsGridView(QWidget* parent = nullptr);

    /// The grid's corner cell as shown over the headers' corner.

  protected:
    void updateGeometries() override;

  private:
    void showCorner();

    QLabel* m_corner = nullptr;
};

}  // namespace waveharm
