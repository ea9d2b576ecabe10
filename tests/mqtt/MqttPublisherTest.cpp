// The station's publisher against a real mosquitto broker, fed by the poll
// cycle reading kpv-sim through the real link library; an independent
// mosquitto_sub checks what arrives.
#include "KpvSim.h"
#include "MqttBroker.h"
#include "TestDatabase.h"

#include "app/MainState.h"
#include "link/ModbusRtuBus.h"
#include "monitor/PollCycle.h"
#include "mqtt/MqttPublisher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {
constexpr int kPort = 202;

// Two KPV devices with their three nodes on kpv-sim, polled without a pause.
struct Station
{
    Station()
    {
        qputenv("SPDMON_PORT_DIR", portDir.path().toLocal8Bit());
        for (int device = 1; device <= 2; ++device)
            db.exec(
                u"INSERT INTO node_record (device_id, device_name, node_code, node_alarm_type, node_name, "
                "node_reg_add, con_data_type, node_data_lower, node_data_upper) VALUES "
                "(%1, 'KPV%1', 3, '0000(正常)/FFFF(异常)', '设备状态', 11, '开关量', 0, 65535), "
                "(%1, 'KPV%1', 3, '0000(正常)/FFFF(异常)', '浪涌保护器', 9, '开关量', 0, 65535), "
                "(%1, 'KPV%1', 3, '', '浪涌次数', 5, '模拟量', 0, 3)"_s.arg(device));
        state.ComNum = kPort;
        cycle.setMonitorPeriodText([]() { return u"0"_s; });
        scope.setSql(u"select * from node_record order by  device_id ASC, node_name ASC"_s);
        scope.open();
        log.setSql(u"select 告警时间,告警纪录 from alarm_record order by 告警时间"_s);
        log.open();
    }
    ~Station() { bus.comClose(kPort); }
    bool start(PollEvents* events)
    {
        cycle.setEvents(events);
        return sim.start(kPort, {1, 2}) && bus.comOpen(kPort, 9600, 8, "n", 1) == 1;
    }
    QStringList column(const QString& sql)
    {
        QStringList result;
        for (QSqlQuery q(sql, db.connection().database()); q.next();)
            result << q.value(0).toString();
        return result;
    }
    bool stepUntil(const QString& sql, const QString& value)
    {
        for (int step = 0; step < 60 && column(sql) != QStringList{value}; ++step)
            cycle.Timer1Timer();
        return column(sql) == QStringList{value};
    }
    // Each node row as a subscriber should see it, by topic.
    QMap<QString, QJsonObject> nodeRows()
    {
        QMap<QString, QJsonObject> rows;
        for (QSqlQuery q(
                 u"SELECT device_id, device_name, node_name, node_data, con_data, communication_status, "
                 "alarm_status, read_time FROM node_record"_s,
                 db.connection().database());
             q.next();) {
            QJsonObject row;
            for (int i = 0; i < q.record().count(); ++i)
                row.insert(q.record().fieldName(i), QJsonValue::fromVariant(q.value(i)));
            rows.insert(u"spdmon/st/node/%1/%2"_s.arg(q.value(0).toString(), q.value(2).toString()), row);
        }
        return rows;
    }
    QStringList alarmRows()
    {
        return column(u"SELECT 告警时间 || ' ' || 告警纪录 FROM alarm_record ORDER BY rowid"_s);
    }

    QTemporaryDir portDir;
    TestDatabase db;
    MainState state;
    Query scope{db.connection()};
    Query log{db.connection()};
    ModbusRtuBus bus;
    PollCycle cycle{state, scope, log, &bus};
    KpvSim sim;
};

QJsonObject payload(const QString& line)
{
    return QJsonDocument::fromJson(line.section(u'|', 2).toUtf8()).object();
}

// The newest message of each node topic.
QMap<QString, QJsonObject> nodes(const QStringList& lines)
{
    QMap<QString, QJsonObject> result;
    for (const QString& line : lines) {
        if (line.contains(u"/node/"_s))
            result.insert(line.section(u'|', 0, 0), payload(line));
    }
    return result;
}

