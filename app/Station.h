#pragma once

#include "store/Query.h"
#include "store/StationState.h"

#include <QString>
#include <memory>

class AlarmStates;
class Connection;
class FieldBus;
class MqttPublisher;
class PollCycle;

// The station the main window shows: the queries on the database, the serial
// link, the poll cycle walking the selected scope and the MQTT publisher,
// with the state they share for the whole run. It outlives the windows.
class Station final
{
public:
    explicit Station(Connection& connection);
    // The port first, so a new start can open it at once; then the publisher,
    // which may take up to two seconds to say goodbye to its broker.
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    Connection& dbConnection;
    Query alarmLogQuery; // alarm log
    Query treeQuery;     // tree building
    Query scopeQuery;    // scope of polling
    Query viewQuery;     // data view
    Query settingsQuery; // lookups

    Session session;
    LineSettings line;
    PollState poll;
    Selection selection;

    // The serial link; the real library unless a test put a scripted one here.
    FieldBus* bus() const { return m_bus; }
    void setBus(FieldBus* bus);
    PollCycle& pollCycle() { return *m_pollCycle; }
    // The alarm states the poll cycle keeps; acknowledgements are asked of it.
    AlarmStates& alarmStates() { return *m_alarmStates; }

    // Null without a usable mqtt.conf; then publishingProblem() says why, or
    // is empty when there is no file at all.
    MqttPublisher* publisher() const { return m_mqtt.get(); }
    QString publishingProblem() const { return m_publishingProblem; }

    // Reopens the scope query, the rows the poll cycle walks, on the
    // selection: the system all nodes, a device its nodes, a node that node;
    // it stands on its first row afterwards. Any other kind leaves it as is.
    void openPollScope();

private:
    void startPublishing();

    std::unique_ptr<FieldBus> m_ownBus;
    FieldBus* m_bus;
    // Outlives the poll cycle, which reports to it.
    std::unique_ptr<MqttPublisher> m_mqtt;
    QString m_publishingProblem;
    std::unique_ptr<AlarmStates> m_alarmStates;
    std::unique_ptr<PollCycle> m_pollCycle;
};
