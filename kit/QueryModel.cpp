#include "kit/QueryModel.h"

#include "store/Query.h"

#include <QItemSelectionModel>

QueryModel::QueryModel(Query& query, QObject* parent)
    : QAbstractTableModel(parent), m_query(query), m_selection(new QItemSelectionModel(this, this))
{
    connect(&m_query, &Query::changed, this, &QueryModel::refresh);
    connect(&m_query, &Query::rowInserted, this, [this](int position) {
        beginInsertRows(QModelIndex(), position, position);
        ++m_rows;
        endInsertRows();
        followQuery();
    });
    connect(m_selection, &QItemSelectionModel::currentRowChanged, this, &QueryModel::moveQuery);
    refresh();
}

void QueryModel::moveQuery(const QModelIndex& current)
{
    if (current.isValid() && m_query.isActive() && m_query.recNo() != current.row())
        m_query.setRecNo(current.row());
}

void QueryModel::followQuery()
{
    if (!m_query.isActive() || m_query.eof()) {
        m_selection->clearCurrentIndex();
        return;
    }
    const QModelIndex row = index(m_query.recNo(), 0);
    if (m_selection->currentIndex().row() != row.row())
        m_selection->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void QueryModel::refresh()
{
    const int rows = m_query.isActive() ? m_query.recordCount() : 0;
    const int columns = m_query.isActive() ? int(m_query.columnNames().size()) : 0;
    if (rows == m_rows && columns == m_columns) {
        // Same shape (a move or a post): repaint the values only.
        if (rows > 0 && columns > 0)
            emit dataChanged(index(0, 0), index(rows - 1, columns - 1));
        followQuery();
        return;
    }
    beginResetModel();
    m_rows = rows;
    m_columns = columns;
    endResetModel();
    followQuery();
}

int QueryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int QueryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant QueryModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    return m_query.value(index.row(), index.column());
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return m_query.columnNames().value(section);
    return QVariant();
}

Qt::ItemFlags QueryModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
