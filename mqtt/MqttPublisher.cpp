#include "mqtt/MqttPublisher.h"

#include "mqtt/MqttClient.h"
#include "store/Text.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mosquitto.h>
#include <mutex>

namespace {
constexpr int kKeepAliveSeconds = 30;
constexpr int kQos = 1;
constexpr int kLoopMs = 100; // how soon the network thread sees a stop
constexpr int kFirstRetrySeconds = 1;
constexpr int kLastRetrySeconds = 10;
constexpr int kOfflineWaitMs = 1000;
constexpr int kStopWaitMs = 800;
const char* const kRowKeys[] = {"device_id", "device_name",          "node_name",    "node_data",
                                "con_data",  "communication_status", "alarm_status", "read_time"};
} // namespace

// The client and what its network thread tells the publisher. The fields
// without a lock are the network thread's own.
struct MqttPublisher::Network final
{
    enum class Link { Connecting, Connected, Lost };

    Network(const MqttConfig& settings, MqttPublisher* owner) : config(settings), publisher(owner) {}

    static void run(const std::shared_ptr<Network>& network);
    static void onConnect(mosquitto* client, void* self, int returnCode);
    static void onPublish(mosquitto* client, void* self, int messageId);
    static void onLog(mosquitto* client, void* self, int level, const char* text);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);

    void attempt(bool first);
    QString failureHint(const QString& reason);
    // Hands a hint to the publisher's thread, which then sends what waited.
    void post(const QString& hint);
    // Runs work on the publisher's thread, unless the publisher is going.
    void callPublisher(const std::function<void(MqttPublisher&)>& work);
    bool stopping();
    // Sleeps, unless told to stop meanwhile.
    void pause(int seconds);

    const MqttConfig config;
    MqttClient::Handle client;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;        // under mutex
    bool finished = false;    // under mutex
    MqttPublisher* publisher; // under mutex; null once it is going
    std::atomic<bool> connected{false};
    std::atomic<quint64> acknowledged{0};
    std::atomic<int> lastAcked{0};
    Link link = Link::Connecting;
    int answer = -1;   // the broker's CONNACK code this attempt
    QString tlsDetail; // OpenSSL's reason this attempt
};

MqttPublisher::MqttPublisher(const MqttConfig& config, int queueLimit, QObject* parent)
    : QObject(parent), m_config(config), m_queue(queueLimit)
{
    m_diagnosticsTimer.setSingleShot(true);
    connect(&m_diagnosticsTimer, &QTimer::timeout, this, &MqttPublisher::sendDueDiagnostics);
    auto network = std::make_shared<Network>(m_config, this);
    QString problem;
    network->client = MqttClient::create(m_config, network.get(), &problem);
    if (!network->client) {
        m_hint = QStringLiteral("MQTT: ") + problem;
        return;
    }
    mosquitto* client = network->client.get();
    // Publishing from this thread while the network thread runs the loop.
    mosquitto_threaded_set(client, true);
    mosquitto_connect_callback_set(client, &Network::onConnect);
    mosquitto_publish_callback_set(client, &Network::onPublish);
    mosquitto_log_callback_set(client, &Network::onLog);
    mosquitto_message_callback_set(client, &Network::onMessage);
    // The broker says "offline" for a station that vanishes without a word.
    mosquitto_will_set(client, m_config.topic(QStringLiteral("status")).constData(), 7, "offline", kQos,
                       true);
    m_hint = QStringLiteral("MQTT: 正在连接 %1").arg(m_config.address());
    m_network = network;
    m_thread = std::thread(&Network::run, network);
}

