// The station's publisher against a real mosquitto, fed by the poll cycle
// reading kpv-sim through the real link library; mosquitto_sub, independent
// of the publisher, checks what arrives.
#include "KpvSim.h"
#include "MqttBroker.h"
#include "TestDatabase.h"

#include "link/ModbusRtuBus.h"
#include "monitor/AlarmStates.h"
#include "monitor/PollCycle.h"
#include "mqtt/MqttPublisher.h"
#include "store/StationState.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <thread>

using namespace Qt::StringLiterals;

namespace {
constexpr int kPort = 202;

// Two KPV devices with their three nodes on kpv-sim, polled without a pause.
struct Station
{
    explicit Station(PollEvents* events)
    {
        qputenv("SPDMON_PORT_DIR", portDir.path().toLocal8Bit());
        for (int device = 1; device <= 2; ++device)
            db.exec(
                u"INSERT INTO node_record (device_id, device_name, node_code, node_alarm_type, node_name, "
                "node_reg_add, con_data_type, node_data_lower, node_data_upper) VALUES "
                "(%1, 'KPV%1', 3, '0000(正常)/FFFF(异常)', '设备状态', 11, '开关量', 0, 65535), "
                "(%1, 'KPV%1', 3, '0000(正常)/FFFF(异常)', '浪涌保护器', 9, '开关量', 0, 65535), "
                "(%1, 'KPV%1', 3, '', '浪涌次数', 5, '模拟量', 0, 3)"_s.arg(device));
        state.MonitorPeriod = 0;
        cycle.setEvents(events);
        cycle.setAlarmStates(&alarms);
        scope.setSql(u"select * from node_record order by  device_id ASC, node_name ASC"_s);
        scope.open();
        started = sim.start(kPort, {1, 2}) && bus.comOpen(kPort, 9600, 8, "n", 1) == 1;
    }
    ~Station() { bus.comClose(kPort); }
    bool stepUntil(const QString& sql, const QString& value)
    {
        for (int step = 0; step < 60 && db.column(sql) != QStringList{value}; ++step)
            cycle.pollTick();
        return db.column(sql) == QStringList{value};
    }

    QTemporaryDir portDir;
    TestDatabase db;
    const LineSettings line{kPort, 9600, 8, 1, u"n"_s, u"打开"_s};
    PollState state;
    Query scope{db.connection()};
    AlarmStates alarms{db.connection()};
    ModbusRtuBus bus;
    PollCycle cycle{line, state, scope, &bus};
    KpvSim sim;
    bool started = false;
};

// Payloads of "topic|retained|payload" lines, and those of the newest message of each topic.
QList<QJsonObject> payloads(const QStringList& lines)
{
    QList<QJsonObject> result;
    for (const QString& line : lines)
        result << QJsonDocument::fromJson(line.section(u'|', 2).toUtf8()).object();
    return result;
}
QMap<QString, QJsonObject> nodes(const QStringList& lines)
{
    QMap<QString, QJsonObject> result;
    for (const QString& line : lines) {
        if (line.section(u'|', 2).isEmpty()) // an empty retained message clears the topic
            result.remove(line.section(u'|', 0, 0));
        else
            result.insert(line.section(u'|', 0, 0), payloads({line}).first());
    }
    return result;
}
QMap<QString, QJsonObject> nodes(Station& s)
{
    return nodes(
        s.db.column(u"SELECT 'spdmon/st/node/' || device_id || '/' || node_name || '|1|' || "
                    "json_object('device_id', device_id, 'device_name', device_name, 'node_name', node_name, "
                    "'node_data', node_data, 'con_data', con_data, 'communication_status', "
                    "communication_status, 'alarm_status', alarm_status, 'read_time', read_time) "
                    "FROM node_record"_s));
}
} // namespace

