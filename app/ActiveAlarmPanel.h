#pragma once

#include "store/Query.h"

#include <QSet>
#include <QWidget>

class Connection;
class QPushButton;
class QTableView;
class QueryModel;

// The alarms that are active or unacknowledged, newest first with the time
// they were raised, and 确认 (the picked one) and 全部确认 (all). It reads
// them through its own query; acknowledging is asked of the station by
// whoever takes the two requests.
class ActiveAlarmPanel final : public QWidget
{
    Q_OBJECT
public:
    ActiveAlarmPanel(Connection& connection, QWidget* parent);

    QPushButton* acknowledgeButton;
    QPushButton* acknowledgeAllButton;
    QTableView* activeAlarmGrid;

    // Reads the list again; throws AppError.
    void reload();
    int unacknowledgedCount() const;
    // Addresses of the devices with an unacknowledged alarm.
    QSet<int> unacknowledgedDevices() const;

signals:
    void acknowledgeRequested(int deviceId, const QString& nodeName);
    void acknowledgeAllRequested();

private:
    bool unacknowledgedAt(int row) const;

    Query m_query;
    QueryModel* m_model;
};
