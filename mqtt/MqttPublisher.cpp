#include "mqtt/MqttPublisher.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <cstring>
#include <mosquitto.h>

namespace {
constexpr int kKeepAliveSeconds = 30;
constexpr int kQos = 1;
constexpr int kTlsRetryMs = 10000;
const char* const kRowKeys[] = {"device_id", "device_name",          "node_name",    "node_data",
                                "con_data",  "communication_status", "alarm_status", "read_time"};
} // namespace

MqttPublisher::MqttPublisher(const MqttConfig& config, int queueLimit, QObject* parent)
    : QObject(parent), m_config(config), m_queue(queueLimit)
{
    QString problem;
    m_client = MqttClient::create(m_config, this, &problem);
    if (!m_client) {
        m_hint = QStringLiteral("MQTT: ") + problem;
        return;
    }
    mosquitto* client = m_client.get();
    mosquitto_connect_callback_set(client, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(client, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(client, &MqttPublisher::onPublish);
    mosquitto_log_callback_set(client, &MqttPublisher::onLog);
    // The broker says "offline" for a station that vanishes without a word.
    mosquitto_will_set(client, m_config.topic(QStringLiteral("status")).constData(), 7, "offline", kQos,
                       true);
    mosquitto_reconnect_delay_set(client, 1, 10, true);

    m_hint = QStringLiteral("MQTT: 正在连接 %1").arg(m_config.address());
    const int rc =
        mosquitto_connect_async(client, m_config.host.toUtf8().constData(), m_config.port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS)
        m_hint = QStringLiteral("MQTT: 无法连接 %1 (%2)").arg(m_config.address(), MqttClient::errorText(rc));
    // The network thread also retries after a failed first attempt.
    const int loop = mosquitto_loop_start(client);
    m_loopRunning = loop == MOSQ_ERR_SUCCESS;
    if (!m_loopRunning)
        m_hint = QStringLiteral("MQTT: ") + MqttClient::errorText(loop);
}

MqttPublisher::~MqttPublisher()
{
    if (!m_client)
        return;
    mosquitto* client = m_client.get();
    int id = 0;
    if (m_connected && mosquitto_publish(client, &id, m_config.topic(QStringLiteral("status")).constData(), 7,
                                         "offline", kQos, true) == MOSQ_ERR_SUCCESS) {
        const QDeadlineTimer deadline(1000);
        while (m_lastAcked.load() != id && !deadline.hasExpired())
            QThread::msleep(2);
    }
    mosquitto_disconnect(client);
    if (m_loopRunning)
        mosquitto_loop_stop(client, false);
}

std::unique_ptr<MqttPublisher> MqttPublisher::fromConfigFile(const QString& path)
{
    const std::optional<MqttConfig> config = MqttConfig::load(path);
    if (!config)
        return nullptr;
    return std::make_unique<MqttPublisher>(*config);
}

void MqttPublisher::nodeWritten(const QVariantMap& row)
{
    QJsonObject json;
    for (const char* key : kRowKeys) {
        const QVariant value = row.value(QLatin1String(key));
        json.insert(QLatin1String(key), value.isNull() ? QJsonValue() : QJsonValue::fromVariant(value));
    }
    const QString tail =
        QStringLiteral("node/") + MqttConfig::segment(row.value(QStringLiteral("device_id")).toString()) +
        QLatin1Char('/') + MqttConfig::segment(row.value(QStringLiteral("node_name")).toString());
    send({m_config.topic(tail), QJsonDocument(json).toJson(QJsonDocument::Compact), true});
}

void MqttPublisher::alarmRecorded(const QString& time, const QString& text)
{
    const QJsonObject json{{QStringLiteral("time"), time}, {QStringLiteral("text"), text}};
    send(
        {m_config.topic(QStringLiteral("alarm")), QJsonDocument(json).toJson(QJsonDocument::Compact), false});
}

void MqttPublisher::send(MqttMessage message)
{
    if (!m_client)
        return;
    m_queue.push(std::move(message));
    flush();
}

void MqttPublisher::flush()
{
    while (m_connected) {
        const MqttMessage* message = m_queue.front();
        if (!message)
            return;
        const int rc = mosquitto_publish(m_client.get(), nullptr, message->topic.constData(),
                                         int(message->payload.size()), message->payload.constData(), kQos,
                                         message->retained);
        // A connection lost a moment ago: libmosquitto keeps the message and
        // sends it after reconnecting, so keeping it here too would send it
        // twice. Any other failure is the message's own (an impossible topic)
        // and would block the queue for ever.
        m_queue.pop();
        if (rc == MOSQ_ERR_NO_CONN)
            return;
    }
}

void MqttPublisher::setHint(const QString& hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    emit hintChanged(m_hint);
}

void MqttPublisher::postHint(const QString& hint)
{
    // Flushing here too sends what waited once the connection is back.
    QMetaObject::invokeMethod(
        this,
        [this, hint]() {
            setHint(hint);
            flush();
        },
        Qt::QueuedConnection);
}

void MqttPublisher::restartNetwork()
{
    m_restartPending = false;
    mosquitto* client = m_client.get();
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    m_link = Link::Connecting;
    mosquitto_reconnect_async(client);
    m_loopRunning = mosquitto_loop_start(client) == MOSQ_ERR_SUCCESS;
}

void MqttPublisher::onConnect(mosquitto* client, void* self, int returnCode)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    if (returnCode != 0) {
        publisher->m_link = Link::Refused;
        publisher->postHint(
            MqttClient::isLoginRefusal(returnCode)
                ? QStringLiteral("MQTT: 用户名或密码被拒绝")
                : QStringLiteral("MQTT: %1 拒绝连接 (%2)")
                      .arg(publisher->m_config.address(), MqttClient::refusalText(returnCode)));
        return;
    }
    publisher->m_link = Link::Connected;
    mosquitto_publish(client, nullptr, publisher->m_config.topic(QStringLiteral("status")).constData(), 6,
                      "online", kQos, true);
    publisher->m_connected = true;
    publisher->postHint(QStringLiteral("MQTT: 已连接"));
}

void MqttPublisher::onDisconnect(mosquitto*, void* self, int result)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    publisher->m_connected = false;
    // Our own disconnect, or the broker closing after refusing the login,
    // whose hint says more.
    if (result == MOSQ_ERR_SUCCESS || publisher->m_link == Link::Refused)
        return;
    const QString reason = MqttClient::errorText(result);
    const QString address = publisher->m_config.address();
    if (publisher->m_link == Link::Connected) {
        publisher->m_link = Link::Lost;
        publisher->postHint(QStringLiteral("MQTT: 与 %1 的连接中断 (%2)，正在重连").arg(address, reason));
    } else if (publisher->m_link == Link::Connecting) {
        publisher->postHint(QStringLiteral("MQTT: 无法连接 %1 (%2)").arg(address, reason));
    }
}

void MqttPublisher::onPublish(mosquitto*, void* self, int messageId)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    ++publisher->m_acknowledged;
    publisher->m_lastAcked = messageId;
}

void MqttPublisher::onLog(mosquitto*, void* self, int level, const char* text)
{
    // TLS failures are told only here, as OpenSSL's "error:...:reason" lines.
    static const char kTlsError[] = "OpenSSL Error";
    if (level != MOSQ_LOG_ERR || std::strncmp(text, kTlsError, sizeof kTlsError - 1) != 0)
        return;
    auto* publisher = static_cast<MqttPublisher*>(self);
    const QString detail = QString::fromUtf8(text).section(QLatin1Char(':'), -1);
    const QString hint =
        QStringLiteral("MQTT: 无法连接 %1 (TLS error: %2)").arg(publisher->m_config.address(), detail);
    QMetaObject::invokeMethod(
        publisher,
        [publisher, hint]() {
            publisher->setHint(hint);
            if (!publisher->m_restartPending) {
                publisher->m_restartPending = true;
                QTimer::singleShot(kTlsRetryMs, publisher, &MqttPublisher::restartNetwork);
            }
        },
        Qt::QueuedConnection);
}
