#pragma once

#include "monitor/BusCounters.h"
#include "monitor/PollEvents.h"
#include "mqtt/DeviceTally.h"
#include "mqtt/HomeAssistant.h"
#include "mqtt/MqttConfig.h"
#include "mqtt/MqttQueue.h"
#include "store/AlarmStateTable.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Publishes a station's node readings and alarm records to an MQTT broker:
//   spdmon/<station>/node/<device_id>/<node_name>  retained JSON of the row
//   spdmon/<station>/alarm                         {"time":..,"text":..}
//   spdmon/<station>/surge                         {"device":..,"time":..,"surges":..,"count":..}
//   spdmon/<station>/status                        retained online/offline
//   spdmon/<station>/diag/<device_id>              retained JSON of the bus
//                                                  counters, at most every 10 s
//   spdmon/<station>/summary                       retained {"alarm":..,"commloss":..,"normal":..},
//                                                  the devices' counts, when they change
// and, with discovery on, Home Assistant's configurations of the station and
// its devices (see HomeAssistant.h), sent again whenever Home Assistant says
// it started. On each connection the configurations, the summary and the list
// of alarms not normal go out as they stand, for a broker that lost them.
//   spdmon/<station>/alarms/active                 retained JSON list of the alarms not normal
//   spdmon/<station>/alarms/event                  JSON of each change of an alarm's state
// A network thread of its own resolves, connects, and after any failure tries
// again with a growing pause, until the publisher ends it; the poll step only
// hands a message over. While the broker is away messages wait in a bounded
// queue and go out in order once it is back. Lives on the window's thread;
// the calls that hand a message over may come from any thread (the station's
// poll step, the window's device deletion) and keep their order, but what
// discovery keeps is the publisher's thread's alone.
class MqttPublisher final : public QObject, public PollEvents
{
    Q_OBJECT
public:
    static constexpr int kQueueLimit = 2000;
    static constexpr int kDiagnosticsIntervalMs = 10000;

    // Starts connecting at once; the hint tells how it goes.
    explicit MqttPublisher(const MqttConfig& config, int queueLimit = kQueueLimit, QObject* parent = nullptr);
    // Says "offline" (waiting at most a second for the broker), disconnects
    // and is gone within two seconds, whatever the broker or name server does.
    ~MqttPublisher() override;

    // A publisher for the settings in that file; null when there are none.
    static std::unique_ptr<MqttPublisher> fromConfigFile(const QString& path = MqttConfig::defaultPath());

    void nodeWritten(const QVariantMap& row) override;
    void alarmRecorded(const QString& time, const QString& text) override;
    // Also carries the count before, "kind" (surge or reset) and, after a
    // communication gap, "since": the last good reading before it.
    void surgeRecorded(const SurgeEvent& event) override;
    // The node is no longer stored under this device address and name: its
    // retained reading is cleared, in turn with the other messages.
    void nodeRemoved(int deviceId, const QString& nodeName);
    // The device is deleted: its diagnostics and its Home Assistant
    // configuration are cleared (on the publisher's thread, whoever calls).
    void deviceRemoved(int deviceId);
    // The devices as node_record holds them, on the publisher's thread: the
    // configuration of each device added or changed goes out, that of each
    // one gone is cleared.
    void devicesChanged(const QVector<HomeAssistant::Device>& devices);
    // The node_record rows held in the query, whose states the summary
    // counts until readings change them.
    void nodesStored(Query& nodes);
    // A device's bus counters changed; the latest go out once its interval is over.
    void countersChanged(const DeviceCounters& counters);
    // One event message per change, then the list of alarms not normal.
    void alarmStatesChanged(const QVector<AlarmChange>& changes, const QVector<AlarmEntry>& active);

    // Short text for the status bar, e.g. "MQTT: 已连接".
    QString hint() const { return m_hint; }
    // Messages the broker has acknowledged so far.
    quint64 acknowledged() const;
    int queued() const;
    int dropped() const;

signals:
    // Emitted on the publisher's thread, only when the text changes.
    void hintChanged(const QString& hint);

private:
    struct Network;

    struct Diagnostics
    {
        QElapsedTimer sent;
        std::optional<DeviceCounters> waiting;
    };

    void send(MqttMessage message);
    void flush();
    void setHint(const QString& hint);
    void sendDueDiagnostics();
    void sendDiscovery();
    // What a broker that has just been reached may not know.
    void sendState();
    // Changes the tally and queues the summary if its counts changed.
    template <typename Change> void tally(Change change);

    const MqttConfig m_config;
    // Held while a message is queued or handed to the client, so messages
    // leave in the order they came, whichever thread sends or flushes.
    mutable std::mutex m_queueMutex;
    MqttQueue m_queue;
    QString m_hint;
    QHash<int, Diagnostics> m_diagnostics;
    QTimer m_diagnosticsTimer;
    QHash<int, QByteArray> m_deviceConfigs; // the last sent of each device
    QByteArray m_activeAlarms;              // under m_queueMutex; null until told
    DeviceTally m_tally;                    // under m_queueMutex
    QByteArray m_summary;                   // under m_queueMutex; the last queued
    // Shared with the network thread, which may outlive the publisher while
    // a name lookup keeps it.
    std::shared_ptr<Network> m_network;
    std::thread m_thread;
};
