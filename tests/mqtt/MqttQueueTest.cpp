#include "mqtt/MqttQueue.h"

#include <QTest>

class MqttQueueTest final : public QObject
{
    Q_OBJECT
private slots:
    void keepsAlarmsBeforeReadings_data();
    void keepsAlarmsBeforeReadings();
};

void MqttQueueTest::keepsAlarmsBeforeReadings_data()
{
    // "rN:v" is value v of node N's reading, "aN" an alarm; out in pop order.
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("dropped");
    QTest::newRow("in order") << 9 << "r1:a a1 r2:a a2"
                              << "r1:a a1 r2:a a2" << 0;
    QTest::newRow("newer reading replaces") << 9 << "r1:a a1 r2:a r1:b"
                                            << "a1 r2:a r1:b" << 0;
    QTest::newRow("replacing when full") << 2 << "r1:a r2:a r1:b"
                                         << "r2:a r1:b" << 0;
    QTest::newRow("alarm pushes out a reading") << 3 << "r1:a a1 r2:a a2"
                                                << "a1 r2:a a2" << 1;
    QTest::newRow("reading pushes out a reading") << 2 << "a1 r1:a r2:a"
                                                  << "a1 r2:a" << 1;
    QTest::newRow("no room for a reading") << 2 << "a1 a2 r1:a"
                                           << "a1 a2" << 1;
    QTest::newRow("oldest alarm goes last") << 2 << "a1 a2 a3 r1:a"
                                            << "a2 a3" << 2;
}

void MqttQueueTest::keepsAlarmsBeforeReadings()
{
    QFETCH(int, limit);
    QFETCH(QString, in);
    QFETCH(QString, out);
    QFETCH(int, dropped);
    MqttQueue queue(limit);
    for (const QString& token : in.split(u' ')) {
        const bool reading = token.startsWith(u'r');
        queue.push({"spdmon/st/" + token.section(u':', 0, 0).toUtf8(), token.toUtf8(), reading});
    }
    QCOMPARE(queue.size(), int(out.split(u' ').size()));
    QStringList popped;
    for (const MqttMessage* message = queue.front(); message; message = queue.front()) {
        QCOMPARE(message->retained, message->payload.startsWith('r'));
        popped << QString::fromUtf8(message->payload);
        queue.pop();
    }
    QCOMPARE(popped.join(u' '), out);
    QCOMPARE(queue.dropped(), dropped);
}

QTEST_APPLESS_MAIN(MqttQueueTest)
#include "MqttQueueTest.moc"