MqttPublisher::~MqttPublisher()
{
    if (!m_network)
        return;
    Network& network = *m_network;
    int id = 0;
    if (network.connected &&
        mosquitto_publish(network.client.get(), &id, m_config.topic(QStringLiteral("status")).constData(), 7,
                          "offline", kQos, true) == MOSQ_ERR_SUCCESS) {
        const QDeadlineTimer deadline(kOfflineWaitMs);
        while (network.lastAcked.load() != id && network.connected && !deadline.hasExpired())
            QThread::msleep(2);
    }
    std::unique_lock lock(network.mutex);
    network.stop = true;
    network.publisher = nullptr;
    network.wake.notify_all();
    // Only a name lookup holds the thread longer; it then ends on its own.
    if (network.wake.wait_for(lock, std::chrono::milliseconds(kStopWaitMs),
                              [&]() { return network.finished; })) {
        lock.unlock();
        m_thread.join();
    } else {
        m_thread.detach();
    }
}

quint64 MqttPublisher::acknowledged() const
{
    return m_network ? m_network->acknowledged.load() : 0;
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
    send({m_config.topic(tail), QJsonDocument(json).toJson(QJsonDocument::Compact),
          MqttMessage::Kind::Reading});
    tally([&row](DeviceTally& devices) { devices.setNode(row); });
}

void MqttPublisher::nodesStored(Query& nodes)
{
    tally([&nodes](DeviceTally& devices) { devices.setStored(nodes); });
}

template <typename Change> void MqttPublisher::tally(Change change)
{
    if (!m_network)
        return;
    {
        const std::lock_guard lock(m_queueMutex);
        change(m_tally);
        const QByteArray summary = m_tally.json();
        if (summary == m_summary)
            return;
        m_summary = summary;
        // A broker away hears the counts as they stand when it is back (sendState).
        if (!m_network->connected)
            return;
        m_queue.push({m_config.topic(QStringLiteral("summary")), summary, MqttMessage::Kind::State});
    }
    flush();
}

void MqttPublisher::devicesChanged(const QVector<HomeAssistant::Device>& devices)
{
    if (m_config.discoveryPrefix.isEmpty())
        return;
    QHash<int, QByteArray> configs;
    for (const HomeAssistant::Device& device : devices)
        configs.insert(device.id, HomeAssistant::deviceConfig(m_config, device));
    for (auto it = m_deviceConfigs.cbegin(); it != m_deviceConfigs.cend(); ++it) {
        if (!configs.contains(it.key()))
            send({HomeAssistant::configTopic(m_config, it.key()), QByteArray(), MqttMessage::Kind::State});
    }
    for (auto it = configs.cbegin(); it != configs.cend(); ++it) {
        if (m_deviceConfigs.value(it.key()) != it.value())
            send({HomeAssistant::configTopic(m_config, it.key()), it.value(), MqttMessage::Kind::State});
    }
    m_deviceConfigs = configs;
}

void MqttPublisher::sendDiscovery()
{
    send({HomeAssistant::stationTopic(m_config), HomeAssistant::stationConfig(m_config),
          MqttMessage::Kind::State});
    for (auto it = m_deviceConfigs.cbegin(); it != m_deviceConfigs.cend(); ++it)
        send({HomeAssistant::configTopic(m_config, it.key()), it.value(), MqttMessage::Kind::State});
}

void MqttPublisher::sendState()
{
    if (!m_config.discoveryPrefix.isEmpty())
        sendDiscovery();
    const std::lock_guard lock(m_queueMutex);
    if (!m_activeAlarms.isNull())
        m_queue.push(
            {m_config.topic(QStringLiteral("alarms/active")), m_activeAlarms, MqttMessage::Kind::State});
    if (!m_summary.isNull())
        m_queue.push({m_config.topic(QStringLiteral("summary")), m_summary, MqttMessage::Kind::State});
}

void MqttPublisher::deviceRemoved(int deviceId)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, deviceId]() { deviceRemoved(deviceId); }, Qt::QueuedConnection);
        return;
    }
    const QString tail = QStringLiteral("diag/") + MqttConfig::segment(QString::number(deviceId));
    send({m_config.topic(tail), QByteArray(), MqttMessage::Kind::State});
    m_diagnostics.remove(deviceId);
    tally([deviceId](DeviceTally& devices) { devices.removeDevice(deviceId); });
    if (m_config.discoveryPrefix.isEmpty())
        return;
    send({HomeAssistant::configTopic(m_config, deviceId), QByteArray(), MqttMessage::Kind::State});
    m_deviceConfigs.remove(deviceId);
}