class MqttPublisherTest final : public QObject
{
    Q_OBJECT
private slots:
    void readingsAndAlarmsSurviveBrokerRestart()
    {
        MqttBroker broker;
        MqttSubscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        // Room for four messages while the broker is away.
        auto publisher = std::make_unique<MqttPublisher>(*MqttConfig::load(broker.writeConfig({})), 4);
        QTRY_COMPARE(publisher->hint(), u"MQTT: 已连接"_s);
        Station s(publisher.get());
        QVERIFY(s.started && s.sim.command(u"surge 1 4"_s));
        QVERIFY(s.stepUntil(u"SELECT COUNT(*) FROM alarm_record"_s, u"1"_s));
        QTRY_COMPARE(sub.messages(u"/alarm"_s).size(), 1);
        const QStringList before = sub.messages(u"/alarm"_s);

        broker.stop();
        sub.stop();
        QTRY_COMPARE(publisher->hint(),
                     u"MQTT: 与 127.0.0.1:%1 的连接中断 (connection lost)，正在重连"_s.arg(broker.port()));
        QVERIFY(s.sim.command(u"abnormal 2"_s));
        QVERIFY(s.stepUntil(u"SELECT COUNT(*) FROM alarm_record"_s, u"3"_s));
        QCOMPARE(s.db.column(u"SELECT 告警纪录 FROM alarm_record ORDER BY 告警纪录"_s),
                 (QStringList{u"KPV1[1];  浪涌次数:4;  信息:超限告警"_s, u"KPV2[2];  浪涌保护器:异常"_s,
                              u"KPV2[2];  设备状态:异常"_s}));
        // Four nodes read (two of them three times) and two alarms: the readings
        // of a node replace each other, and the two oldest make room for alarms.
        QCOMPARE(publisher->queued(), 4);
        QCOMPARE(publisher->dropped(), 2);

        // Back: every alarm arrives in order, at least once (QoS 1 resends a message whose
        // acknowledgement the broken connection lost); a pass brings every node up to date.
        QVERIFY(broker.start() && sub.start(broker.port()));
        QTRY_COMPARE_WITH_TIMEOUT(publisher->hint(), u"MQTT: 已连接"_s, 20000);
        for (int step = 0; step < 6; ++step)
            s.cycle.pollTick();
        QTRY_COMPARE(nodes(sub.messages(u"/node/"_s)), nodes(s));
        QStringList alarms = before + sub.messages(u"/alarm"_s);
        alarms.removeDuplicates(); // a consumer tells repeats apart by time and text
        QCOMPARE(payloads(alarms),
                 payloads(s.db.column(u"SELECT '||' || json_object('time', 告警时间, 'text', 告警纪录) FROM "
                                      "alarm_record ORDER BY rowid"_s)));

        // A late subscriber finds the state in the retained messages alone (the last
        // steps' readings may still arrive live beside them).
        sub.stop();
        QVERIFY(sub.start(broker.port()));
        QTRY_COMPARE(nodes(sub.messages(u"/node/"_s).filter(u"|1|"_s)), nodes(s));
        QCOMPARE(sub.messages(u"/status"_s), QStringList{u"spdmon/st/status|1|online"_s});

        publisher.reset();
        QTRY_COMPARE(sub.messages(u"/status"_s).last(), u"spdmon/st/status|0|offline"_s);
    }

    // The station's thread publishes readings while the window's clears retained
    // topics: every message goes out, each thread's in the order it sent them.
    void twoThreadsKeepTheirOrder()
    {
        MqttBroker broker;
        MqttSubscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        MqttPublisher publisher(*MqttConfig::load(broker.writeConfig({})));
        QTRY_COMPARE(publisher.hint(), u"MQTT: 已连接"_s);
        constexpr int kEach = 300;
        std::thread station([&publisher]() {
            for (int i = 0; i < kEach; ++i)
                publisher.nodeWritten({{u"device_id"_s, 1}, {u"node_name"_s, u"n"_s}, {u"node_data"_s, i}});
        });
        for (int i = 0; i < kEach; ++i)
            publisher.nodeRemoved(2, QString::number(i));
        station.join();
        QTRY_COMPARE(sub.messages(u"/node/"_s).size(), 2 * kEach);
        QStringList written;
        QStringList removed;
        for (const QString& line : sub.messages(u"/node/"_s))
            (line.contains(u"/1/n|"_s) ? written : removed) << line.section(u'/', 4);
        for (int i = 0; i < kEach; ++i)
            QVERIFY(written.at(i).contains(u"\"node_data\":%1,"_s.arg(i)) &&
                    removed.at(i) == u"%1|0|"_s.arg(i));
    }

