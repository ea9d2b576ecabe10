#pragma once

#include "monitor/BusCounters.h"
#include "monitor/StepQueue.h"
#include "store/AlarmStateTable.h"
#include "store/Query.h"
#include "store/StationState.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QVector>
#include <memory>

class Connection;
class FieldBus;
class MqttPublisher;
class StationWorker;

// The station the main window shows: the queries the windows read on the
// database, the serial link, the poll cycle walking the selected scope and
// the MQTT publisher, with the state they share for the whole run. It
// outlives the windows. The pace of polling, the poll cycle, its reads and
// its writes run on a thread of the station's own (StationWorker), so the
// window never waits for the bus or a locked file, and a busy window delays
// only itself; the window asks and is answered by signal.
class Station final : public QObject
{
    Q_OBJECT
public:
    explicit Station(Connection& connection);
    // Waits for the step under way (one read and one commit), closes the port
    // there, so a new start can open it at once; then the publisher, which
    // may take up to two seconds to say goodbye to its broker.
    ~Station() override;

    Connection& dbConnection;
    Query alarmLogQuery; // alarm log
    Query treeQuery;     // tree building
    Query viewQuery;     // data view
    Query settingsQuery; // lookups

    Session session;
    LineSettings line;
    PollState poll;
    Selection selection;

    // The serial link; the real library unless a test put a scripted one here.
    FieldBus* bus() const { return m_bus; }
    void setBus(FieldBus* bus);

    // Null without a usable mqtt.conf; then publishingProblem() says why, or
    // is empty when there is no file at all.
    MqttPublisher* publisher() const { return m_mqtt.get(); }
    QString publishingProblem() const { return m_publishingProblem; }
    // Tells the publisher the devices as node_record holds them now.
    void publishDevices();

    // Asks for the scope, the rows the poll cycle walks, on the selection:
    // the system all nodes, a device its nodes, a node that node; it stands on
    // its first row afterwards. Any other kind leaves it as is.
    void openPollScope();
    // Monitoring: the station's thread steps through the scope on its own,
    // one step every node read period (ms) and, after each pass, a pause of
    // the monitoring period (s); stepsDone tells the steps. With [poll]
    // pace=line in spdmon.conf (line mode) one request reads a device's
    // nodes and the next follows as soon as the reply is in.
    void startPolling(int nodeReadPeriod, int monitorPeriod);
    void stopPolling();
    bool polling() const { return m_readPeriod > 0; }
    // The node read period polling runs at; 0 while it does not.
    int readPeriod() const { return m_readPeriod; }
    // Whether polling runs in line mode; false while it does not run.
    bool lineMode() const { return polling() && m_lineMode; }
    // Held, the station's thread takes no step of its own: tests and
    // benchmarks step by hand with pollTick.
    void holdPace(bool held);
    // Asks for one step now, unless one asked is under way; stepsDone answers.
    void pollTick();
    // Until every request asked so far is answered.
    bool busy() const { return m_unanswered > 0; }
    // The node_record row ids of the scope last opened.
    QVector<qint64> scopeRowIds() const { return m_scopeRowIds; }
    // Asks to forget the bus counters, which the poll step keeps on the
    // station's thread; counts from reads before it are no longer told.
    void resetCounters();
    // Asks the worker's alarm states to acknowledge the alarms as they were
    // shown (an empty node name is the device's communication loss),
    // recording user; one raised since another time is left alone.
    void acknowledgeAlarms(const QVector<AlarmOccurrence>& shown, const QString& user);
    // Asks the worker's alarm states to take in what another connection wrote
    // to the file (a device or node deleted or moved ended its alarms).
    void reloadAlarmStates();

signals:
    // The steps taken since the window was last told, coalesced while it was busy.
    void stepsDone(const PollSteps& steps);
    void scopeFailed(const QString& error);
    // How a device has answered since the counters were last reset.
    void countersChanged(const DeviceCounters& counters);
    // After each committed change of alarm states, a step's or an acknowledgement's.
    void alarmStatesChanged();
    // An alarm was raised anew (see AlarmStates::alarmRaised).
    void alarmRaised(const AlarmEntry& entry);
    void acknowledgeFailed(const QString& text);

private:
    void startPublishing();
    template <typename Work> void ask(Work&& work);

    std::unique_ptr<FieldBus> m_ownBus;
    FieldBus* m_bus;
    // Outlives the worker, which reports to it.
    std::unique_ptr<MqttPublisher> m_mqtt;
    QString m_publishingProblem;
    StepQueue m_steps; // outlives the worker, which fills it
    QThread m_thread;
    StationWorker* m_worker = nullptr;
    int m_unanswered = 0;
    bool m_stepUnderWay = false;
    int m_readPeriod = 0;
    bool m_lineMode = false;
    QVector<qint64> m_scopeRowIds;
    int m_unansweredResets = 0;
};
