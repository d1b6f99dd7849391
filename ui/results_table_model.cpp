#include "ui/results_table_model.h"

#include <QHeaderView>
#include <QLabel>

namespace waveharm {

ResultsTableModel::ResultsTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultsTableModel::setGrid(TableGrid grid) {
    beginResetModel();
    m_grid = std::move(grid);
    endResetModel();
}

int ResultsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, m_grid.rows() - 1);
}

int ResultsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, m_grid.columns() - 1);
}

QVariant ResultsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(m_grid.at(index.row() + 1, index.column() + 1));
        case Qt::TextAlignmentRole:
            // Values right-aligned so that the decimals line up.
            return int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant ResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Horizontal) {
        if (section >= columnCount() || m_grid.rows() == 0) return {};
        return QString::fromStdString(m_grid.at(0, section + 1));
    }
    if (section >= rowCount() || m_grid.columns() == 0) return {};
    return QString::fromStdString(m_grid.at(section + 1, 0));
}

ResultsGridView::ResultsGridView(QWidget* parent) : QTableView(parent) {
    setCornerButtonEnabled(false);
    m_corner = new QLabel(this);
    m_corner->setObjectName("Corner");
    m_corner->setAlignment(Qt::AlignCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
}

void ResultsGridView::updateGeometries() {
    QTableView::updateGeometries();
    showCorner();
}

void ResultsGridView::showCorner() {
    const auto* m = qobject_cast<const ResultsTableModel*>(model());
    const bool has = m && m->grid().rows() > 0 && m->grid().columns() > 0;
    m_corner->setText(has ? QString::fromStdString(m->grid().at(0, 0)) : QString());
    m_corner->setFont(font());
    // Over the headers' corner, where the row captions meet the column headers.
    m_corner->setGeometry(verticalHeader()->x(), horizontalHeader()->y(), verticalHeader()->width(),
                          horizontalHeader()->height());
    m_corner->raise();
}

}  // namespace waveharm
