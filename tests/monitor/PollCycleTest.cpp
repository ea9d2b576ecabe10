#include "ScriptedBus.h"
#include "TestDatabase.h"

#include "monitor/PollCycle.h"
#include "store/AppError.h"
#include "store/Clock.h"
#include "store/MainState.h"

#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kSwitch = u"开关量"_s;
const QString kAnalogue = u"模拟量"_s;
const QString kZeroNormal = u"0000(正常)/FFFF(异常)"_s;

struct PollFixture
{
    PollFixture()
    {
        cycle.setMonitorPeriodText([this]() { return period; });
        cycle.setRefreshView([this]() { ++refreshes; });
        log.setSql(u"select 告警时间,告警纪录 from alarm_record order by 告警时间"_s);
        log.open();
        state.ComNum = 7;
    }
    ~PollFixture() { Clock::setFixed(QDateTime()); }

    // An empty status is stored as NULL: the node was never read.
    void add(int device, const QString& node, const QString& comm = {}, const QString& alarm = {},
             const QString& type = kSwitch, const QString& alarmType = kZeroNormal, int lower = 0,
             int upper = 65535, int code = 3)
    {
        db.exec(u"INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add, "
                "con_data_type, node_data_lower, node_data_upper, node_alarm_type, communication_status, "
                "alarm_status) VALUES (%1, 'KPV%1', '%2', %3, 11, '%4', %5, %6, '%7', NULLIF('%8', ''), "
                "NULLIF('%9', ''))"_s.arg(QString::number(device), node, QString::number(code), type,
                                          QString::number(lower), QString::number(upper), alarmType, comm,
                                          alarm));
    }

    // The first tick opens the whole node table as the scope unless a test opened its own.
    void step()
    {
        if (!scope.isActive()) {
            scope.setSql(u"select * from node_record order by  device_id ASC, node_name ASC"_s);
            scope.open();
        }
        now = now.addSecs(1);
        Clock::setFixed(now);
        cycle.Timer1Timer();
    }

    QStringList values(const QString& sql)
    {
        QStringList result;
        for (QSqlQuery q(sql, db.connection().database()); q.next();)
            result << q.value(0).toString();
        return result;
    }
    // Node names are unique within each test.
    QString col(const QString& node, const QString& name)
    {
        return values(u"SELECT %1 FROM node_record WHERE node_name='%2'"_s.arg(name, node))
            .value(0, u"<no row>"_s);
    }
    QStringList records() { return values(u"SELECT 告警纪录 FROM alarm_record ORDER BY rowid"_s); }
    QVector<int> slavesRead() const
    {
        QVector<int> result;
        for (const auto& call : bus.calls)
            result << call.slave;
        return result;
    }

    TestDatabase db;
    MainState state;
    Query scope{db.connection()};
    Query log{db.connection()};
    ScriptedBus bus;
    PollCycle cycle{state, scope, log, &bus};
    QString period = u"5"_s;
    int refreshes = 0;
    QDateTime now{QDate(2026, 6, 1), QTime(8, 0, 0)};
};
} // namespace

class PollCycleTest final : public QObject
{
    Q_OBJECT
private slots:
    void failedReads_data()
    {
        QTest::addColumn<QString>("comm");
        QTest::addColumn<QString>("alarm");
        QTest::addColumn<QVector<int>>("slaves");
        QTest::addColumn<QVector<int>>("readSeconds"); // read_time of the silent node after each tick
        QTest::addColumn<int>("refreshes");
        using V = QVector<int>;
        const QString ok = u"通信正常"_s;
        QTest::newRow("held until lost") << ok << u"正常"_s << V{1, 1, 1, 2} << V{1, 2, 3, 3} << 2;
        QTest::newRow("in alarm stays in alarm") << ok << u"告警"_s << V{1, 1, 1, 2} << V{1, 2, 3, 3} << 2;
        QTest::newRow("lost: not held") << u"通信异常"_s << u"正常"_s << V{1, 2, 1, 2} << V{1, 1, 3, 3} << 4;
        QTest::newRow("never read") << QString() << QString() << V{1, 2, 1, 2} << V{1, 1, 3, 3} << 4;
    }

