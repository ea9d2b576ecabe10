#include "app/Station.h"

#include "link/ModbusRtuBus.h"
#include "monitor/AlarmStates.h"
#include "monitor/PollCycle.h"
#include "mqtt/MqttPublisher.h"
#include "store/AlarmLogTable.h"
#include "store/FixedTexts.h"
#include "store/NodeTable.h"

#include <QFileInfo>
#include <cstdio>

Station::Station(Connection& connection)
    : dbConnection(connection), alarmLogQuery(connection), treeQuery(connection), scopeQuery(connection),
      viewQuery(connection), settingsQuery(connection), m_ownBus(std::make_unique<ModbusRtuBus>()),
      m_bus(m_ownBus.get())
{
    AlarmLogTable(alarmLogQuery).openLog();
    m_alarmStates = std::make_unique<AlarmStates>(connection);
    m_pollCycle = std::make_unique<PollCycle>(line, poll, scopeQuery, alarmLogQuery, m_bus);
    m_pollCycle->setAlarmStates(m_alarmStates.get());
    startPublishing();
}

Station::~Station()
{
    if (line.PortState == PortState::kOpen)
        m_bus->comClose(line.ComNum);
    m_pollCycle->setEvents(nullptr);
    m_mqtt.reset();
}

void Station::startPublishing()
{
    // Without mqtt.conf nothing is published.
    const QString path = MqttConfig::defaultPath();
    if (!QFileInfo::exists(path))
        return;
    const std::optional<MqttConfig> config = MqttConfig::load(path, &m_publishingProblem);
    if (!config) {
        std::fprintf(stderr, "MQTT publishing off: %s\n", qUtf8Printable(m_publishingProblem));
        return;
    }
    m_mqtt = std::make_unique<MqttPublisher>(*config);
    m_pollCycle->setEvents(m_mqtt.get());
    QObject::connect(m_alarmStates.get(), &AlarmStates::changed, m_mqtt.get(),
                     &MqttPublisher::alarmStatesChanged);
    // The retained list is right from the start, not only after the first change.
    m_mqtt->alarmStatesChanged({}, m_alarmStates->active());
}

void Station::setBus(FieldBus* bus)
{
    m_bus = bus;
    m_pollCycle->setBus(bus);
}

void Station::openPollScope()
{
    const QString& kind = selection.SelectedKind;
    NodeTable nodes(scopeQuery);
    if (kind == SelectionKind::kNode)
        nodes.openNode(selection.SelectedDeviceId, selection.SelectedNodeName);
    else if (kind == SelectionKind::kDevice)
        nodes.openDevice(selection.SelectedDeviceId);
    else if (kind == SelectionKind::kSystem)
        nodes.openAll();
    else
        return;
    scopeQuery.first();
}
