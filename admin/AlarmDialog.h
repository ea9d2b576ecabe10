#pragma once

#include <QDialog>

class Connection;
class OperationLog;
class Query;
class QueryModel;
class QPushButton;
class QTableView;

// Alarm records: deletes the current record or all records of the alarm log,
// and exports the log to a CSV file.
// Its grid shows the main window's alarm log query through the main window's
// grid model, so both grids show the same rows and the same current row.
class AlarmDialog final : public QDialog
{
    Q_OBJECT
public:
    AlarmDialog(Connection& connection, Query& alarmLog, QueryModel& alarmLogModel, OperationLog& log);

    QTableView* recordGrid;
    QPushButton* deleteButton;    // delete the current record
    QPushButton* deleteAllButton; // delete all
    QPushButton* exitButton;      // exit
    QPushButton* exportButton;    // export the log to a file
    Query* deleteQuery;           // the single deletion

public slots:
    void deleteRecord();
    void deleteAll();
    void exitDialog();
    void exportLog();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Connection& m_connection;
    Query& m_alarmLog;
    OperationLog& m_log;
};
