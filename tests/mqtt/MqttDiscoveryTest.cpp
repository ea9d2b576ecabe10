// Home Assistant discovery and the bus diagnostics topic against a real
// mosquitto; mosquitto_sub, independent of the publisher, checks what arrives.
#include "MqttBroker.h"

#include "mqtt/MqttPublisher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {
// mosquitto_sub on the discovery prefix and spdmon/, as "topic|retained|payload" lines.
struct Watcher
{
    ~Watcher()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    bool start(int port)
    {
        process.start(u"stdbuf"_s, {"-oL", "mosquitto_sub", "-p", QString::number(port), "-t",
                                    "homeassistant/#", "-t", "spdmon/#", "-d", "-F", "%t|%r|%p"});
        return QTest::qWaitFor([this]() { return !lines().filter(u"received SUBACK"_s).isEmpty(); }, 5000);
    }
    QStringList lines()
    {
        while (process.canReadLine())
            m_lines << QString::fromUtf8(process.readLine()).trimmed();
        return m_lines;
    }
    // Payloads sent on the topic, in order.
    QStringList on(const QString& topic)
    {
        QStringList payloads;
        for (const QString& line : lines().filter(topic + u'|'))
            payloads << line.section(u'|', 2);
        return payloads;
    }

    QProcess process;
    QStringList m_lines;
};

QVariantMap row(int device, const QString& node, int reg)
{
    return {{u"device_id"_s, device},       {u"device_name"_s, u"KPV%1"_s.arg(device)},
            {u"node_name"_s, node},         {u"node_reg_add"_s, reg},
            {u"alarm_status"_s, u"正常"_s}, {u"communication_status"_s, u"通信正常"_s}};
}
} // namespace

class MqttDiscoveryTest final : public QObject
{
    Q_OBJECT
private slots:
    void devicesDiscoveredAgainAndRemoved()
    {
        MqttBroker broker;
        Watcher sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        // A station name with characters an object id may not hold.
        broker.writeConfig(u"discovery=homeassistant\nstation=Hall 2.西"_s);
        MqttPublisher publisher(*MqttConfig::load(MqttConfig::defaultPath()));
        QTRY_COMPARE(publisher.hint(), u"MQTT: 已连接"_s);
        for (int device : {1, 2}) {
            publisher.nodeWritten(row(device, u"设备状态"_s, 11));
            publisher.nodeWritten(row(device, u"浪涌保护器"_s, 9));
            publisher.nodeWritten(row(device, u"浪涌次数"_s, 5));
        }
        const QString topic = u"homeassistant/device/spdmon_Hall_2___%1/config"_s;
        QTRY_VERIFY(sub.on(topic.arg(2)).size() == 3); // grew with each node
        const QRegularExpression objectId(u"^[a-zA-Z0-9_-]+$"_s);
        QStringList uniqueIds;
        for (int device : {1, 2}) {
            const QJsonObject config =
                QJsonDocument::fromJson(sub.on(topic.arg(device)).last().toUtf8()).object();
            QCOMPARE(config[u"availability_topic"_s].toString(), u"spdmon/Hall 2.西/status"_s);
            const QJsonObject about = config[u"device"_s].toObject();
            QCOMPARE(about[u"identifiers"_s].toArray().first().toString() + about[u"name"_s].toString() +
                         about[u"model"_s].toString() + about[u"via_device"_s].toString(),
                     u"spdmon_Hall_2___%1KPV%1KPVspdmon_Hall_2__"_s.arg(device));
            const QJsonObject components = config[u"components"_s].toObject();
            QCOMPARE(components.size(), 4);
            for (const QString& key : components.keys()) {
                const QJsonObject c = components[key].toObject();
                QVERIFY2(objectId.match(key).hasMatch() && c[u"object_id"_s].toString() == key,
                         qPrintable(key));
                uniqueIds << c[u"unique_id"_s].toString();
                // Today's node topics, read through value templates.
                QVERIFY(
                    c[u"state_topic"_s].toString().startsWith(u"spdmon/Hall 2.西/node/%1/"_s.arg(device)));
                QVERIFY(sub.on(c[u"state_topic"_s].toString()).size() == 1);
                QVERIFY(c[u"value_template"_s].toString().startsWith(u"{{ "_s));
                const QString kind = c[u"platform"_s].toString() + c[u"device_class"_s].toString() +
                                     c[u"state_class"_s].toString();
                QVERIFY2(key.endsWith(u"surges"_s)          ? kind == u"sensortotal_increasing"_s
                         : key.endsWith(u"communication"_s) ? kind == u"binary_sensorconnectivity"_s
                                                            : kind == u"binary_sensorproblem"_s,
                         qPrintable(key + kind));
            }
        }
        uniqueIds.removeDuplicates();
        QCOMPARE(uniqueIds.size(), 8);

        // Home Assistant started again: each device's configuration once more.
        QCOMPARE(QProcess::execute(u"mosquitto_pub"_s, {"-p", QString::number(broker.port()), "-t",
                                                        "homeassistant/status", "-m", "online"}),
                 0);
        QTRY_VERIFY(sub.on(topic.arg(1)).size() == 4 && sub.on(topic.arg(2)).size() == 4);
        QCOMPARE(sub.on(topic.arg(1)).last(), sub.on(topic.arg(1)).at(2));

        publisher.deviceRemoved(2);
        QTRY_COMPARE(sub.on(topic.arg(2)).last(), QString());
        // A late subscriber finds the remaining device alone.
        Watcher late;
        QVERIFY(late.start(broker.port()));
        QTRY_COMPARE(late.lines().filter(u"/config|"_s),
                     QStringList{topic.arg(1) + u"|1|"_s + sub.on(topic.arg(1)).last()});
    }

    void diagnosticsAtMostEveryTenSeconds()
    {
        MqttBroker broker;
        Watcher sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        broker.writeConfig({});
        MqttPublisher publisher(*MqttConfig::load(MqttConfig::defaultPath()));
        QTRY_COMPARE(publisher.hint(), u"MQTT: 已连接"_s);
        DeviceCounters counters;
        counters.deviceId = 7;
        for (int request = 1; request <= 3; ++request) {
            counters.requests = counters.noReply = request;
            publisher.countersChanged(counters);
        }
        QTRY_COMPARE(sub.on(u"spdmon/st/diag/7"_s).size(), 1);
        const QJsonObject first =
            QJsonDocument::fromJson(sub.on(u"spdmon/st/diag/7"_s).first().toUtf8()).object();
        QCOMPARE(first[u"requests"_s].toInt() + first[u"no_reply"_s].toInt(), 2);
        QVERIFY(first[u"response_ms_min"_s].isNull() && first[u"last_good"_s].isNull());
        // The latest counts follow once ten seconds are over, and not before.
        QTest::qWait(8000);
        QCOMPARE(sub.on(u"spdmon/st/diag/7"_s).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(sub.on(u"spdmon/st/diag/7"_s).size(), 2, 4000);
        QVERIFY(sub.on(u"spdmon/st/diag/7"_s).last().contains(u"\"requests\":3"_s));
        Watcher late;
        QVERIFY(late.start(broker.port()));
        QTRY_COMPARE(late.lines().filter(QRegularExpression(u"^spdmon/st/diag"_s)),
                     QStringList{u"spdmon/st/diag/7|1|"_s + sub.on(u"spdmon/st/diag/7"_s).last()});
    }
};

QTEST_MAIN(MqttDiscoveryTest)
#include "MqttDiscoveryTest.moc"
