// Acknowledgements from the window's thread while the station's thread raises
// and returns the same alarms: each is carried out there, so the file keeps a
// history the states allow (scripts/sanitize.sh runs it under ThreadSanitizer).
#include "ScriptedBus.h"
#include "TestDatabase.h"

#include "app/Station.h"
#include "store/FixedTexts.h"

#include <QSignalSpy>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

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
            "con_data_type, node_data_lower, node_data_upper, node_alarm_type) SELECT column1, 'KPV', "
            "'设备状态', 3, 11, '开关量', 0, 65535, '0000(正常)/FFFF(异常)' FROM (VALUES (1), (2))"_s);
    ScriptedBus bus; // device 1 reads abnormal, device 2 is silent, every other five reads
    for (int i = 0; i < 100; ++i) {
        bus.queue(1, i / 5 % 2 ? 0xFFFF : 0);
        bus.queue(2, i / 5 % 2 ? std::nullopt : std::optional<int>(0));
    }
    Station station(db.connection());
    station.setBus(&bus);
    station.selection.SelectedKind = SelectionKind::kSystem;
    station.openPollScope();
    QSignalSpy failed(&station, &Station::acknowledgeFailed);
    // Each acknowledgement, of the alarms as the window lists them, is asked
    // while the step before it is under way.
    for (int step = 0; step < 120; ++step) {
        station.pollTick();
        QVector<AlarmOccurrence> shown;
        QSqlQuery listed(u"SELECT device_id, node_name, since FROM alarm_state"_s, db.connection().database());
        while (listed.next())
            shown.append({{listed.value(0).toInt(), listed.value(1).toString()}, listed.value(2).toString()});
        station.acknowledgeAlarms(step % 2 ? shown : shown.mid(0, 1), u"op"_s);
        QVERIFY(QTest::qWaitFor([&]() { return !station.busy(); }, 10000));
    }
    QCOMPARE(failed.count(), 0);

    const QStringList allowed{u"normal>active_unacknowledged"_s,
                              u"active_unacknowledged>active_acknowledged/op"_s,
                              u"active_unacknowledged>returned_unacknowledged"_s,
                              u"active_acknowledged>normal"_s,
                              u"returned_unacknowledged>normal/op"_s,
                              u"returned_unacknowledged>active_unacknowledged"_s};
    QSqlQuery events(u"SELECT device_id || node_name, state, ifnull('/' || user_name, '') FROM alarm_event"_s,
                     db.connection().database());
    QHash<QString, QString> last;
    int acknowledgements = 0;
    while (events.next()) {
        const QString key = events.value(0).toString();
        const QString change =
            last.value(key, u"normal"_s) + u'>' + events.value(1).toString() + events.value(2).toString();
        QVERIFY2(allowed.contains(change), qPrintable(key + u": "_s + change));
        acknowledgements += !events.value(2).toString().isEmpty();
        last[key] = events.value(1).toString();
    }
    QVERIFY2(acknowledgements >= 10, qPrintable(QString::number(acknowledgements)));
}

QTEST_MAIN(AlarmThreadsTest)
#include "AlarmThreadsTest.moc"
