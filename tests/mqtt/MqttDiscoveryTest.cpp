// Home Assistant discovery and the bus diagnostics topic against a real
// mosquitto; mosquitto_sub, independent of the publisher, checks what arrives.
#include "MqttBroker.h"

#include "ScriptedBus.h"
#include "TestDatabase.h"

#include "app/Station.h"
#include "mqtt/MqttPublisher.h"
#include "store/FixedTexts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

using namespace Qt::StringLiterals;
using HomeAssistant::Role;

namespace {
// mosquitto_sub on the discovery prefix and spdmon/, as "topic|retained|payload" lines.
struct Watcher
{
    bool start(int port)
    {
        process.start(u"stdbuf"_s, {"-oL", "mosquitto_sub", "-p", QString::number(port), "-t",
                                    "homeassistant/#", "-t", "spdmon/#", "-d", "-F", "%t|%r|%p"});
        return QTest::qWaitFor([this]() { return !lines().filter(u"received SUBACK"_s).isEmpty(); }, 5000);
    }
    QStringList lines()
    {
        while (process.canReadLine())
            seen << QString::fromUtf8(process.readLine()).trimmed();
        return seen;
    }
    QStringList on(const QString& topic) // the payloads, in order
    {
        QStringList payloads;
        for (const QString& line : lines().filter(QRegularExpression(u"^"_s + topic + u"\\|"_s)))
            payloads << line.section(u'|', 2);
        return payloads;
    }

    // The last payload of each topic, but none of a topic emptied.
    QMap<QString, QString> held(const QString& topics)
    {
        QMap<QString, QString> result;
        for (const QString& line : lines().filter(QRegularExpression(u"^"_s + topics + u"\\|"_s)))
            result.insert(line.section(u'|', 0, 0), line.section(u'|', 2));
        result.removeIf([](const auto& it) { return it.value().isEmpty(); });
        return result;
    }

    QProcess process;
    QStringList seen;
};

} // namespace

class MqttDiscoveryTest final : public QObject
{
    Q_OBJECT
private slots:
    void announcedAsTheDevicesStand();
    void stationAnnouncesWithoutMonitoring();
    void stationNamesKeptApart_data();
    void stationNamesKeptApart();
    void discoveryStaysOnTheWindowsThread();
    void fullQueueKeepsWhatClearsAndLists();
    void summaryCountsDevices();
    void diagnostics();
};

