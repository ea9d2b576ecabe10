#pragma once

#include <QAbstractTableModel>

class QItemSelectionModel;
class Query;

// Read-only grid model over a query: every column under its column name,
// refreshed whenever the query is reopened or moves. Grids that show the
// query share selection(), whose current row is the query's current row:
// moving in a grid moves the query and moving the query moves the grids.
class QueryModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit QueryModel(Query& query, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QItemSelectionModel* selection() const { return m_selection; }

private:
    void refresh();
    void followQuery();
    void moveQuery(const QModelIndex& current);

    Query& m_query;
    int m_rows = 0;
    int m_columns = 0;
    QItemSelectionModel* m_selection;
};