    void failedReads()
    {
        QFETCH(QString, comm);
        QFETCH(QString, alarm);
        QFETCH(QVector<int>, readSeconds);
        PollFixture f;
        f.period = u"0"_s; // passes follow each other without a pause
        f.add(1, "a", comm, alarm);
        f.add(2, "b");
        f.bus.silence(1);
        QStringList readTimes, expectedTimes;
        for (int second : readSeconds) {
            f.step();
            readTimes << f.col("a", "read_time");
            expectedTimes << u"2026-06-01 08:00:0%1"_s.arg(second);
        }
        QTEST(f.slavesRead(), "slaves");
        QCOMPARE(readTimes, expectedTimes);
        QCOMPARE(f.col("a", "communication_status"), comm.isNull() ? QString() : u"通信异常"_s);
        // Loss leaves the alarm state as it was and logs nothing.
        QCOMPARE(f.col("a", "alarm_status"), alarm);
        QVERIFY(f.records().isEmpty());
        QCOMPARE(f.state.CommFailCount, 0);
        QTEST(f.refreshes, "refreshes"); // a hold refreshes nothing
    }

    void countersAreSharedBetweenNodes_data()
    {
        QTest::addColumn<bool>("silent"); // else abnormal readings
        QTest::newRow("communication loss") << true;
        QTest::newRow("alarm") << false;
    }

    // One bad reading of A, then a good one: B needs only two bad ones.
    void countersAreSharedBetweenNodes()
    {
        QFETCH(bool, silent);
        const QString column = silent ? u"communication_status"_s : u"alarm_status"_s;
        const QString before = silent ? u"通信正常"_s : u"正常"_s;
        PollFixture f;
        f.add(1, "A", u"通信正常"_s, u"正常"_s);
        f.add(2, "B", u"通信正常"_s, u"正常"_s);
        const std::optional<int> bad = silent ? std::nullopt : std::optional<int>(0xFFFF);
        const int& counter = silent ? f.state.CommFailCount : f.state.AlarmConfirmCount;
        for (int slave : {1, 2, 2})
            f.bus.queue(slave, bad);
        f.step();
        f.step();
        QCOMPARE(counter, 1); // a good reading does not reset it
        f.step();
        QCOMPARE(counter, 2);
        QCOMPARE(f.col("B", column), before);
        f.step();
        QCOMPARE(counter, 0);
        QCOMPARE(f.col("B", column), silent ? u"通信异常"_s : u"告警"_s);
        QCOMPARE(f.col("A", column), before);
        QCOMPARE(f.records(), silent ? QStringList() : QStringList{u"KPV2[2];  B:异常"_s});
        QCOMPARE(f.slavesRead(), (QVector<int>{1, 1, 2, 2}));
    }

    void scopes()
    {
        PollFixture f;
        f.add(1, "a");
        f.add(1, "b");
        f.scope.setSql(u"select * from node_record where node_name='b'"_s);
        f.scope.open();
        f.step();
        QCOMPARE(f.state.Countdown, 5); // one node: a pause after each read
        QCOMPARE(f.refreshes, 1);
        f.step(); // pausing: nothing read
        f.state.Countdown = 0;
        f.bus.setBusy(true);
        f.step(); // the link is busy: nothing read either
        QCOMPARE(f.bus.calls.size(), 1);
        QCOMPARE(f.col("b", "read_time"), u"2026-06-01 08:00:01"_s);
        QCOMPARE(f.refreshes, 1);
        f.bus.setBusy(false);
        f.step();
        QCOMPARE(f.slavesRead(), (QVector<int>{1, 1}));
        QCOMPARE(f.col("a", "read_time"), QString());

        // An empty scope ends the pass at once and creates no row.
        f.scope.setSql(u"select * from node_record where node_name='c'"_s);
        f.scope.open();
        f.state.Countdown = 0;
        f.step();
        QCOMPARE(f.db.count(u"node_record"_s), 2);
        QCOMPARE(f.bus.calls.size(), 2);
        QCOMPARE(f.state.Countdown, 5);
        QCOMPARE(f.refreshes, 3);
    }

