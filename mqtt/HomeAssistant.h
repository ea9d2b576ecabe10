#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

struct MqttConfig;
class Query;

// Home Assistant's MQTT discovery of a station's devices: one retained
// device configuration per device whose components read today's node topics
// through value templates, available while the station says "online", and
// one for the station itself, whose connectivity sensor reads that status.
namespace HomeAssistant {

// The nodes a configuration can use, by the register of a KPV device they read.
enum class Role { Status = 11, Protector = 9, SurgeCount = 5 };

struct Device
{
    int id = 0;
    QString name;
    QMap<Role, QString> nodes; // the node names of its roles
};

// The devices of node_record rows held in the query, ordered by device id.
QVector<Device> devices(Query& nodes);
// <prefix>/device/spdmon_<station>_<device_id>/config. Ids hold only
// [a-zA-Z0-9_-]: a station name with other characters is kept apart from
// others by a hash of it.
QByteArray configTopic(const MqttConfig& config, int deviceId);
// Components for the roles the device has nodes for.
QByteArray deviceConfig(const MqttConfig& config, const Device& device);
// <prefix>/device/spdmon_<station>_station/config and the station's configuration.
QByteArray stationTopic(const MqttConfig& config);
QByteArray stationConfig(const MqttConfig& config);
// Where Home Assistant says "online" each time it starts.
QByteArray birthTopic(const MqttConfig& config);

} // namespace HomeAssistant
