#include "mqtt/HomeAssistant.h"

#include "mqtt/MqttConfig.h"
#include "store/StatusTexts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace HomeAssistant {

namespace {
QString nodeId(const MqttConfig& config, int deviceId)
{
    return objectId(QStringLiteral("spdmon_%1_%2").arg(config.station).arg(deviceId));
}

// True when the node's row holds the text: a problem or a good connection.
QString whenEquals(const char* column, const QString& text)
{
    return QStringLiteral("{{ 'ON' if value_json.%1 == '%2' else 'OFF' }}").arg(QLatin1String(column), text);
}
} // namespace

QString objectId(QString text)
{
    for (QChar& c : text) {
        const bool allowed = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                             (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
        if (!allowed)
            c = u'_';
    }
    return text;
}

QByteArray configTopic(const MqttConfig& config, int deviceId)
{
    return (config.discoveryPrefix + QStringLiteral("/device/") + nodeId(config, deviceId) +
            QStringLiteral("/config"))
        .toUtf8();
}

QByteArray birthTopic(const MqttConfig& config)
{
    return (config.discoveryPrefix + QStringLiteral("/status")).toUtf8();
}

QByteArray deviceConfig(const MqttConfig& config, const Device& device)
{
    const QString id = nodeId(config, device.id);
    QJsonObject components;
    const auto add = [&](Role role, const char* suffix, QJsonObject component) {
        if (!device.nodes.contains(role))
            return;
        const QString object = id + QLatin1Char('_') + QLatin1String(suffix);
        component.insert(QStringLiteral("unique_id"), object);
        component.insert(QStringLiteral("object_id"), object);
        const QString tail = QStringLiteral("node/") + MqttConfig::segment(QString::number(device.id)) +
                             QLatin1Char('/') + MqttConfig::segment(device.nodes.value(role));
        component.insert(QStringLiteral("state_topic"), QString::fromUtf8(config.topic(tail)));
        components.insert(object, component);
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

    const QJsonObject json{
        {QStringLiteral("device"),
         QJsonObject{{QStringLiteral("identifiers"), QJsonArray{id}},
                     {QStringLiteral("name"), device.name},
                     {QStringLiteral("model"), QStringLiteral("KPV")},
                     {QStringLiteral("via_device"), objectId(QStringLiteral("spdmon_") + config.station)}}},
        {QStringLiteral("origin"), QJsonObject{{QStringLiteral("name"), QStringLiteral("spdmon")}}},
        {QStringLiteral("availability_topic"), QString::fromUtf8(config.topic(QStringLiteral("status")))},
        {QStringLiteral("payload_available"), QStringLiteral("online")},
        {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
        {QStringLiteral("qos"), 1},
        {QStringLiteral("components"), components}};
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

} // namespace HomeAssistant
