#pragma once

#include "monitor/BusCounters.h"
#include "store/AlarmStateTable.h"
#include "store/PollStepResult.h"
#include "store/StationState.h"

#include <QObject>
#include <QVector>
#include <memory>
#include <optional>

class AlarmStates;
class Connection;
class FieldBus;
class PollCycle;
class PollEvents;
class Query;

// The part of the station that waits: the poll cycle, its reads on the serial
// link and its writes through a connection of its own to the same file. It
// lives on the station's thread; every call below runs there, in the order
// the station asked, and answers by signal.
class StationWorker final : public QObject
{
    Q_OBJECT
public:
    StationWorker(QString fileName, FieldBus* bus, PollEvents* events);
    ~StationWorker() override;

    void setBus(FieldBus* bus);
    // Reopens the scope on the selection (the system, a device or a node),
    // standing on its first row.
    void openScope(const Selection& selection);
    // One poll tick on the port.
    void step(int port);
    // Monitoring paused: surges seen next may have come at any time since.
    void pauseReadings();
    // Forgets the bus counters; countersCleared answers.
    void resetCounters();
    // Acknowledges the alarm of key, or every alarm without one, for user.
    void acknowledge(const std::optional<AlarmKey>& key, const QString& user);
    // Closes the port (none when 0) and the connection, before the thread ends.
    void finish(int openPort);

signals:
    void stepDone(const PollStepResult& result);
    // The node_record row ids of the scope opened, or why it could not be.
    void scopeOpened(const QVector<qint64>& rowIds, const QString& error);
    // A device's bus counters after a read, a copy for the window's side.
    void countersChanged(const DeviceCounters& counters);
    void countersCleared();
    // Of the alarm states, after each committed change; once with no changes
    // when they are first read, so that listeners start from the file.
    void alarmStatesChanged(const QVector<AlarmChange>& changes, const QVector<AlarmEntry>& active);
    void alarmRaised(int deviceId, const QString& nodeName, const QString& text);
    void acknowledgeFailed(const QString& text);
    // Every acknowledgement asked is answered so, after any failure was told.
    void acknowledged();

private:
    void ensureOpen();

    const QString m_fileName;
    FieldBus* m_bus;
    PollEvents* m_events;
    BusCounters* m_counters; // a child: it moves to the thread with the worker
    // Only the confirmation counters count here: the window keeps the pause
    // between passes and asks for a step only once it is over.
    LineSettings m_line;
    PollState m_poll;
    qint64 m_seenDataVersion = -1; // data_version at the last refreshing step
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<Query> m_scope;
    std::unique_ptr<AlarmStates> m_alarms; // written in the poll step's transactions
    std::unique_ptr<PollCycle> m_cycle;
};