    // Each change of an alarm's state is an event; a late subscriber finds the
    // alarms not normal as the file holds them.
    void alarmStatesPublished()
    {
        MqttBroker broker;
        MqttSubscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        MqttPublisher publisher(*MqttConfig::load(broker.writeConfig({})));
        QTRY_COMPARE(publisher.hint(), u"MQTT: 已连接"_s);
        Station s(&publisher);
        connect(&s.alarms, &AlarmStates::changed, &publisher, &MqttPublisher::alarmStatesChanged);
        QVERIFY(s.started && s.sim.command(u"surge 1 4"_s));
        // A slow machine may see a device lost meanwhile: only the count alarm is picked.
        const QString alarm = u"alarm_state WHERE device_id=1 AND node_name='浪涌次数'"_s;
        QVERIFY(s.stepUntil(u"SELECT COUNT(*) FROM "_s + alarm, u"1"_s));
        s.alarms.acknowledge({{{1, u"浪涌次数"_s}, s.db.column(u"SELECT since FROM "_s + alarm).value(0)}},
                             u"op"_s);
        QCOMPARE(s.db.count(u"alarm_event WHERE state='active_acknowledged' AND user_name='op'"_s), 1);
        QTRY_COMPARE(
            payloads(sub.messages(u"/alarms/event"_s)),
            payloads(s.db.column(u"SELECT '||' || json_object('time', event_time, 'device_id', device_id, "
                                 "'node_name', node_name, 'state', state, 'user', user_name, 'text', text) "
                                 "FROM alarm_event ORDER BY rowid"_s)));
        sub.stop();
        QVERIFY(sub.start(broker.port()));
        // The retained list alone counts: a last live copy may arrive beside it.
        QTRY_COMPARE(sub.messages(u"/alarms/active"_s).filter(u"|1|"_s).size(), 1);
        QCOMPARE(
            QJsonDocument::fromJson(
                sub.messages(u"/alarms/active"_s).filter(u"|1|"_s).first().section(u'|', 2).toUtf8()),
            QJsonDocument::fromJson(
                s.db.column(u"SELECT json_group_array(json_object('device_id', device_id, 'node_name', "
                            "node_name, 'state', state, 'since', since, 'text', text)) FROM alarm_state"_s)
                    .value(0)
                    .toUtf8()));
    }

    void faultsOnlyChangeTheHint_data()
    {
        QTest::addColumn<bool>("brokerUp");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("check"); // what the check tool says
        const QString login = u"username=spd\npassword="_s;
        QTest::newRow("login accepted") << true << login + u"right"_s << u"MQTT: 已连接"_s << u"passed"_s;
        QTest::newRow("login refused") << true << login + u"wrong"_s << u"MQTT: 用户名或密码被拒绝"_s
                                       << u"refused the connection: not authorised"_s;
        QTest::newRow("TLS to a plain listener")
            << true << login + u"right\ncafile=/etc/ssl/certs/ca-certificates.crt"_s
            << u"MQTT: 无法连接 127.0.0.1:%1 (TLS error: unexpected eof while reading)"_s << u"TLS error"_s;
        QTest::newRow("nothing listening")
            << false << QString() << u"MQTT: 无法连接 127.0.0.1:%1 (Connection refused)"_s
            << u"cannot reach 127.0.0.1:%1: Connection refused"_s;
    }

    void faultsOnlyChangeTheHint()
    {
        QFETCH(bool, brokerUp);
        QFETCH(QString, settings);
        QFETCH(QString, hint);
        QFETCH(QString, check);
        MqttBroker broker(true);
        QVERIFY(!brokerUp || broker.start());
        const QString port = QString::number(broker.port());
        const QString config = broker.writeConfig(settings);
        MqttPublisher publisher(*MqttConfig::load(config));
        QSignalSpy hints(&publisher, &MqttPublisher::hintChanged);
        QTRY_COMPARE(publisher.hint(), hint.replace(u"%1"_s, port));

        // The steps go on as ever; while refused, each node's reading waits.
        Station s(&publisher);
        QVERIFY(s.started);
        QVERIFY(
            s.stepUntil(u"SELECT COUNT(*) FROM node_record WHERE communication_status='通信正常'"_s, u"6"_s));
        QTest::qWait(1500); // the connection is retried meanwhile: the hint is said once
        QCOMPARE(publisher.queued(), hint == u"MQTT: 已连接"_s ? 0 : 6);
        QCOMPARE(hints.size(), 1); // connecting is the network thread's, even the first attempt

        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(QStringLiteral(MQTT_CHECK_PATH), {config});
        QVERIFY(tool.waitForFinished(15000));
        const QString said = QString::fromUtf8(tool.readAll());
        QVERIFY2(said.contains(check.replace(u"%1"_s, port)), qPrintable(said));
        QCOMPARE(tool.exitCode(), check == u"passed"_s ? 0 : 1);
    }

