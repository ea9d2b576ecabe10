#pragma once

#include <QDialog>

class Query;
class QueryModel;

// Alarm record dialog; its commands arrive with the alarm administration work.
// Its grid shows the main window's alarm log query through the main window's
// grid model, so both grids show the same rows and the same current row.
class TForm7 final : public QDialog
{
    Q_OBJECT
public:
    TForm7(Query& alarmLog, QueryModel& DataSource1);
};