QStringList alarms(MqttSubscriber& sub)
{
    QStringList result;
    for (const QString& line : sub.messages(u"/alarm"_s))
        result << payload(line)[u"time"_s].toString() + u' ' + payload(line)[u"text"_s].toString();
    return result;
}
} // namespace

class MqttPublisherTest final : public QObject
{
    Q_OBJECT
private slots:
    void readingsAndAlarmsArrive();
    void alarmsWaitForTheBroker();
    void faultsOnlyChangeTheHint_data();
    void faultsOnlyChangeTheHint();
    void killedStationGoesOffline();
};

void MqttPublisherTest::readingsAndAlarmsArrive()
{
    MqttBroker broker;
    MqttSubscriber sub;
    QVERIFY(broker.start() && sub.start(broker.port()));
    broker.writeConfig({});
    qputenv("XDG_CONFIG_HOME", broker.configHome().toLocal8Bit());
    std::unique_ptr<MqttPublisher> publisher = MqttPublisher::fromConfigFile();
    QVERIFY(publisher);
    QTRY_COMPARE(publisher->hint(), u"MQTT: 已连接"_s);

    Station s;
    QVERIFY(s.start(publisher.get()));
    QVERIFY(s.sim.command(u"abnormal 2"_s));
    QVERIFY(s.stepUntil(u"SELECT COUNT(*) FROM alarm_record"_s, u"2"_s));
    // Messages arrive in order: once the last readings are in, so are the alarms.
    QTRY_COMPARE(nodes(sub.messages()), s.nodeRows());
    QCOMPARE(alarms(sub), s.alarmRows());

    // A late subscriber gets the retained state.
    sub.stop();
    QVERIFY(sub.start(broker.port()));
    QTRY_COMPARE(nodes(sub.messages()), s.nodeRows());
    QCOMPARE(sub.messages(u"/status"_s), QStringList{u"spdmon/st/status|1|online"_s});
    QCOMPARE(sub.messages().filter(u"|0|"_s), QStringList());
    QCOMPARE(sub.messages(u"/alarm"_s), QStringList());

    publisher.reset();
    QTRY_COMPARE(sub.messages(u"/status"_s).last(), u"spdmon/st/status|0|offline"_s);
}

void MqttPublisherTest::alarmsWaitForTheBroker()
{
    MqttBroker broker;
    MqttSubscriber sub;
    QVERIFY(broker.start() && sub.start(broker.port()));
    MqttPublisher publisher(*MqttConfig::load(broker.writeConfig({})));
    QTRY_COMPARE(publisher.hint(), u"MQTT: 已连接"_s);
    Station s;
    QVERIFY(s.start(&publisher));
    QVERIFY(s.stepUntil(u"SELECT COUNT(*) FROM node_record WHERE communication_status='通信正常'"_s, u"6"_s));

    broker.stop();
    sub.stop();
    QTRY_COMPARE(publisher.hint(),
                 u"MQTT: 与 127.0.0.1:%1 的连接中断 (connection lost)，正在重连"_s.arg(broker.port()));
    QVERIFY(s.sim.command(u"abnormal 2"_s) && s.sim.command(u"surge 1 4"_s));
    QVERIFY(s.stepUntil(u"SELECT COUNT(*) FROM alarm_record"_s, u"3"_s));
    QVERIFY(s.stepUntil(u"SELECT COUNT(*) FROM node_record WHERE alarm_status='告警'"_s, u"3"_s));
    QCOMPARE(s.column(u"SELECT 告警纪录 FROM alarm_record ORDER BY 告警纪录"_s),
             (QStringList{u"KPV1[1];  浪涌次数:4;  信息:超限告警"_s, u"KPV2[2];  浪涌保护器:异常"_s,
                          u"KPV2[2];  设备状态:异常"_s}));
    QCOMPARE(publisher.queued(), 3 + 6);

    QVERIFY(broker.start() && sub.start(broker.port()));
    QTRY_COMPARE_WITH_TIMEOUT(publisher.hint(), u"MQTT: 已连接"_s, 20000);
    QTRY_COMPARE(nodes(sub.messages()), s.nodeRows());
    QCOMPARE(alarms(sub), s.alarmRows());
    QCOMPARE(publisher.queued(), 0);
}

