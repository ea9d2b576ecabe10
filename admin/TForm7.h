#pragma once

#include <QDialog>

class Connection;
class Query;
class QueryModel;
class QPushButton;
class QTableView;

// Alarm records: deletes the current record or all records of the alarm log,
// and exports the log to a CSV file.
// Its grid shows the main window's alarm log query through the main window's
// grid model, so both grids show the same rows and the same current row.
class TForm7 final : public QDialog
{
    Q_OBJECT
public:
    TForm7(Connection& connection, Query& alarmLog, QueryModel& DataSource1);

    QTableView* DBGrid1;
    QPushButton* Button1; // delete the current record
    QPushButton* Button2; // delete all
    QPushButton* Button3; // exit
    QPushButton* Button4; // export the log to a file
    Query* ADOQuery1;     // the single deletion

public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Connection& m_connection;
    Query& m_alarmLog;
};
