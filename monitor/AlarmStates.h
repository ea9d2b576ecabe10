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
    // Takes in what the file holds now, after another connection changed it
    // (equipment deleted or moved ends its alarms there); nothing is written.
    void reload();

    // Whether the alarm is active (acknowledged or not).
    bool isRaised(const AlarmKey& key);
    int unacknowledgedCount();
    // The alarms not normal, newest first.
    QVector<AlarmEntry> active();

public slots:
    // Acknowledges those of the alarms shown that are still raised since the
    // same time, as the file holds them, recording user in the event rows; a
    // failure is told by acknowledgeFailed.
    void acknowledge(const QVector<AlarmOccurrence>& shown, const QString& user);

signals:
    // After each committed set of changes, with the alarms not normal afterwards.
    void changed(const QVector<AlarmChange>& changes, const QVector<AlarmEntry>& active);
    void unacknowledgedCountChanged(int count);
    // An alarm was raised anew: from normal, or back after it was acknowledged.
    // One that comes back before that is the same raising, told once.
    void alarmRaised(const AlarmEntry& entry);
    void acknowledgeFailed(const QString& text);

private:
    void load();
    // The changes that bring memory to what the file holds.
    QVector<AlarmChange> fileChanges(const QString& time);

    Connection& m_connection;
    QHash<AlarmKey, AlarmEntry> m_entries; // the alarms not normal
    bool m_loaded = false;
};