void MqttPublisher::countersChanged(const DeviceCounters& counters)
{
    m_diagnostics[counters.deviceId].waiting = counters;
    sendDueDiagnostics();
}

void MqttPublisher::sendDueDiagnostics()
{
    const auto ms = [](double value) { return value < 0 ? QJsonValue() : QJsonValue(value); };
    qint64 nextDue = -1;
    for (auto it = m_diagnostics.begin(); it != m_diagnostics.end(); ++it) {
        Diagnostics& device = it.value();
        if (!device.waiting)
            continue;
        const qint64 wait = device.sent.isValid() ? kDiagnosticsIntervalMs - device.sent.elapsed() : 0;
        if (wait > 0) {
            nextDue = nextDue < 0 ? wait : qMin(nextDue, wait);
            continue;
        }
        const DeviceCounters& c = *device.waiting;
        const QJsonObject json{{QStringLiteral("device_id"), c.deviceId},
                               {QStringLiteral("requests"), c.requests},
                               {QStringLiteral("good"), c.good},
                               {QStringLiteral("no_reply"), c.noReply},
                               {QStringLiteral("bad_reply"), c.badReply},
                               {QStringLiteral("exception_reply"), c.exceptionReply},
                               {QStringLiteral("response_ms_last"), ms(c.lastMs)},
                               {QStringLiteral("response_ms_min"), ms(c.minMs)},
                               {QStringLiteral("response_ms_mean"), ms(c.meanMs())},
                               {QStringLiteral("response_ms_max"), ms(c.maxMs)},
                               {QStringLiteral("last_good"),
                                c.lastGood.isNull() ? QJsonValue() : Text::dateTimeText(c.lastGood)},
                               {QStringLiteral("consecutive_failures"), c.consecutiveFailures}};
        const QString tail = QStringLiteral("diag/") + MqttConfig::segment(QString::number(c.deviceId));
        send({m_config.topic(tail), QJsonDocument(json).toJson(QJsonDocument::Compact),
              MqttMessage::Kind::State});
        device.sent.start();
        device.waiting.reset();
    }
    if (nextDue >= 0)
        m_diagnosticsTimer.start(int(nextDue));
}

void MqttPublisher::nodeRemoved(int deviceId, const QString& nodeName)
{
    // An empty retained message makes the broker forget the topic.
    const QString tail = QStringLiteral("node/") + MqttConfig::segment(QString::number(deviceId)) +
                         QLatin1Char('/') + MqttConfig::segment(nodeName);
    send({m_config.topic(tail), QByteArray(), MqttMessage::Kind::State});
    tally([deviceId, &nodeName](DeviceTally& devices) { devices.removeNode(deviceId, nodeName); });
}

void MqttPublisher::alarmRecorded(const QString& time, const QString& text)
{
    const QJsonObject json{{QStringLiteral("time"), time}, {QStringLiteral("text"), text}};
    send({m_config.topic(QStringLiteral("alarm")), QJsonDocument(json).toJson(QJsonDocument::Compact),
          MqttMessage::Kind::Event});
}

int MqttPublisher::queued() const
{
    const std::lock_guard lock(m_queueMutex);
    return m_queue.size();
}

int MqttPublisher::dropped() const
{
    const std::lock_guard lock(m_queueMutex);
    return m_queue.dropped();
}