void MqttPublisherTest::faultsOnlyChangeTheHint_data()
{
    QTest::addColumn<bool>("brokerUp");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("check");
    QTest::newRow("login accepted")
        << true << u"username=spd\npassword=right"_s << u"MQTT: 已连接"_s
        << u"MQTT check passed: 127.0.0.1:%1 accepted a test message on spdmon/st/check"_s;
    QTest::newRow("login refused")
        << true << u"username=spd\npassword=wrong"_s << u"MQTT: 用户名或密码被拒绝"_s
        << u"MQTT check failed: 127.0.0.1:%1 refused the connection: not authorised: user name or password refused"_s;
    QTest::newRow("no login")
        << true << QString() << u"MQTT: 用户名或密码被拒绝"_s
        << u"MQTT check failed: 127.0.0.1:%1 refused the connection: not authorised: user name or password refused"_s;
    QTest::newRow("TLS to a plain listener")
        << true << u"username=spd\npassword=right\ncafile=/etc/ssl/certs/ca-certificates.crt"_s
        << u"MQTT: 无法连接 127.0.0.1:%1 (TLS error: unexpected eof while reading)"_s
        << u"MQTT check failed: connection to 127.0.0.1:%1 failed: TLS error: certificate not accepted or "
           u"the "
           "broker does not speak TLS"_s;
    QTest::newRow("nothing listening")
        << false << QString() << u"MQTT: 无法连接 127.0.0.1:%1 (Connection refused)"_s
        << u"MQTT check failed: cannot reach 127.0.0.1:%1: Connection refused"_s;
}

void MqttPublisherTest::faultsOnlyChangeTheHint()
{
    QFETCH(bool, brokerUp);
    QFETCH(QString, login);
    QFETCH(QString, hint);
    QFETCH(QString, check);
    MqttBroker broker(true);
    QVERIFY(!brokerUp || broker.start());
    const QString config = broker.writeConfig(login);
    MqttPublisher publisher(*MqttConfig::load(config));
    QSignalSpy hints(&publisher, &MqttPublisher::hintChanged);
    hint.replace(u"%1"_s, QString::number(broker.port()));
    QTRY_COMPARE(publisher.hint(), hint);

    // The steps go on as ever; readings wait, one per node, while refused.
    Station s;
    QVERIFY(s.start(&publisher));
    QVERIFY(s.stepUntil(u"SELECT COUNT(*) FROM node_record WHERE communication_status='通信正常'"_s, u"6"_s));
    QTest::qWait(1500); // a retry or two of the connection
    QCOMPARE(publisher.queued(), hint == u"MQTT: 已连接"_s ? 0 : 6);
    // Said once, however often the connection is retried.
    if (brokerUp)
        QCOMPARE(hints.size(), 1);

    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(MQTT_CHECK_PATH), {config});
    QVERIFY(tool.waitForFinished(15000));
    QCOMPARE(QString::fromUtf8(tool.readAll()).trimmed(),
             check.replace(u"%1"_s, QString::number(broker.port())));
    QCOMPARE(tool.exitCode(), check.contains(u"passed"_s) ? 0 : 1);
}

void MqttPublisherTest::killedStationGoesOffline()
{
    MqttBroker broker;
    MqttSubscriber sub;
    QVERIFY(broker.start() && sub.start(broker.port()));
    broker.writeConfig({});
    qputenv("XDG_CONFIG_HOME", broker.configHome().toLocal8Bit());
    QProcess station;
    station.start(QStringLiteral(MQTT_STATION_PATH));
    QTRY_COMPARE(sub.messages(u"/status"_s), QStringList{u"spdmon/st/status|0|online"_s});
    station.kill();
    QVERIFY(station.waitForFinished());
    QTRY_COMPARE(sub.messages(u"/status"_s),
                 (QStringList{u"spdmon/st/status|0|online"_s, u"spdmon/st/status|0|offline"_s}));
}

QTEST_MAIN(MqttPublisherTest)
#include "MqttPublisherTest.moc"
