#include "ui/results_table_model.h"

#include <QBrush>
#include <QColor>

namespace waveharm {

ResultsTableModel::ResultsTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultsTableModel::setGrid(TableGrid grid) {
    beginResetModel();
    m_grid = std::move(grid);
    endResetModel();
}

int ResultsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.rows();
}

int ResultsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.columns();
}

QVariant ResultsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_grid.rows() || index.column() >= m_grid.columns()) {
        return {};
    }
    const bool fixed = index.row() == 0 || index.column() == 0;
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(m_grid.at(index.row(), index.column()));
        case Qt::BackgroundRole:
            return fixed ? QBrush(QColor(212, 208, 200)) : QVariant();
        case Qt::TextAlignmentRole:
            // Headers and order labels centred; values right-aligned so the decimals line up.
            return fixed ? int(Qt::AlignCenter) : int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
    }
}

}  // namespace waveharm
