#pragma once

#include "monitor/BusCounters.h"
#include "store/AlarmStateTable.h"
#include "store/PollStepResult.h"
#include "store/StationState.h"

#include <QObject>
#include <QVector>
#include <memory>

class AlarmStates;
class Connection;
class FieldBus;
class PollCycle;
class PollEvents;
class PollPacer;
class Query;
class StepQueue;

// The part of the station that waits: the pace of polling, the poll cycle,
// its reads on the serial link and its writes through a connection of its own
// to the same file. It lives on the station's thread; every call below runs
// there, in the order the station asked, and answers by signal. The steps go
// into the station's StepQueue, for the window to show when it can.
class StationWorker final : public QObject
{
    Q_OBJECT
public:
    StationWorker(QString fileName, FieldBus* bus, PollEvents* events, StepQueue& steps);
    ~StationWorker() override;

    void setBus(FieldBus* bus);
    // Opens the connection and reads the alarm states, which alarmStatesChanged
    // tells, before monitoring needs them; a failure is told by the next step.
    void open();
    // Reopens the scope on the selection (the system, a device or a node),
    // standing on its first row.
    void openScope(const Selection& selection);
    // Monitoring started: steps on the port at the pace of the two periods,
    // or in line mode one request after another, pausing between passes.
    void startPolling(int port, int nodeReadPeriod, int monitorPeriod, bool lineMode);
    // Monitoring stopped: no step of the worker's own from here on.
    void stopPolling();
    // Held, the worker takes no step of its own; tests step by hand.
    void holdPace(bool held);
    // One poll tick on the port; asked when the station asked for it.
    void step(int port, bool asked);
    // Forgets the bus counters; countersCleared answers.
    void resetCounters();
    // Acknowledges the alarms as they were shown, for user.
    void acknowledge(const QVector<AlarmOccurrence>& shown, const QString& user);
    // Takes in the alarm states as the file holds them.
    void reloadAlarmStates();
    // Closes the port (none when 0) and the connection, before the thread ends.
    void finish(int openPort);

signals:
    // Steps wait in the queue, where there were none.
    void stepsWaiting();
    // The node_record row ids of the scope opened, or why it could not be.
    void scopeOpened(const QVector<qint64>& rowIds, const QString& error);
    // A device's bus counters after a read, a copy for the window's side.
    void countersChanged(const DeviceCounters& counters);
    void countersCleared();
    // Of the alarm states, after each committed change; once with no changes
    // when they are first read, so that listeners start from the file.
    void alarmStatesChanged(const QVector<AlarmChange>& changes, const QVector<AlarmEntry>& active);
    void alarmRaised(const AlarmEntry& entry);
    void acknowledgeFailed(const QString& text);
    // Every acknowledgement and reload asked is answered so, after any failure was told.
    void acknowledged();

private:
    void ensureOpen();

    const QString m_fileName;
    FieldBus* m_bus;
    PollEvents* m_events;
    StepQueue& m_steps;
    BusCounters* m_counters; // a child: it moves to the thread with the worker
    PollPacer* m_pacer;      // a child too
    // Only the confirmation counters count here: the pacer keeps the pause
    // between passes.
    LineSettings m_line;
    PollState m_poll;
    qint64 m_seenDataVersion = -1; // data_version at the last refreshing step
    bool m_lineMode = false;
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<Query> m_scope;
    std::unique_ptr<AlarmStates> m_alarms; // written in the poll step's transactions
    std::unique_ptr<PollCycle> m_cycle;
};