void MqttPublisher::surgeRecorded(const SurgeEvent& event)
{
    QJsonObject json{
        {QStringLiteral("device"), event.deviceId},
        {QStringLiteral("time"), Text::dateTimeText(event.time)},
        {QStringLiteral("surges"), event.surges},
        {QStringLiteral("count"), event.countAfter},
        {QStringLiteral("before"), event.countBefore},
        {QStringLiteral("kind"), event.reset ? QStringLiteral("reset") : QStringLiteral("surge")}};
    if (event.gapStart.isValid())
        json.insert(QStringLiteral("since"), Text::dateTimeText(event.gapStart));
    send({m_config.topic(QStringLiteral("surge")), QJsonDocument(json).toJson(QJsonDocument::Compact),
          MqttMessage::Kind::Event});
}

namespace {
QJsonObject alarmJson(const AlarmEntry& entry)
{
    return {{QStringLiteral("device_id"), entry.key.deviceId},
            {QStringLiteral("node_name"), entry.key.nodeName},
            {QStringLiteral("state"), AlarmStateTable::code(entry.state)},
            {QStringLiteral("since"), entry.since},
            {QStringLiteral("text"), entry.text}};
}
} // namespace

void MqttPublisher::alarmStatesChanged(const QVector<AlarmChange>& changes, const QVector<AlarmEntry>& active)
{
    for (const AlarmChange& change : changes) {
        QJsonObject json = alarmJson(change.entry);
        json.remove(QStringLiteral("since"));
        json.insert(QStringLiteral("time"), change.time);
        json.insert(QStringLiteral("user"), change.user.isEmpty() ? QJsonValue() : QJsonValue(change.user));
        send({m_config.topic(QStringLiteral("alarms/event")),
              QJsonDocument(json).toJson(QJsonDocument::Compact), MqttMessage::Kind::Event});
    }
    QJsonArray list;
    for (const AlarmEntry& entry : active)
        list.append(alarmJson(entry));
    const QByteArray payload = QJsonDocument(list).toJson(QJsonDocument::Compact);
    {
        const std::lock_guard lock(m_queueMutex);
        m_activeAlarms = payload;
    }
    send({m_config.topic(QStringLiteral("alarms/active")), payload, MqttMessage::Kind::State});
}

void MqttPublisher::send(MqttMessage message)
{
    if (!m_network)
        return;
    {
        const std::lock_guard lock(m_queueMutex);
        m_queue.push(std::move(message));
    }
    flush();
}

