#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

struct MqttConfig;

// Home Assistant's MQTT discovery of a station's devices: one retained
// device configuration per device whose components read today's node topics
// through value templates, available while the station says "online".
namespace HomeAssistant {

// The nodes a configuration can use, by the register of a KPV device they read.
enum class Role { Status = 11, Protector = 9, SurgeCount = 5 };

struct Device
{
    int id = 0;
    QString name;
    QMap<Role, QString> nodes; // the node names the station has read
};

// Only [a-zA-Z0-9_-]: anything else becomes '_'.
QString objectId(QString text);
// <prefix>/device/spdmon_<station>_<device_id>/config
QByteArray configTopic(const MqttConfig& config, int deviceId);
// Components for the roles the device has nodes for.
QByteArray deviceConfig(const MqttConfig& config, const Device& device);
// Where Home Assistant says "online" each time it starts.
QByteArray birthTopic(const MqttConfig& config);

} // namespace HomeAssistant