    // Device n holds a node read with function code n; every device answers FFFF.
    void functionCodes()
    {
        PollFixture f;
        for (int code : {3, 4, 6}) {
            f.add(code, u"n%1"_s.arg(code), {}, {}, kAnalogue, {}, 0, 65535, code);
            f.bus.answer(code, 0xFFFF);
        }
        for (int i = 0; i < 3; ++i)
            f.step();
        QVector<int> calls; // function, port, slave, register
        for (const auto& c : f.bus.calls)
            calls << c.function << c.port << c.slave << c.reg;
        QCOMPARE(calls, (QVector<int>{3, 7, 3, 11, 4, 7, 4, 11}));
        QCOMPARE(f.col("n3", "node_data"), u"65535"_s);
        QCOMPARE(f.col("n3", "alarm_status"), u"正常"_s); // unsigned: within 0..65535
        QCOMPARE(f.col("n4", "node_data"), u"65535"_s);
        // Another code reads nothing and counts as an answer of 0.
        QCOMPARE(f.col("n6", "node_data"), u"0"_s);
        QCOMPARE(f.col("n6", "communication_status"), u"通信正常"_s);
    }

    // Switch nodes by their alarm type; analogue nodes (no alarm type) by the limits 10..20.
    void judgement_data()
    {
        QTest::addColumn<QString>("alarmType");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("conData");
        QTest::addColumn<bool>("normal");
        const QString ok = u"正常"_s, bad = u"异常"_s, ffff = u"FFFF(正常)/0000(异常)"_s, none;
        QTest::newRow("0000 normal reads 0") << kZeroNormal << 0 << ok << true;
        QTest::newRow("0000 normal reads 1") << kZeroNormal << 1 << bad << false;
        QTest::newRow("0000 normal reads FFFF") << kZeroNormal << 0xFFFF << bad << false;
        QTest::newRow("FFFF normal reads 0") << ffff << 0 << bad << false;
        QTest::newRow("FFFF normal reads 1") << ffff << 1 << ok << true;
        QTest::newRow("FFFF normal reads FFFF") << ffff << 0xFFFF << ok << true;
        QTest::newRow("other alarm type reads 0") << u"?"_s << 0 << bad << false;
        QTest::newRow("at lower limit") << none << 10 << u"10"_s << true;
        QTest::newRow("at upper limit") << none << 20 << u"20"_s << true;
        QTest::newRow("below") << none << 9 << u"9"_s << false;
        QTest::newRow("above") << none << 21 << u"21"_s << false;
    }

    void judgement()
    {
        QFETCH(QString, alarmType);
        QFETCH(int, value);
        QFETCH(bool, normal);
        PollFixture f;
        f.add(1, "a", u"通信异常"_s, {}, alarmType.isNull() ? kAnalogue : kSwitch, alarmType, 10, 20);
        f.add(2, "b");
        f.bus.answer(1, value);
        f.step();
        QCOMPARE(f.col("a", "communication_status"), u"通信正常"_s); // an answer ends a loss
        QTEST(f.col("a", "con_data"), "conData");
        // Abnormal: a hold, the alarm state untouched until confirmed.
        QCOMPARE(f.col("a", "alarm_status"), normal ? u"正常"_s : QString());
        QCOMPARE(f.state.AlarmConfirmCount, normal ? 0 : 1);
        f.step();
        QCOMPARE(f.slavesRead().last(), normal ? 2 : 1);
    }

    // The analogue record text and its single entry are checked end to end.
    void alarmEpisodeIsLoggedOnce()
    {
        PollFixture f;
        f.period = u"0"_s;
        f.add(3, "n");
        f.bus.answer(3, 0xFFFF);
        f.step();
        f.step();
        QCOMPARE(f.col("n", "alarm_status"), QString());
        QVERIFY(f.records().isEmpty());
        f.step();
        QCOMPARE(f.col("n", "alarm_status"), u"告警"_s);
        QCOMPARE(f.records(), QStringList{u"KPV3[3];  n:异常"_s});
        QCOMPARE(f.log.recordCount(), 1); // the grid's query was reopened
        QCOMPARE(f.log.fieldText(u"告警时间"_s), u"2026-06-01 08:00:03"_s);
        for (int i = 0; i < 4; ++i)
            f.step();
        QCOMPARE(f.records().size(), 1);
        QCOMPARE(f.state.AlarmConfirmCount, 0);

        f.bus.answer(3, 0);
        f.step();
        QCOMPARE(f.col("n", "alarm_status"), u"正常"_s);
        QCOMPARE(f.records().size(), 1);

        f.bus.answer(3, 1);
        for (int i = 0; i < 3; ++i)
            f.step();
        QCOMPARE(f.records().size(), 2);
    }

