#pragma once

#include "monitor/PollEvents.h"
#include "mqtt/MqttClient.h"
#include "mqtt/MqttConfig.h"
#include "mqtt/MqttQueue.h"

#include <QObject>
#include <atomic>
#include <memory>

// Publishes a station's node readings and alarm records to an MQTT broker:
//   spdmon/<station>/node/<device_id>/<node_name>  retained JSON of the row
//   spdmon/<station>/alarm                         {"time":..,"text":..}
//   spdmon/<station>/status                        retained online/offline
// libmosquitto's own thread does the network work and reconnects; the poll
// step only hands a message over. While the broker is away messages wait in
// a bounded queue and go out in order once it is back. Lives on the thread
// that runs the poll step.
class MqttPublisher final : public QObject, public PollEvents
{
    Q_OBJECT
public:
    static constexpr int kQueueLimit = 2000;

    // Starts connecting at once; the hint tells how it goes.
    explicit MqttPublisher(const MqttConfig& config, int queueLimit = kQueueLimit, QObject* parent = nullptr);
    // Says "offline" (waiting at most a second for the broker) and disconnects.
    ~MqttPublisher() override;

    // A publisher for the settings in that file; null when there are none.
    static std::unique_ptr<MqttPublisher> fromConfigFile(const QString& path = MqttConfig::defaultPath());

    void nodeWritten(const QVariantMap& row) override;
    void alarmRecorded(const QString& time, const QString& text) override;

    // Short text for the status bar, e.g. "MQTT: 已连接".
    QString hint() const { return m_hint; }
    // Messages the broker has acknowledged so far.
    quint64 acknowledged() const { return m_acknowledged.load(); }
    int queued() const { return m_queue.size(); }
    int dropped() const { return m_queue.dropped(); }

signals:
    // Emitted on the publisher's thread, only when the text changes.
    void hintChanged(const QString& hint);

private:
    enum class Link { Connecting, Connected, Refused, Lost };

    void send(MqttMessage message);
    void flush();
    void setHint(const QString& hint);
    // A failed TLS handshake ends libmosquitto's thread: start it again later.
    void restartNetwork();
    // Network thread: hand a new hint over to the publisher's thread.
    void postHint(const QString& hint);

    static void onConnect(struct mosquitto* client, void* self, int returnCode);
    static void onDisconnect(struct mosquitto* client, void* self, int result);
    static void onPublish(struct mosquitto* client, void* self, int messageId);
    static void onLog(struct mosquitto* client, void* self, int level, const char* text);

    const MqttConfig m_config;
    MqttQueue m_queue;
    QString m_hint;
    MqttClient::Handle m_client;
    bool m_loopRunning = false;
    bool m_restartPending = false;
    // Written by the network thread only.
    Link m_link = Link::Connecting;
    std::atomic<bool> m_connected{false};
    std::atomic<quint64> m_acknowledged{0};
    std::atomic<int> m_lastAcked{0};
};
