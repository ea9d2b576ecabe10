// Acknowledgements asked from the window's thread while the station's thread
// runs steps that raise and return the same alarms, as an operator does during
// monitoring: every request is carried out on the station's thread, so the
// file keeps a history the states allow. Run under ThreadSanitizer by
// scripts/sanitize.sh, which also sees an acknowledgement that reaches the
// alarm states from the wrong thread.
#include "TestDatabase.h"

#include "app/Station.h"
#include "link/FieldBus.h"
#include "store/FixedTexts.h"

#include <QSet>
#include <QSignalSpy>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {
// Device 1's switch reads abnormal for five reads, then normal for five; device 2
// answers five reads, then stays silent for five. Only the station's thread reads it.
class FlappingBus final : public FieldBus
{
public:
    int comOpen(int, int, int, const QByteArray&, int) override { return 1; }
    void setDelay(int) override {}
    int comWork(int) override { return 0; }
    int fcn03(int, int slave, int, int, int* buffer) override
    {
        const bool second = (m_reads[slave]++ / 5) % 2 == 1;
        m_failed = slave == 2 && second;
        buffer[0] = slave == 1 && second ? 0xFFFF : 0;
        return m_failed ? -1 : 1;
    }
    int fcn04(int port, int slave, int reg, int count, int* buffer) override
    {
        return fcn03(port, slave, reg, count, buffer);
    }
    void comClose(int) override {}
    ReadFailure lastFailure(int) override { return m_failed ? ReadFailure::NoReply : ReadFailure::None; }

private:
    int m_reads[3] = {};
    bool m_failed = false;
};
} // namespace

class AlarmThreadsTest final : public QObject
{
    Q_OBJECT
private slots:
    void acknowledgeWhileStepsRun();
};

void AlarmThreadsTest::acknowledgeWhileStepsRun()
{
    TestDatabase db;
    db.exec(u"INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add, "
            "con_data_type, node_data_lower, node_data_upper, node_alarm_type) VALUES "
            "(1, 'KPV1', '设备状态', 3, 11, '开关量', 0, 65535, '0000(正常)/FFFF(异常)'), "
            "(2, 'KPV2', '设备状态', 3, 11, '开关量', 0, 65535, '0000(正常)/FFFF(异常)')"_s);
    FlappingBus bus;
    Station station(db.connection());
    station.setBus(&bus);
    station.line.ComNum = 1;
    station.poll.MonitorPeriod = 0;
    station.selection.SelectedKind = SelectionKind::kSystem;
    station.openPollScope();
    QSignalSpy failed(&station, &Station::acknowledgeFailed);
    QSignalSpy raised(&station, &Station::alarmRaised);

    // Requests are not waited for: each acknowledgement is queued while a step is under way.
    for (int step = 0; step < 120; ++step) {
        station.pollTick();
        if (step % 3 == 0)
            station.acknowledgeAlarm(1, u"设备状态"_s, u"op"_s);
        else if (step % 3 == 1)
            station.acknowledgeAlarm(2, QString(), u"op"_s);
        else
            station.acknowledgeAllAlarms(u"op"_s);
        QVERIFY(QTest::qWaitFor([&]() { return !station.busy(); }, 10000));
    }
    QCOMPARE(failed.count(), 0);
    QVERIFY2(raised.count() >= 10, qPrintable(QString::number(raised.count())));

    // Every change follows the states' rules, and the acknowledgements took effect.
    const QSet<QString> allowed{
        u"normal>active_unacknowledged"_s,
        u"active_unacknowledged>active_acknowledged/op"_s,
        u"active_unacknowledged>returned_unacknowledged"_s,
        u"active_acknowledged>normal"_s,
        u"returned_unacknowledged>normal/op"_s,
        u"returned_unacknowledged>active_unacknowledged"_s,
    };
    QSqlQuery events(u"SELECT device_id, node_name, state, ifnull(user_name, '') FROM alarm_event "
                     "ORDER BY rowid"_s,
                     db.connection().database());
    QHash<QString, QString> last;
    int acknowledgements = 0;
    while (events.next()) {
        const QString key = events.value(0).toString() + events.value(1).toString();
        const QString user = events.value(3).toString();
        const QString change = last.value(key, u"normal"_s) + u">"_s + events.value(2).toString() +
                               (user.isEmpty() ? QString() : u"/"_s + user);
        QVERIFY2(allowed.contains(change), qPrintable(key + u": "_s + change));
        acknowledgements += !user.isEmpty();
        last[key] = events.value(2).toString();
    }
    QVERIFY2(acknowledgements >= 10, qPrintable(QString::number(acknowledgements)));
    QSqlQuery states(u"SELECT device_id || node_name, state FROM alarm_state"_s, db.connection().database());
    int rows = 0;
    while (states.next()) {
        QCOMPARE(states.value(1).toString(), last.value(states.value(0).toString()));
        ++rows;
    }
    QCOMPARE(rows, int(std::count_if(last.cbegin(), last.cend(), [](const QString& s) { return s != "normal"; })));
}

QTEST_MAIN(AlarmThreadsTest)
#include "AlarmThreadsTest.moc"