// Configurations come from the devices, not from readings; a broker that lost
// its retained messages gets them and the active alarms on reconnecting.
void MqttDiscoveryTest::announcedAsTheDevicesStand()
{
    MqttBroker broker;
    Watcher sub;
    QVERIFY(broker.start() && sub.start(broker.port()));
    broker.writeConfig(u"discovery=homeassistant\nstation=room-2"_s);
    MqttPublisher publisher(*MqttConfig::load(MqttConfig::defaultPath()));
    const HomeAssistant::Device kpv1{
        1, u"KPV1"_s, {{Role::Status, u"st"_s}, {Role::Protector, u"2#柜+"_s}, {Role::SurgeCount, u"n"_s}}};
    publisher.devicesChanged({kpv1, {2, u"KPV2"_s, {{Role::Status, u"设备状态"_s}}}});
    publisher.alarmStatesChanged({}, {{{2, QString()}, AlarmState::ActiveUnacknowledged, u"t"_s, u"x"_s}});
    const QString topic = u"homeassistant/device/spdmon_room-2_%1/config"_s;
    QTRY_VERIFY(!sub.on(topic.arg(1)).isEmpty() && !sub.on(topic.arg(2)).isEmpty() &&
                !sub.on(topic.arg(u"station"_s)).isEmpty());
    const auto config = [&](const QString& device) {
        return QJsonDocument::fromJson(sub.on(topic.arg(device)).last().toUtf8()).object();
    };
    QStringList seen;
    for (const QString& device : {u"1"_s, u"2"_s, u"station"_s}) {
        const QJsonObject components = config(device)[u"components"_s].toObject();
        for (const QString& key : components.keys()) {
            const QJsonObject c = components[key].toObject();
            QVERIFY(!c.contains(u"object_id"_s) && c[u"unique_id"_s] == key &&
                    c[u"default_entity_id"_s] == c[u"platform"_s].toString() + u'.' + key.toLower());
            seen << key.section(u'_', 2) + u' ' + c[u"device_class"_s].toString() +
                        c[u"state_class"_s].toString() + u' ' + c[u"state_topic"_s].toString();
        }
        const QJsonObject about = config(device)[u"device"_s].toObject();
        QCOMPARE(device == u"station"_s ? about[u"identifiers"_s][0].toString()
                                        : about[u"via_device"_s].toString(),
                 u"spdmon_room-2_station"_s);
    }
    QCOMPARE(seen, (QStringList{u"1_communication connectivity spdmon/room-2/node/1/st"_s,
                                u"1_protector problem spdmon/room-2/node/1/2_柜_"_s,
                                u"1_status problem spdmon/room-2/node/1/st"_s,
                                u"1_surges total_increasing spdmon/room-2/node/1/n"_s,
                                u"2_communication connectivity spdmon/room-2/node/2/设备状态"_s,
                                u"2_status problem spdmon/room-2/node/2/设备状态"_s,
                                u"station_connection connectivity spdmon/room-2/status"_s}));

    // Readings announce nothing (names go out with MQTT's wildcards replaced);
    // a renamed device is announced once.
    const qsizetype before = sub.on(topic.arg(1)).size();
    for (int i = 0; i < 3; ++i)
        publisher.nodeWritten({{u"device_id"_s, 1}, {u"node_name"_s, u"2#柜+"_s}, {u"node_reg_add"_s, 9}});
    publisher.devicesChanged({kpv1, {2, u"KPV2b"_s, {{Role::Status, u"设备状态"_s}}}});
    QTRY_COMPARE(config(u"2"_s)[u"device"_s][u"name"_s].toString(), u"KPV2b"_s);
    QCOMPARE(sub.on(topic.arg(1)).size(), before);
    QCOMPARE(sub.on(u"spdmon/room-2/node/1/2_柜_"_s).size(), 3);

    broker.forget();
    QVERIFY(broker.start());
    Watcher late;
    QVERIFY(late.start(broker.port()));
    QTRY_VERIFY(late.on(u"spdmon/room-2/alarms/active"_s).value(0).contains(u"\"text\":\"x\""_s) &&
                late.on(topic.arg(2)).value(0) == sub.on(topic.arg(2)).last());
}

// Monitoring never started: the broker still learns every device in the file
// and the alarms left from the last run.
void MqttDiscoveryTest::stationAnnouncesWithoutMonitoring()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    broker.writeConfig(u"discovery=homeassistant"_s);
    TestDatabase db;
    db.exec(
        u"INSERT INTO node_record (device_id, device_name, node_name, node_reg_add, communication_status, "
        "alarm_status, read_time) VALUES (4, 'KPV4', '设备状态', 11, '通信正常', '告警', 't'), "
        "(7, 'KPV7', '浪涌次数', 5, '通信正常', '正常', 't'), (8, 'KPV8', '浪涌次数', 5, '', '', NULL)"_s);
    db.exec(
        u"INSERT INTO alarm_state VALUES (7, '', 'active_acknowledged', '2025-06-01 10:00:00', 'lost')"_s);
    Station station(db.connection());
    Watcher sub;
    QVERIFY(sub.start(broker.port()));
    QTRY_VERIFY(sub.on(u"spdmon/st/alarms/active"_s).value(0).contains(u"\"text\":\"lost\""_s) &&
                sub.on(u"homeassistant/device/spdmon_st_4/config"_s).value(0).contains(u"KPV4"_s) &&
                sub.on(u"homeassistant/device/spdmon_st_7/config"_s).value(0).contains(u"KPV7"_s));
    // A device never read is not counted.
    QTRY_COMPARE(sub.on(u"spdmon/st/summary"_s).value(0), u"{\"alarm\":1,\"commloss\":0,\"normal\":1}"_s);
}

void MqttDiscoveryTest::stationNamesKeptApart_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("Chinese") << u"一号机房"_s << u"二号机房"_s;
    QTest::newRow("blank or underscore") << u"room 2"_s << u"room_2"_s;
}

