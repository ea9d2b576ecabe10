#pragma once

#include "store/AlarmStateTable.h"
#include "store/Query.h"

#include <QSet>
#include <QWidget>
#include <optional>

class Connection;
class QPushButton;
class QTableView;
class QueryModel;

// The alarms that are active or unacknowledged, newest first with the time
// they were raised, and 确认 (the picked one, nothing when none is picked) and
// 全部确认 (all listed). The newest stays in view. It reads them through its
// own query; acknowledging is asked of the station by whoever takes the two
// requests, which name the alarms exactly as listed.
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
    QVector<AlarmOccurrence> unacknowledged() const;

signals:
    void acknowledgeRequested(const AlarmOccurrence& occurrence);
    void acknowledgeAllRequested(const QVector<AlarmOccurrence>& listed);

private:
    bool unacknowledgedAt(int row) const;
    AlarmOccurrence occurrenceAt(int row) const;
    std::optional<AlarmOccurrence> picked() const;

    Query m_query;
    QueryModel* m_model;
};