    void shutdownIsQuickWhateverTheBroker_data()
    {
        QTest::addColumn<int>("fillers");
        QTest::newRow("never answers") << 0;
        QTest::newRow("backlog full") << 2;
    }

    void shutdownIsQuickWhateverTheBroker()
    {
        QFETCH(int, fillers);
        MqttBroker broker; // its port and settings only
        // A listener that takes connections and never says a word; with fillers
        // connections waiting beyond its backlog of none, later ones are not even taken.
        QProcess listener;
        listener.start(u"python3"_s,
                       {u"-c"_s,
                        u"import socket, sys, time\nport, n = int(sys.argv[1]), int(sys.argv[2])\n"
                        "l = socket.create_server(('127.0.0.1', port), backlog=0 if n else 8)\n"
                        "fillers = [socket.socket() for _ in range(n)]\nfor s in fillers:\n"
                        "    s.setblocking(False)\n    s.connect_ex(('127.0.0.1', port))\n"
                        "print('listening', flush=True)\ntime.sleep(600)"_s,
                        QString::number(broker.port()), QString::number(fillers)});
        QVERIFY(listener.waitForReadyRead(10000));
        auto publisher = std::make_unique<MqttPublisher>(*MqttConfig::load(broker.writeConfig({})));
        QTest::qWait(500); // connecting, or waiting for an answer
        QElapsedTimer timer;
        timer.start();
        publisher.reset();
        QCOMPARE_LT(timer.elapsed(), 2000);
        listener.kill();
        listener.waitForFinished();
    }

    void connectsOnceABrokerTakesOverThePort_data()
    {
        QTest::addColumn<int>("length"); // of the page after the status line
        QTest::addColumn<QString>("reason");
        QTest::newRow("short answer") << 0 << u"connection lost"_s;
        QTest::newRow("web page") << 120 << u"not an MQTT broker, or it speaks another protocol version"_s;
    }

    void connectsOnceABrokerTakesOverThePort()
    {
        QFETCH(int, length);
        QFETCH(QString, reason);
        MqttBroker broker;
        // A web server's answer to anything, on the broker's port.
        QProcess web;
        web.setProcessChannelMode(QProcess::MergedChannels);
        web.start(u"socat"_s,
                  {u"-d"_s, u"-d"_s, u"TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork"_s.arg(broker.port()),
                   u"SYSTEM:echo HTTP/1.0 400 Bad Request; echo; echo "_s + QString(length, u'x')});
        QVERIFY(QTest::qWaitFor([&]() { return web.canReadLine(); }, 5000)); // "listening on"
        MqttPublisher publisher(*MqttConfig::load(broker.writeConfig({})));
        QTRY_COMPARE(publisher.hint(), u"MQTT: 无法连接 127.0.0.1:%1 (%2)"_s.arg(broker.port()).arg(reason));
        QTest::qWait(1500); // refused again at least once
        web.kill();
        QVERIFY(web.waitForFinished() && broker.start());
        QTRY_COMPARE_WITH_TIMEOUT(publisher.hint(), u"MQTT: 已连接"_s, 15000);
    }

    void killedStationGoesOffline()
    {
        MqttBroker broker;
        MqttSubscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        broker.writeConfig({});
        QProcess station;
        station.start(QStringLiteral(MQTT_STATION_PATH));
        QTRY_COMPARE(sub.messages(u"/status"_s), QStringList{u"spdmon/st/status|0|online"_s});
        station.kill();
        QTRY_COMPARE(sub.messages(u"/status"_s),
                     (QStringList{u"spdmon/st/status|0|online"_s, u"spdmon/st/status|0|offline"_s}));
        // A dashboard that subscribes only now reads it too.
        sub.stop();
        QVERIFY(sub.start(broker.port()));
        QTRY_COMPARE(sub.messages(u"/status"_s), QStringList{u"spdmon/st/status|1|offline"_s});
    }
};

QTEST_MAIN(MqttPublisherTest)
#include "MqttPublisherTest.moc"