    // Another program locks the file to rename device 1 and write the read time
    // of its node: the step fails while locked, then its post misses the row; the
    // same node is read again each time and then the cycle moves on.
    void anotherProgramChangesTheCurrentRow()
    {
        PollFixture f;
        f.add(1, u"a"_s);
        f.add(2, u"b"_s);
        f.scope.setSql(u"select * from node_record order by  device_id ASC, node_name ASC"_s);
        f.scope.open();
        Connection other(u"other"_s);
        other.open(f.db.path());
        QSqlQuery foreign(other.database());
        QVERIFY(foreign.exec(u"BEGIN IMMEDIATE"_s));
        QVERIFY(foreign.exec(
            u"UPDATE node_record SET device_name = 'X', read_time = '2020-01-01 00:00:00' WHERE device_id = 1"_s));
        QStringList errors;
        for (int i = 0; i < 4; ++i) {
            try {
                f.step();
            } catch (const AppError& e) {
                errors << e.text().left(18);
            }
            if (i == 0)
                QVERIFY(foreign.exec(u"COMMIT"_s));
        }
        QCOMPARE(errors, (QStringList{u"database is locked"_s, u"Row cannot be loca"_s}));
        QCOMPARE(f.slavesRead(), (QVector<int>{1, 1, 1, 2}));
        QCOMPARE(f.col("a", "device_name"), u"X"_s);
        QCOMPARE(f.col("a", "read_time"), u"2026-06-01 08:00:03"_s);
    }

    void failedAlarmEntryLeavesNeither_data()
    {
        QTest::addColumn<bool>("analogue");
        QTest::addColumn<QString>("fault");
        const QString record = u"BEFORE INSERT ON alarm_record"_s;
        const QString state =
            u"BEFORE UPDATE OF alarm_status ON node_record WHEN NEW.alarm_status = '告警'"_s;
        QTest::newRow("switch, record") << false << record;
        QTest::newRow("switch, state") << false << state;
        QTest::newRow("analogue, record") << true << record;
        QTest::newRow("analogue, state") << true << state;
    }

    // The alarm state and its record are written together or not at all.
    void failedAlarmEntryLeavesNeither()
    {
        QFETCH(bool, analogue);
        QFETCH(QString, fault);
        PollFixture f;
        f.period = u"0"_s;
        f.add(1, u"n"_s, u"通信正常"_s, u"正常"_s, analogue ? kAnalogue : kSwitch, kZeroNormal, 0, 10);
        f.bus.answer(1, 0xFFFF);
        f.db.exec(u"INSERT INTO alarm_record VALUES ('2026-01-01 00:00:00', 'old')"_s);
        f.db.exec(u"CREATE TEMP TRIGGER fault %1 BEGIN SELECT RAISE(ABORT, 'fault'); END"_s.arg(fault));
        f.step();
        f.step();
        QVERIFY_THROWS_EXCEPTION(AppError, f.step());
        QCOMPARE(f.records(), QStringList{u"old"_s});
        QCOMPARE(f.col(u"n"_s, u"alarm_status"_s), u"正常"_s);
        QCOMPARE(f.scope.fieldText(u"alarm_status"_s), u"正常"_s);
        QCOMPARE(f.log.recordCount(), 1); // the grid shows what the file holds
        f.db.exec(u"DROP TRIGGER fault"_s);
        for (int i = 0; i < 5; ++i)
            f.step();
        QCOMPARE(f.col(u"n"_s, u"alarm_status"_s), u"告警"_s);
        QCOMPARE(f.records().size(), 2);
    }
};

QTEST_GUILESS_MAIN(PollCycleTest)
#include "PollCycleTest.moc"