void MqttPublisher::flush()
{
    const std::lock_guard lock(m_queueMutex);
    while (m_network->connected) {
        const MqttMessage* message = m_queue.front();
        if (!message)
            return;
        const int rc = mosquitto_publish(m_network->client.get(), nullptr, message->topic.constData(),
                                         int(message->payload.size()), message->payload.constData(), kQos,
                                         message->retained());
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

void MqttPublisher::Network::run(const std::shared_ptr<Network>& network)
{
    int delay = kFirstRetrySeconds;
    for (bool first = true; !network->stopping(); first = false) {
        network->attempt(first);
        if (network->stopping())
            break;
        // A login refused will not pass sooner; a lost connection is back soonest.
        if (network->answer == 0)
            delay = kFirstRetrySeconds;
        else if (MqttClient::isLoginRefusal(network->answer))
            delay = kLastRetrySeconds;
        network->pause(delay);
        delay = qMin(delay * 2, kLastRetrySeconds);
    }
    if (network->connected) {
        network->connected = false;
        mosquitto_disconnect(network->client.get());
        mosquitto_loop(network->client.get(), kLoopMs, 1);
    }
    const std::lock_guard lock(network->mutex);
    network->finished = true;
    network->wake.notify_all();
}

void MqttPublisher::Network::attempt(bool first)
{
    answer = -1;
    tlsDetail.clear();
    mosquitto* handle = client.get();
    errno = 0;
    // The name lookup happens here, off the publisher's thread.
    int rc = first ? mosquitto_connect_async(handle, config.host.toUtf8().constData(), config.port,
                                             kKeepAliveSeconds)
                   : mosquitto_reconnect_async(handle);
    // errno tells the reason only right after the failing call.
    QString reason = rc == MOSQ_ERR_SUCCESS ? QString() : MqttClient::errorText(rc);
    while (rc == MOSQ_ERR_SUCCESS && !stopping()) {
        errno = 0;
        rc = mosquitto_loop(handle, kLoopMs, 1);
        if (rc != MOSQ_ERR_SUCCESS)
            reason = MqttClient::errorText(rc);
    }
    if (rc == MOSQ_ERR_SUCCESS)
        return; // told to stop
    connected = false;
    const QString hint = failureHint(reason);
    if (!hint.isEmpty())
        post(hint);
}

QString MqttPublisher::Network::failureHint(const QString& reason)
{
    const QString address = config.address();
    if (answer > 0) {
        link = Link::Connecting;
        return MqttClient::isLoginRefusal(answer)
                   ? QStringLiteral("MQTT: 用户名或密码被拒绝")
                   : QStringLiteral("MQTT: %1 拒绝连接 (%2)").arg(address, MqttClient::refusalText(answer));
    }
    if (link == Link::Connected) {
        link = Link::Lost;
        return QStringLiteral("MQTT: 与 %1 的连接中断 (%2)，正在重连").arg(address, reason);
    }
    if (link == Link::Lost)
        return {}; // the hint already says it is reconnecting
    // TLS failures are told only in the log, as OpenSSL's "error:...:reason" lines.
    return QStringLiteral("MQTT: 无法连接 %1 (%2)")
        .arg(address, tlsDetail.isEmpty() ? reason : QStringLiteral("TLS error: ") + tlsDetail);
}

void MqttPublisher::Network::post(const QString& hint)
{
    callPublisher([hint](MqttPublisher& target) {
        target.setHint(hint);
        target.flush();
    });
}

void MqttPublisher::Network::callPublisher(const std::function<void(MqttPublisher&)>& work)
{
    const std::lock_guard lock(mutex);
    if (!publisher)
        return;
    MqttPublisher* target = publisher;
    QMetaObject::invokeMethod(
        target, [target, work]() { work(*target); }, Qt::QueuedConnection);
}

bool MqttPublisher::Network::stopping()
{
    const std::lock_guard lock(mutex);
    return stop;
}

void MqttPublisher::Network::pause(int seconds)
{
    std::unique_lock lock(mutex);
    wake.wait_for(lock, std::chrono::seconds(seconds), [this]() { return stop; });
}

void MqttPublisher::Network::onConnect(mosquitto* client, void* self, int returnCode)
{
    auto* network = static_cast<Network*>(self);
    network->answer = returnCode;
    if (returnCode != 0)
        return; // the loop ends with an error and says why
    network->link = Link::Connected;
    if (!network->config.discoveryPrefix.isEmpty())
        mosquitto_subscribe(client, nullptr, HomeAssistant::birthTopic(network->config).constData(), kQos);
    mosquitto_publish(client, nullptr, network->config.topic(QStringLiteral("status")).constData(), 6,
                      "online", kQos, true);
    network->connected = true;
    network->callPublisher([](MqttPublisher& target) {
        target.setHint(QStringLiteral("MQTT: 已连接"));
        target.sendState();
        target.flush();
    });
}

void MqttPublisher::Network::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    // Home Assistant forgets what it was told when it starts again without
    // the broker's retained messages; it says "online" then.
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    if (payload == "online")
        static_cast<Network*>(self)->callPublisher([](MqttPublisher& target) { target.sendDiscovery(); });
}

void MqttPublisher::Network::onPublish(mosquitto*, void* self, int messageId)
{
    auto* network = static_cast<Network*>(self);
    ++network->acknowledged;
    network->lastAcked = messageId;
}

void MqttPublisher::Network::onLog(mosquitto*, void* self, int level, const char* text)
{
    static const char kTlsError[] = "OpenSSL Error";
    if (level == MOSQ_LOG_ERR && std::strncmp(text, kTlsError, sizeof kTlsError - 1) == 0)
        static_cast<Network*>(self)->tlsDetail = QString::fromUtf8(text).section(QLatin1Char(':'), -1);
}
