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

    QProcess process;
    QStringList seen;
};
} // namespace

class MqttDiscoveryTest final : public QObject
{
    Q_OBJECT
private slots:
    void discoveryAndDiagnostics();
};

void MqttDiscoveryTest::discoveryAndDiagnostics()
{
    MqttBroker broker;
    Watcher sub;
    QVERIFY(broker.start() && sub.start(broker.port()));
    // A station name with characters an object id may not hold.
    broker.writeConfig(u"discovery=homeassistant\nstation=Hall 2.西"_s);
    MqttPublisher publisher(*MqttConfig::load(MqttConfig::defaultPath()));
    QTRY_COMPARE(publisher.hint(), u"MQTT: 已连接"_s);
    for (int device : {1, 2}) {
        for (const auto& [node, reg] :
             {std::pair{u"设备状态"_s, 11}, {u"浪涌保护器"_s, 9}, {u"浪涌次数"_s, 5}})
            publisher.nodeWritten({{u"device_id"_s, device},
                                   {u"device_name"_s, u"KPV%1"_s.arg(device)},
                                   {u"node_name"_s, node},
                                   {u"node_reg_add"_s, reg}});
    }
    const QString topic = u"homeassistant/device/spdmon_Hall_2___%1/config"_s;
    QTRY_VERIFY(sub.on(topic.arg(2)).size() == 3); // grew with each node
    const QMap<QString, QString> kinds{{u"protector"_s, u"binary_sensor problem"_s},
                                       {u"status"_s, u"binary_sensor problem"_s},
                                       {u"communication"_s, u"binary_sensor connectivity"_s},
                                       {u"surges"_s, u"sensor total_increasing"_s}};
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
        QCOMPARE(components.keys().join(u' ').remove(u"spdmon_Hall_2___%1_"_s.arg(device)),
                 u"communication protector status surges"_s);
        for (const QString& key : components.keys()) {
            const QJsonObject c = components[key].toObject();
            QVERIFY(QRegularExpression(u"^[a-zA-Z0-9_-]+$"_s).match(key).hasMatch());
            QCOMPARE(c[u"object_id"_s].toString(), key);
            uniqueIds << c[u"unique_id"_s].toString();
            QCOMPARE(c[u"platform"_s].toString() + u' ' + c[u"device_class"_s].toString() +
                         c[u"state_class"_s].toString(),
                     kinds.value(key.section(u'_', -1)));
            // Read from today's node topics.
            QCOMPARE(sub.on(QRegularExpression::escape(c[u"state_topic"_s].toString())).size(), 1);
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

    // Diagnostics: the first counts at once, the latest once ten seconds are over, not before.
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
    // A late subscriber finds the retained state alone: no configuration of the deleted device.
    Watcher late;
    QVERIFY(late.start(broker.port()));
    QTRY_COMPARE(late.lines().filter(QRegularExpression(u"(config|diag/7)\\|"_s)).size(), 2);
    QCOMPARE(late.lines().filter(QRegularExpression(u"(config|diag/7)\\|"_s)),
             (QStringList{topic.arg(1) + u"|1|"_s + sub.on(topic.arg(1)).last(),
                          diag + u"|1|"_s + sub.on(diag).last()}));
    QVERIFY(sub.on(diag).last().contains(u"\"requests\":3"_s));
}

QTEST_MAIN(MqttDiscoveryTest)
#include "MqttDiscoveryTest.moc"
