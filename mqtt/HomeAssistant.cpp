#include "mqtt/HomeAssistant.h"

#include "mqtt/MqttConfig.h"
#include "store/Query.h"
#include "store/StatusTexts.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace HomeAssistant {

namespace {
bool allowed(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'-';
}

// "spdmon_<station>": a name of allowed characters as it is, so that the
// entities Home Assistant already has stay; any other name with the others
// made '_' and a hash of the whole name, or "一号机房" and "二号机房" (and
// "room 2" and "room_2") would be one.
QString stationId(const QString& station)
{
    QString id = station;
    for (QChar& c : id) {
        if (!allowed(c))
            c = u'_';
    }
    if (id != station || id.isEmpty())
        id += QLatin1Char('_') +
              QString::fromLatin1(
                  QCryptographicHash::hash(station.toUtf8(), QCryptographicHash::Sha256).toHex().left(8));
    return QStringLiteral("spdmon_") + id;
}

// A device id ends in its address, the station's own in "station".
QString deviceId(const MqttConfig& config, int deviceId)
{
    return stationId(config.station) + QLatin1Char('_') + QString::number(deviceId);
}

QString stationDevice(const MqttConfig& config)
{
    return stationId(config.station) + QStringLiteral("_station");
}

QByteArray topicOf(const MqttConfig& config, const QString& id)
{
    return (config.discoveryPrefix + QStringLiteral("/device/") + id + QStringLiteral("/config")).toUtf8();
}

// True when the node's row holds the text: a problem or a good connection.
QString whenEquals(const char* column, const QString& text)
{
    return QStringLiteral("{{ 'ON' if value_json.%1 == '%2' else 'OFF' }}").arg(QLatin1String(column), text);
}

// The entity id Home Assistant is asked to give: "<platform>.<unique id>".
QJsonObject identified(QJsonObject component, const QString& uniqueId)
{
    component.insert(QStringLiteral("unique_id"), uniqueId);
    component.insert(QStringLiteral("default_entity_id"),
                     component.value(QStringLiteral("platform")).toString() + QLatin1Char('.') +
                         uniqueId.toLower());
    return component;
}

QByteArray document(const QJsonObject& device, const QJsonObject& components, const MqttConfig& config,
                    bool followsStation)
{
    QJsonObject json{
        {QStringLiteral("device"), device},
        {QStringLiteral("origin"), QJsonObject{{QStringLiteral("name"), QStringLiteral("spdmon")}}},
        {QStringLiteral("qos"), 1},
        {QStringLiteral("components"), components}};
    if (followsStation) {
        json.insert(QStringLiteral("availability_topic"),
                    QString::fromUtf8(config.topic(QStringLiteral("status"))));
        json.insert(QStringLiteral("payload_available"), QStringLiteral("online"));
        json.insert(QStringLiteral("payload_not_available"), QStringLiteral("offline"));
    }
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}
} // namespace

QVector<Device> devices(Query& nodes)
{
    QVector<Device> result;
    for (nodes.first(); !nodes.eof(); nodes.next()) {
        const int id = nodes.fieldInt(QStringLiteral("device_id"));
        if (result.isEmpty() || result.last().id != id)
            result.append({id, nodes.fieldText(QStringLiteral("device_name")), {}});
        const int reg = nodes.fieldInt(QStringLiteral("node_reg_add"));
        for (const auto role : {Role::Status, Role::Protector, Role::SurgeCount}) {
            if (reg == int(role))
                result.last().nodes.insert(role, nodes.fieldText(QStringLiteral("node_name")));
        }
    }
    return result;
}

QByteArray configTopic(const MqttConfig& config, int device)
{
    return topicOf(config, deviceId(config, device));
}

QByteArray stationTopic(const MqttConfig& config)
{
    return topicOf(config, stationDevice(config));
}

QByteArray birthTopic(const MqttConfig& config)
{
    return (config.discoveryPrefix + QStringLiteral("/status")).toUtf8();
}

QByteArray deviceConfig(const MqttConfig& config, const Device& device)
{
    const QString id = deviceId(config, device.id);
    QJsonObject components;
    const auto add = [&](Role role, const char* suffix, QJsonObject component) {
        if (!device.nodes.contains(role))
            return;
        const QString object = id + QLatin1Char('_') + QLatin1String(suffix);
        const QString tail = QStringLiteral("node/") + MqttConfig::segment(QString::number(device.id)) +
                             QLatin1Char('/') + MqttConfig::segment(device.nodes.value(role));
        component.insert(QStringLiteral("state_topic"), QString::fromUtf8(config.topic(tail)));
        components.insert(object, identified(component, object));
    };
    const auto problem = [](const QString& name) {
        return QJsonObject{
            {QStringLiteral("platform"), QStringLiteral("binary_sensor")},
            {QStringLiteral("device_class"), QStringLiteral("problem")},
            {QStringLiteral("name"), name},
            {QStringLiteral("value_template"), whenEquals("alarm_status", StatusTexts::kAlarm)}};
    };
    add(Role::Protector, "protector", problem(QStringLiteral("浪涌保护器")));
    add(Role::Status, "status", problem(QStringLiteral("设备状态")));
    // Every node row carries the device's communication status; the status node is read first.
    add(Role::Status, "communication",
        {{QStringLiteral("platform"), QStringLiteral("binary_sensor")},
         {QStringLiteral("device_class"), QStringLiteral("connectivity")},
         {QStringLiteral("name"), QStringLiteral("通信")},
         {QStringLiteral("value_template"), whenEquals("communication_status", StatusTexts::kCommNormal)}});
    add(Role::SurgeCount, "surges",
        {{QStringLiteral("platform"), QStringLiteral("sensor")},
         {QStringLiteral("state_class"), QStringLiteral("total_increasing")},
         {QStringLiteral("name"), QStringLiteral("浪涌次数")},
         {QStringLiteral("value_template"), QStringLiteral("{{ value_json.node_data }}")}});

    const QJsonObject about{{QStringLiteral("identifiers"), QJsonArray{id}},
                            {QStringLiteral("name"), device.name},
                            {QStringLiteral("model"), QStringLiteral("KPV")},
                            {QStringLiteral("via_device"), stationDevice(config)}};
    return document(about, components, config, true);
}

QByteArray stationConfig(const MqttConfig& config)
{
    const QString id = stationDevice(config);
    const QString object = id + QStringLiteral("_connection");
    // Not bound to the station's availability: it is what shows the station offline.
    const QJsonObject connection{
        {QStringLiteral("platform"), QStringLiteral("binary_sensor")},
        {QStringLiteral("device_class"), QStringLiteral("connectivity")},
        {QStringLiteral("name"), QStringLiteral("连接")},
        {QStringLiteral("state_topic"), QString::fromUtf8(config.topic(QStringLiteral("status")))},
        {QStringLiteral("payload_on"), QStringLiteral("online")},
        {QStringLiteral("payload_off"), QStringLiteral("offline")}};
    const QJsonObject about{{QStringLiteral("identifiers"), QJsonArray{id}},
                            {QStringLiteral("name"), config.station},
                            {QStringLiteral("model"), QStringLiteral("spdmon")}};
    return document(about, QJsonObject{{object, identified(connection, object)}}, config, false);
}

} // namespace HomeAssistant
