// A fleet of stations for the fleet page: one MqttPublisher per station, as
// spdmon runs it, publishes the retained state of its KPV devices (three
// nodes each, bus counts, active alarms), prints "ready" once the broker has
// acknowledged all of it, then sends live readings at the given rate until
// killed (the broker then says each station is offline: its last will).
// A line "alarm <device>" on stdin raises that device's surge protector alarm
// at every station.
//
//   fleet_gen --port 1883 --stations 50 --devices 247 --password pw [--rate 200]
//
// Station n is room-<n> and logs in as room-<n> with the given password.
#include "mqtt/MqttPublisher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct Station
{
    std::unique_ptr<MqttPublisher> publisher;
    QVector<AlarmEntry> active;
};

class Fleet final
{
public:
    Fleet(int devices, int alarmEvery, QString firstName)
        : m_devices(devices), m_alarmEvery(alarmEvery), m_firstName(std::move(firstName))
    {}

    QString name(int device) const
    {
        return device == 1 && !m_firstName.isEmpty() ? m_firstName : QString("KPV%1").arg(device);
    }
    // Every alarmEvery-th device in alarm, the one after it not answering.
    bool inAlarm(int device) const { return m_alarmEvery > 0 && device % m_alarmEvery == 0; }
    bool lost(int device) const { return m_alarmEvery > 0 && device % m_alarmEvery == 1 && device > 1; }

    void node(MqttPublisher& publisher, int device, const QString& nodeName, int value, bool alarm,
              bool commLost) const
    {
        const bool counter = nodeName == "浪涌次数";
        publisher.nodeWritten({{"device_id", device},
                               {"device_name", name(device)},
                               {"node_name", nodeName},
                               {"node_data", value},
                               {"con_data", counter ? QString::number(value)
                                            : alarm ? "异常"
                                                    : "正常"},
                               {"communication_status", commLost ? "通信异常" : "通信正常"},
                               {"alarm_status", alarm ? "告警" : "正常"},
                               {"read_time", now()}});
    }

    void device(MqttPublisher& publisher, int id, bool alarm, bool commLost) const
    {
        node(publisher, id, "设备状态", 0, false, commLost);
        node(publisher, id, "浪涌保护器", alarm ? 65535 : 0, alarm, commLost);
        node(publisher, id, "浪涌次数", 40 + id % 7, false, commLost);
    }

    void fill(Station& station) const
    {
        MqttPublisher& publisher = *station.publisher;
        for (int id = 1; id <= m_devices; ++id) {
            device(publisher, id, inAlarm(id), lost(id));
            DeviceCounters counters;
            counters.deviceId = id;
            counters.requests = counters.good = 120;
            counters.lastMs = counters.minMs = counters.maxMs = 12;
            counters.totalMs = 1440;
            counters.lastGood = QDateTime::currentDateTime();
            publisher.countersChanged(counters);
            if (inAlarm(id))
                station.active.prepend(entry(id, "浪涌保护器", ":异常"));
            if (lost(id))
                station.active.prepend(entry(id, QString(), "通信异常"));
        }
        publisher.alarmStatesChanged({}, station.active);
    }

    void raise(Station& station, int id) const
    {
        device(*station.publisher, id, true, false);
        const AlarmEntry raised = entry(id, "浪涌保护器", ":异常");
        station.active.prepend(raised);
        station.publisher->alarmRecorded(raised.since, raised.text);
        station.publisher->alarmStatesChanged({{raised, raised.since, QString()}}, station.active);
    }

private:
    static QString now() { return QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss"); }

    AlarmEntry entry(int id, const QString& nodeName, const QString& what) const
    {
        const QString text = QString("%1[%2];  %3%4").arg(name(id)).arg(id).arg(nodeName, what);
        return {{id, nodeName}, AlarmState::ActiveUnacknowledged, now(), text};
    }

    int m_devices;
    int m_alarmEvery;
    QString m_firstName;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption port("port", "broker's MQTT port", "port");
    const QCommandLineOption stations("stations", "how many stations", "n", "50");
    const QCommandLineOption first("first", "number of the first station", "n", "1");
    const QCommandLineOption devices("devices", "devices per station", "n", "247");
    const QCommandLineOption password("password", "every station's password", "text");
    const QCommandLineOption alarmEvery("alarm-every", "every n-th device in alarm (0: none)", "n", "20");
    const QCommandLineOption firstName("first-name", "name of each station's device 1", "text");
    const QCommandLineOption rate("rate", "live readings a second after the retained state", "n", "0");
    parser.addOptions({port, stations, first, devices, password, alarmEvery, firstName, rate});
    parser.process(app);

    const Fleet fleet(parser.value(devices).toInt(), parser.value(alarmEvery).toInt(),
                      parser.value(firstName));
    std::vector<Station> fleetStations(size_t(parser.value(stations).toInt()));
    int connected = 0;
    int number = parser.value(first).toInt();
    QElapsedTimer clock;
    clock.start();
    for (Station& station : fleetStations) {
        MqttConfig config;
        config.host = "127.0.0.1";
        config.port = parser.value(port).toInt();
        config.station = config.username = QString("room-%1").arg(number++);
        config.password = parser.value(password);
        station.publisher = std::make_unique<MqttPublisher>(config);
        const QString name = config.station;
        QObject::connect(station.publisher.get(), &MqttPublisher::hintChanged,
                         [&, name](const QString& hint) {
                             std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(hint));
                             if (hint == "MQTT: 已连接" && ++connected == int(fleetStations.size())) {
                                 for (Station& each : fleetStations)
                                     fleet.fill(each);
                             }
                         });
    }

    // A device's three readings at a time, spread over the fleet, in 20 bursts a second.
    QTimer live;
    const int perBurst = qMax(1, parser.value(rate).toInt() / 60);
    QObject::connect(&live, &QTimer::timeout, [&]() {
        auto* random = QRandomGenerator::global();
        for (int i = 0; i < perBurst; ++i) {
            Station& station = fleetStations[random->bounded(int(fleetStations.size()))];
            const int id = 1 + random->bounded(parser.value(devices).toInt());
            fleet.device(*station.publisher, id, fleet.inAlarm(id), fleet.lost(id));
        }
    });

    // Every station's messages acknowledged: the retained state is at the broker.
    const quint64 perStation = 1 + quint64(parser.value(devices).toInt()) * 4 + 1;
    QTimer ready;
    QObject::connect(&ready, &QTimer::timeout, [&]() {
        for (const Station& station : fleetStations) {
            if (station.publisher->acknowledged() < perStation)
                return;
        }
        ready.stop();
        if (parser.value(rate).toInt() > 0)
            live.start(50);
        std::printf("ready: %llu retained messages from %zu stations in %lld ms\n",
                    static_cast<unsigned long long>(perStation * fleetStations.size()), fleetStations.size(),
                    clock.elapsed());
        std::fflush(stdout);
    });
    ready.start(20);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&]() {
        char line[64] = {};
        const ssize_t got = ::read(STDIN_FILENO, line, sizeof line - 1);
        if (got <= 0) {
            input.setEnabled(false);
            return;
        }
        int id = 0;
        if (std::sscanf(line, "alarm %d", &id) == 1) {
            for (Station& station : fleetStations)
                fleet.raise(station, id);
        }
    });
    return app.exec();
}
