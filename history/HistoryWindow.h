#pragma once

#include "history/SurgeHistory.h"

#include <QDialog>

class Connection;
class Query;
class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

// 浪涌记录: the surges of one device or all over a day, week, month, year or
// custom days, as a bar chart per bucket, the latest events and the totals
// per device beside the surges of the last 30 days and the remaining life;
// exports the period's events to CSV. Reads through its own query; shows
// the file as it is whenever it is shown or asked again.
class HistoryWindow final : public QDialog
{
    Q_OBJECT
public:
    // The events grid shows at most this many, the newest; the export has all.
    static constexpr int kShownEvents = 1000;

    explicit HistoryWindow(Connection& connection, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    QComboBox* deviceCombo;
    QComboBox* spanCombo;
    QDateEdit* firstDayEdit;
    QDateEdit* lastDayEdit;
    QPushButton* queryButton;
    QPushButton* exportButton;
    QLabel* summaryLabel;
    QChartView* chartView;
    QTableWidget* eventGrid;
    QTableWidget* totalsGrid;

    SurgeHistory::Period shownPeriod() const { return m_period; }
    int shownDevice() const;

public slots:
    // Reads the devices, then shows the period picked.
    void reload();
    void showPeriod();
    // Asks for a file and writes the period's events to it.
    void exportEvents();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillDevices();
    void showChart(const QVector<SurgeHistory::Bar>& bars);
    void showTotals();

    Connection& m_connection;
    Query* m_query;
    SurgeHistory::Period m_period;
};
