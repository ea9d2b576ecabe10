#pragma once

#include "store/AlarmStateTable.h"

#include <QHash>
#include <QObject>
#include <functional>
#include <optional>

class Connection;
class QDateTime;

// The states of every node alarm and every device's communication loss, as
// the poll step's readings and the operators' acknowledgements move them.
// Kept in memory as the file holds them, so that a step that changes nothing
// costs no statement; changes are taken in only once they are committed.
// Lives on the thread that runs the poll step; the window asks it to
// acknowledge and hears of changes only through its signals.
class AlarmStates final : public QObject
{
    Q_OBJECT
public:
    explicit AlarmStates(Connection& connection, QObject* parent = nullptr);

    // The state an alarm moves to when its condition is (still) present or
    // absent, and when it is acknowledged.
    static AlarmState afterCondition(AlarmState state, bool present);
    static AlarmState afterAcknowledge(AlarmState state);

    // The change a reading at time makes to the alarm, if any, not yet
    // written or taken in; a raised alarm gets text. Costs no more than a
    // lookup when nothing changes.
    std::optional<AlarmChange> judge(const AlarmKey& key, bool present, const QDateTime& time,
                                     const std::function<QString()>& text);
    // Writes the changes in the caller's transaction.
    void write(const QVector<AlarmChange>& changes);
    // Takes committed changes in and tells the listeners.
    void apply(const QVector<AlarmChange>& changes);

    int unacknowledgedCount();
    // The alarms not normal, newest first.
    QVector<AlarmEntry> active();

public slots:
    // Both record user in the event rows; a failure is told by acknowledgeFailed.
    void acknowledge(int deviceId, const QString& nodeName, const QString& user);
    void acknowledgeAll(const QString& user);

signals:
    // After each committed set of changes, with the alarms not normal afterwards.
    void changed(const QVector<AlarmChange>& changes, const QVector<AlarmEntry>& active);
    void unacknowledgedCountChanged(int count);
    // An alarm became active and unacknowledged (new, or back before it was acknowledged).
    void alarmRaised(int deviceId, const QString& nodeName, const QString& text);
    void acknowledgeFailed(const QString& text);

private:
    void load();
    void acknowledgeWhere(const std::function<bool(const AlarmKey&)>& picked, const QString& user);

    Connection& m_connection;
    QHash<AlarmKey, AlarmEntry> m_entries; // the alarms not normal
    bool m_loaded = false;
};
