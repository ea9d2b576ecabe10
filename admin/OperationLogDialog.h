#pragma once

#include <QDialog>

class Connection;
class Query;
class QueryModel;
class QPushButton;
class QTableView;

// The operation log, read-only: who did what, oldest first, read afresh at
// every showing, and its CSV export. Nothing here deletes a row.
class OperationLogDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit OperationLogDialog(Connection& connection);

    QTableView* logGrid;
    QPushButton* exportButton;
    QPushButton* exitButton;

public slots:
    void exportLog();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Connection& m_connection;
    Query* m_logQuery;
    QueryModel* m_logModel;
};