// Each station's devices under ids of their own, of the characters ids may hold.
void MqttDiscoveryTest::stationNamesKeptApart()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    MqttBroker broker;
    QVERIFY(broker.start());
    std::vector<std::unique_ptr<MqttPublisher>> stations;
    for (const QString& name : {first, second}) {
        stations.push_back(std::make_unique<MqttPublisher>(
            *MqttConfig::load(broker.writeConfig(u"discovery=homeassistant\nstation="_s + name))));
        stations.back()->devicesChanged({{3, name, {{Role::Status, u"设备状态"_s}}}});
    }
    Watcher sub;
    QVERIFY(sub.start(broker.port()));
    const QString configs = u"homeassistant/device/spdmon_[a-zA-Z0-9_-]+_3/config"_s;
    QTRY_COMPARE(sub.held(configs).size(), 2);
}

// The station's poll steps hand readings over on its thread while devices
// are deleted and Home Assistant starts again on the window's: what discovery
// keeps is touched on the window's thread alone (scripts/sanitize.sh runs this
// under ThreadSanitizer), so a reading announces no deleted device again.
void MqttDiscoveryTest::discoveryStaysOnTheWindowsThread()
{
    MqttBroker broker;
    Watcher sub;
    QVERIFY(broker.start() && sub.start(broker.port()));
    broker.writeConfig(u"discovery=homeassistant"_s);
    TestDatabase db;
    db.exec(u"INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add) "
            "SELECT column1, 'KPV', '设备状态', 3, 11 FROM (VALUES (1), (2), (3), (4), (5), (6))"_s);
    ScriptedBus bus; // every device answers
    Station station(db.connection());
    station.setBus(&bus);
    station.selection.SelectedKind = SelectionKind::kSystem;
    station.openPollScope();
    station.startPolling(1, 0);
    const QStringList birth{"-p",    QString::number(broker.port()), "-t", "homeassistant/status", "-m",
                            "online"};
    const QString topic = u"homeassistant/device/spdmon_st_%1/config"_s;
    QTRY_COMPARE(sub.on(topic.arg(6)).size(), 2); // told at start, again on connecting
    for (int device = 1; device <= 5; ++device) {
        QTRY_VERIFY(sub.on(u"spdmon/st/node/%1/设备状态"_s.arg(device)).size() >= 2);
        station.publisher()->deviceRemoved(device);
        QVERIFY(QProcess::execute(u"mosquitto_pub"_s, birth) == 0);
    }
    const qsizetype read = sub.on(u"spdmon/st/node/5/设备状态"_s).size();
    QTRY_VERIFY(sub.on(u"spdmon/st/node/5/设备状态"_s).size() >= read + 2);
    QTRY_COMPARE(sub.on(topic.arg(6)).size(), 7);
    QCOMPARE(sub.held(u"homeassistant/device/.+"_s).keys(),
             (QStringList{topic.arg(6), topic.arg(u"station"_s)}));
}

// With room for three messages while the broker is away, readings make room
// for the clearing of a deleted device, the alarm list and a configuration.
void MqttDiscoveryTest::fullQueueKeepsWhatClearsAndLists()
{
    MqttBroker broker;
    Watcher sub;
    QVERIFY(broker.start() && sub.start(broker.port()));
    MqttPublisher publisher(*MqttConfig::load(broker.writeConfig(u"discovery=homeassistant"_s)), 3);
    publisher.devicesChanged({{1, u"KPV1"_s, {}}});
    publisher.nodeWritten({{u"device_id"_s, 1}, {u"node_name"_s, u"a"_s}});
    QTRY_VERIFY(!sub.on(u"spdmon/st/node/1/a"_s).isEmpty());
    broker.stop();
    QTRY_VERIFY(publisher.hint().contains(u"正在重连"_s));
    for (int i = 0; i < 5; ++i)
        publisher.nodeWritten({{u"device_id"_s, 2}, {u"node_name"_s, QString::number(i)}});
    publisher.nodeRemoved(1, u"a"_s);
    publisher.deviceRemoved(1);
    publisher.alarmStatesChanged({}, {});
    publisher.devicesChanged({{2, u"KPV2"_s, {}}});
    QVERIFY(broker.start());
    QTRY_COMPARE_WITH_TIMEOUT(publisher.hint(), u"MQTT: 已连接"_s, 20000);
    Watcher late;
    QVERIFY(late.start(broker.port()));
    QTRY_COMPARE(late.held(u".+"_s).keys(),
                 (QStringList{u"homeassistant/device/spdmon_st_2/config"_s,
                              u"homeassistant/device/spdmon_st_station/config"_s,
                              u"spdmon/st/alarms/active"_s, u"spdmon/st/status"_s, u"spdmon/st/summary"_s}));
}

