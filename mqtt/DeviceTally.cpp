#include "mqtt/DeviceTally.h"

#include "store/Query.h"
#include "store/StatusTexts.h"

#include <QJsonDocument>
#include <QJsonObject>

void DeviceTally::setNode(const QVariantMap& row)
{
    m_devices[row.value(QStringLiteral("device_id")).toInt()].insert(
        row.value(QStringLiteral("node_name")).toString(),
        stateOf(row.value(QStringLiteral("communication_status")).toString(),
                row.value(QStringLiteral("alarm_status")).toString()));
}

void DeviceTally::removeNode(int deviceId, const QString& nodeName)
{
    const auto device = m_devices.find(deviceId);
    if (device == m_devices.end())
        return;
    device->remove(nodeName);
    if (device->isEmpty())
        m_devices.erase(device);
}

void DeviceTally::removeDevice(int deviceId)
{
    m_devices.remove(deviceId);
}

void DeviceTally::setStored(Query& nodes)
{
    m_devices.clear();
    for (nodes.first(); !nodes.eof(); nodes.next()) {
        if (nodes.fieldText(QStringLiteral("read_time")).isEmpty())
            continue;
        m_devices[nodes.fieldInt(QStringLiteral("device_id"))].insert(
            nodes.fieldText(QStringLiteral("node_name")),
            stateOf(nodes.fieldText(QStringLiteral("communication_status")),
                    nodes.fieldText(QStringLiteral("alarm_status"))));
    }
}

QByteArray DeviceTally::json() const
{
    int counts[3] = {};
    for (const QHash<QString, State>& nodes : m_devices) {
        State device = State::Normal;
        for (const State node : nodes)
            device = qMax(device, node);
        ++counts[int(device)];
    }
    const QJsonObject json{{QStringLiteral("normal"), counts[int(State::Normal)]},
                           {QStringLiteral("alarm"), counts[int(State::Alarm)]},
                           {QStringLiteral("commloss"), counts[int(State::CommLoss)]}};
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

DeviceTally::State DeviceTally::stateOf(const QString& communicationStatus, const QString& alarmStatus)
{
    if (communicationStatus != StatusTexts::kCommNormal)
        return State::CommLoss;
    return alarmStatus == StatusTexts::kAlarm ? State::Alarm : State::Normal;
}