// The fleet page's tiles read one message per station: a device counts once,
// in the worst state of its nodes, until its last node goes; only changes are sent.
void MqttDiscoveryTest::summaryCountsDevices()
{
    MqttBroker broker;
    Watcher sub;
    QVERIFY(broker.start() && sub.start(broker.port()));
    MqttPublisher publisher(*MqttConfig::load(broker.writeConfig({})));
    QTRY_COMPARE(publisher.hint(), u"MQTT: 已连接"_s);
    const auto node = [&](int device, const QString& name, const QString& comm, const QString& alarm) {
        publisher.nodeWritten({{u"device_id"_s, device},
                               {u"node_name"_s, name},
                               {u"communication_status"_s, comm},
                               {u"alarm_status"_s, alarm}});
    };
    const auto counts = [&]() {
        return sub.on(u"spdmon/st/summary"_s).value(sub.on(u"spdmon/st/summary"_s).size() - 1);
    };
    const QString ok = u"通信正常"_s;
    node(1, u"a"_s, ok, u"正常"_s);
    node(1, u"b"_s, ok, u"告警"_s);
    node(2, u"a"_s, ok, u"正常"_s);
    node(3, u"a"_s, u"通信异常"_s, u"正常"_s);
    QTRY_COMPARE(counts(), u"{\"alarm\":1,\"commloss\":1,\"normal\":1}"_s);
    node(2, u"b"_s, u"通信异常"_s, u"告警"_s);
    QTRY_COMPARE(counts(), u"{\"alarm\":1,\"commloss\":2,\"normal\":0}"_s);
    const qsizetype sent = sub.on(u"spdmon/st/summary"_s).size();
    node(1, u"a"_s, ok, u"正常"_s);
    publisher.nodeRemoved(2, u"b"_s);
    QTRY_COMPARE(counts(), u"{\"alarm\":1,\"commloss\":1,\"normal\":1}"_s);
    QCOMPARE(sub.on(u"spdmon/st/summary"_s).size(), sent + 1);
    publisher.nodeRemoved(2, u"a"_s);
    publisher.deviceRemoved(3);
    QTRY_COMPARE(counts(), u"{\"alarm\":1,\"commloss\":0,\"normal\":0}"_s);
}

// The first counts at once, the latest once ten seconds are over, not before.
void MqttDiscoveryTest::diagnostics()
{
    MqttBroker broker;
    Watcher sub;
    QVERIFY(broker.start() && sub.start(broker.port()));
    MqttPublisher publisher(*MqttConfig::load(broker.writeConfig(u"station=Hall 2.西"_s)));
    QTRY_COMPARE(publisher.hint(), u"MQTT: 已连接"_s);
    const QString diag = u"spdmon/Hall 2.西/diag/7"_s;
    DeviceCounters counters;
    counters.deviceId = 7;
    for (int request = 1; request <= 3; ++request) {
        counters.requests = counters.noReply = request;
        publisher.countersChanged(counters);
    }
    QTRY_COMPARE(sub.on(diag).size(), 1);
    const QJsonObject first = QJsonDocument::fromJson(sub.on(diag).value(0).toUtf8()).object();
    QCOMPARE(first[u"requests"_s].toInt() + first[u"no_reply"_s].toInt(), 2);
    QVERIFY(first[u"response_ms_min"_s].isNull() && first[u"last_good"_s].isNull());
    QTest::qWait(7500);
    QCOMPARE(sub.on(diag).size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(sub.on(diag).size(), 2, 5000);
    QVERIFY(sub.on(diag).last().contains(u"\"requests\":3"_s));
}

QTEST_MAIN(MqttDiscoveryTest)
#include "MqttDiscoveryTest.moc"
