#include "ScriptedBus.h"
#include "TestDatabase.h"

#include "monitor/AlarmStates.h"
#include "monitor/BusCounters.h"
#include "monitor/PollCycle.h"
#include "store/AlarmLogTable.h"
#include "store/AppError.h"
#include "store/Clock.h"
#include "store/StationState.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

namespace {
const QString kZeroNormal = "0000(正常)/FFFF(异常)";
using Ints = QVector<int>;

struct PollFixture
{
    PollFixture()
    {
        state.MonitorPeriod = 0; // passes follow each other without a pause
        cycle.setAlarmStates(&alarms);
        log.setSql("select 告警时间,告警纪录 from alarm_record order by 告警时间");
        log.open();
    }
    ~PollFixture() { Clock::setFixed(QDateTime()); }

    // Empty statuses are stored as NULL (never read); an empty alarm type makes an analogue node.
    void add(int device, const QString& node, const QString& comm = {}, const QString& alarm = {},
             const QString& alarmType = kZeroNormal, int upper = 20, int code = 3, int reg = 11)
    {
        db.exec(
            QString("INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add, "
                    "con_data_type, node_data_lower, node_data_upper, node_alarm_type, communication_status, "
                    "alarm_status) VALUES (%1, 'KPV%1', '%2', %3, %9, '%4', 10, %5, '%6', NULLIF('%7', ''), "
                    "NULLIF('%8', ''))")
                .arg(QString::number(device), node, QString::number(code),
                     alarmType.isEmpty() ? "模拟量" : "开关量", QString::number(upper), alarmType, comm,
                     alarm, QString::number(reg)));
    }

    // The first tick opens the whole node table as the scope unless a test opened its own.
    void step(int times = 1)
    {
        if (!scope.isActive())
            openScope("select * from node_record order by  device_id ASC, node_name ASC");
        for (int i = 0; i < times; ++i) {
            Clock::setFixed(now = now.addSecs(1));
            for (const PollStepResult& result :
                 lineMode ? cycle.lineTick() : QVector<PollStepResult>{cycle.pollTick()}) {
                refreshes += result.refresh;
                if (result.alarm) // as the window takes the line into its grid
                    AlarmLogTable(log).takeAdded(result.alarm->rowId, result.alarm->time, result.alarm->text);
            }
        }
    }
    void openScope(const QString& sql)
    {
        scope.setSql(sql);
        scope.open();
    }

    // Read as another program reads: only what was committed.
    QStringList values(const QString& sql)
    {
        if (!reader.isOpen())
            reader.open(db.path());
        QStringList result;
        for (QSqlQuery q(sql, reader.database()); q.next();)
            result << q.value(0).toString();
        return result;
    }
    // Statuses, data and the read time's seconds of a node (names are unique within each test).
    QString row(const QString& node)
    {
        return values(
                   "SELECT "
                   "ifnull(communication_status,'')||'/'||ifnull(alarm_status,'')||'/'||ifnull(con_data,'')"
                   "||'/'||ifnull(node_data,'')||'/'||substr(ifnull(read_time,''),19) FROM node_record WHERE "
                   "node_name='" +
                   node + "'")
            .value(0);
    }
    QString status(const QString& node) { return row(node).section('/', 0, 1); }
    QStringList records() { return values("SELECT 告警纪录 FROM alarm_record ORDER BY rowid"); }
    // Line mode's requests: the slave, s for a single register below the highest slave.
    QString requests() const
    {
        QString result;
        for (const auto& call : bus.calls)
            result += call.count == 1 && call.slave == 1 ? QString("s") : QString::number(call.slave);
        return result;
    }
    Ints slavesRead() const
    {
        Ints result;
        for (const auto& call : bus.calls)
            result << call.slave;
        return result;
    }

    TestDatabase db;
    Connection reader{"reader"};
    const LineSettings line{7, 9600, 8, 1, "n", "打开"};
    PollState state;
    Query scope{db.connection()};
    Query log{db.connection()};
    ScriptedBus bus;
    AlarmStates alarms{db.connection()};
    PollCycle cycle{line, state, scope, &bus};
    int refreshes = 0;
    bool lineMode = false;
    QDateTime now{QDate(2026, 6, 1), QTime(8, 0, 0)};
};
} // namespace

class PollCycleTest final : public QObject
{
    Q_OBJECT
private slots:
    // Switch nodes by their alarm type, analogue nodes (no alarm type) by the limits 10..20.
    void readings_data()
    {
        QTest::addColumn<QStringList>("node"); // communication, alarm, alarm type
        QTest::addColumn<int>("value");        // every reading of node a; -1: silent
        QTest::addColumn<QString>("row");      // of node a after four ticks, read last at the third
        QTest::addColumn<QString>("record");
        using L = QStringList;
        const QString ok = "通信正常", lost = "通信异常", none, zero = kZeroNormal,
                      ffff = "FFFF(正常)/0000(异常)";
        const QString switchAlarm = "KPV1[1];  a:异常", outside = "KPV1[1];  a:%1;  信息:超限告警";
        // A loss is confirmed by three failed reads of a node that was communicating, which
        // hold it meanwhile; it leaves the alarm state as it was and logs nothing.
        QTest::newRow("silent, held") << L{ok, "告警", zero} << -1 << "通信异常/告警///3" << none;
        QTest::newRow("silent, lost") << L{lost, "正常", zero} << -1 << "通信异常/正常///3" << none;
        QTest::newRow("silent, never read") << L{none, none, zero} << -1 << "////3" << none;
        // An answer ends a loss; abnormal readings hold the node until the alarm is confirmed.
        QTest::newRow("0000 reads 0") << L{lost, none, zero} << 0 << "通信正常/正常/正常/0/3" << none;
        QTest::newRow("0000 reads 1") << L{lost, none, zero} << 1 << "通信正常/告警/异常/1/3" << switchAlarm;
        QTest::newRow("FFFF reads 0") << L{ok, "正常", ffff} << 0 << "通信正常/告警/异常/0/3" << switchAlarm;
        QTest::newRow("FFFF reads 1") << L{ok, "告警", ffff} << 1 << "通信正常/正常/正常/1/3" << none;
        QTest::newRow("other type reads 0")
            << L{ok, none, "?"} << 0 << "通信正常/告警/异常/0/3" << switchAlarm;
        QTest::newRow("at lower limit") << L{ok, "告警", none} << 10 << "通信正常/正常/10/10/3" << none;
        QTest::newRow("at upper limit") << L{ok, none, none} << 20 << "通信正常/正常/20/20/3" << none;
        QTest::newRow("below") << L{ok, none, none} << 9 << "通信正常/告警/9/9/3" << outside.arg(9);
        QTest::newRow("above") << L{ok, none, none} << 21 << "通信正常/告警/21/21/3" << outside.arg(21);
    }

    void readings()
    {
        QFETCH(QStringList, node);
        QFETCH(int, value);
        QFETCH(QString, record);
        PollFixture f;
        f.add(1, "a", node[0], node[1], node[2]);
        f.add(2, "b");
        value < 0 ? f.bus.silence(1) : f.bus.answer(1, value);
        f.step(4);
        const bool held = value < 0 ? node[0] == "通信正常" : !record.isEmpty();
        QCOMPARE(f.slavesRead(), (held ? Ints{1, 1, 1, 2} : Ints{1, 2, 1, 2}));
        QCOMPARE(f.refreshes, held ? 2 : 4); // a hold refreshes nothing
        QTEST(f.row("a"), "row");            // read last at the third tick
        QCOMPARE(f.records(), record.isEmpty() ? QStringList() : QStringList{record});
        QCOMPARE(f.state.CommFailCount + f.state.AlarmConfirmCount, 0);
    }

    // One bad reading of A, then a good one: B needs only two bad ones.
    void countersAreSharedBetweenNodes()
    {
        for (const bool silent : {true, false}) {
            PollFixture f;
            f.add(1, "A", "通信正常", "正常");
            f.add(2, "B", "通信正常", "正常");
            const int& counter = silent ? f.state.CommFailCount : f.state.AlarmConfirmCount;
            for (int slave : {1, 2, 2})
                f.bus.queue(slave, silent ? std::nullopt : std::optional<int>(0xFFFF));
            Ints counts;
            for (int i = 0; i < 4; ++i) {
                f.step();
                counts << counter;
            }
            QCOMPARE(counts, (Ints{1, 1, 2, 0})); // a good reading does not reset it
            QCOMPARE(f.status("A") + ' ' + f.status("B"),
                     silent ? "通信正常/正常 通信异常/正常" : "通信正常/正常 通信正常/告警");
            QCOMPARE(f.records(), silent ? QStringList() : QStringList{"KPV2[2];  B:异常"});
            QCOMPARE(f.slavesRead(), (Ints{1, 1, 2, 2}));
        }
    }

    // A one-node scope pauses after each read; nothing is read during a pause or
    // while the link is busy; an empty scope ends the pass at once and creates no row.
    // Device n holds a node read with function code n.
    void scopesAndFunctionCodes()
    {
        PollFixture f;
        f.state.MonitorPeriod = 5;
        for (int code : {3, 4, 6}) {
            f.add(code, QString("n%1").arg(code), {}, {}, {}, 65535, code);
            f.bus.answer(code, 0xFFFF);
        }
        f.openScope("select * from node_record where node_name='n3'");
        f.step(2);
        QCOMPARE(Ints({int(f.bus.calls.size()), f.state.Countdown, f.refreshes}), (Ints{1, 5, 1}));
        f.state.Countdown = 0;
        f.bus.setBusy(true);
        f.step();
        QCOMPARE(Ints({int(f.bus.calls.size()), f.refreshes}), (Ints{1, 1}));
        f.bus.setBusy(false);
        f.openScope("select * from node_record where node_name='c'");
        f.step();
        QCOMPARE(Ints({f.db.count("node_record"), int(f.bus.calls.size()), f.state.Countdown, f.refreshes}),
                 (Ints{3, 1, 5, 2}));
        f.state.Countdown = 0;
        f.openScope("select * from node_record order by  device_id ASC, node_name ASC");
        f.step(3);
        Ints calls; // function, port, slave, register
        for (const auto& c : f.bus.calls)
            calls << c.function << c.port << c.slave << c.reg;
        QCOMPARE(calls, (Ints{3, 7, 3, 11, 3, 7, 3, 11, 4, 7, 4, 11}));
        // Unsigned: within 10..65535. Another code reads nothing and counts as an answer of 0.
        QCOMPARE(f.row("n3") + ' ' + f.row("n4") + ' ' + f.row("n6"),
                 "通信正常/正常/65535/65535/5 通信正常/正常/65535/65535/6 通信正常//0/0/7");
    }

    void alarmEntry_data()
    {
        QTest::addColumn<bool>("analogue");
        QTest::addColumn<QString>("fault");
        for (const bool analogue : {false, true}) {
            const char* kind = analogue ? "analogue" : "switch";
            QTest::addRow("%s", kind) << analogue << QString();
            QTest::addRow("%s, record fails", kind) << analogue << "BEFORE INSERT ON alarm_record";
            QTest::addRow("%s, state fails", kind)
                << analogue << "BEFORE UPDATE OF alarm_status ON node_record WHEN NEW.alarm_status = '告警'";
            QTest::addRow("%s, event fails", kind) << analogue << "BEFORE INSERT ON alarm_event";
        }
    }

    // Logged once per episode, at the time of the third reading; the alarm state
    // and its record are written together or not at all.
    void alarmEntry()
    {
        QFETCH(bool, analogue);
        QFETCH(QString, fault);
        PollFixture f;
        f.add(1, "n", "通信正常", "正常", analogue ? QString() : kZeroNormal);
        f.bus.answer(1, 0xFFFF);
        f.db.exec("INSERT INTO alarm_record VALUES ('2026-01-01 00:00:00', 'old')");
        if (!fault.isEmpty()) {
            f.db.exec(
                QString("CREATE TEMP TRIGGER fault %1 BEGIN SELECT RAISE(ABORT, 'fault'); END").arg(fault));
            f.step(2);
            const QString before = f.row("n");
            QVERIFY_THROWS_EXCEPTION(AppError, f.step());
            QCOMPARE(f.row("n"), before); // no new read time beside old data
            QCOMPARE(f.records(), QStringList{"old"});
            QCOMPARE(f.status("n") + '/' + f.scope.fieldText("alarm_status"), "通信正常/正常/正常");
            QCOMPARE(f.db.count("alarm_event") + f.db.count("alarm_state"), 0);
            f.db.exec("DROP TRIGGER fault");
        }
        f.step(2);
        QCOMPARE(f.status("n"), "通信正常/正常");
        f.step();
        QCOMPARE(f.status("n"), "通信正常/告警");
        QCOMPARE(f.values("SELECT 告警时间 FROM alarm_record ORDER BY rowid").value(1),
                 fault.isEmpty() ? "2026-06-01 08:00:03" : "2026-06-01 08:00:06");
        QCOMPARE(f.log.recordCount(), 2); // the grid's query takes the new line
        f.step(4);
        QCOMPARE(Ints({int(f.records().size()), f.state.AlarmConfirmCount}), (Ints{2, 0}));
        QCOMPARE(tableText(f.db, "state", "alarm_event"), "active_unacknowledged");
    }

    void alarmStates_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("events"); // node (none: the loss):state[/user]
        QTest::addColumn<QString>("kept");   // alarm_state afterwards
        QTest::addColumn<int>("raised");     // announced: sound and notice
        QTest::newRow("acknowledged, returns") << "ran" << QString("a:AU a:AA/op a:N") << "" << 1;
        QTest::newRow("returns, acknowledged") << "rna" << QString("a:AU a:RU a:N/op") << "" << 1;
        QTest::newRow("back before acknowledged")
            << "rnrana" << QString("a:AU a:RU a:AU a:AA/op a:N") << "" << 1;
        QTest::newRow("nothing to acknowledge") << "aarrar" << QString("a:AU a:AA/op") << "a:AA" << 1;
        QTest::newRow("loss, answer") << "lnl" << QString(":AU :RU :AU") << ":AU" << 1;
        QTest::newRow("loss acknowledged") << "lcnl" << QString(":AU :AA/op :N :AU") << ":AU" << 2;
        QTest::newRow("all") << "rlAn" << QString("a:AU :AU a:AA/op :AA/op a:N :N") << "" << 2;
        QTest::newRow("all, one returned") << "rnlA" << QString("a:AU a:RU :AU a:N/op :AA/op") << ":AA" << 2;
        QTest::newRow("silent from start, answer") << "un" << QString(":AU :RU") << ":RU" << 1;
        // Acknowledging what was shown before: a raising since is left alone.
        QTest::newRow("raised after shown") << "SrO" << QString("a:AU") << "a:AU" << 1;
        QTest::newRow("raised again after shown")
            << "rSnarO" << QString("a:AU a:RU a:N/op a:AU") << "a:AU" << 2;
        QTest::newRow("row removed elsewhere") << "rDA" << QString("a:AU") << "" << 1;
    }

    // r: three abnormal readings, n: a normal one, l: a confirmed loss, u
    // (first only): one failed reading of a node never read; acknowledged by
    // op: a the node's alarm, c the loss, A all shown; S: the list shown, O:
    // all acknowledged as shown at S; D: another program deletes the states.
    void alarmStates()
    {
        QFETCH(QString, steps);
        PollFixture f;
        f.add(1, "a", "通信正常", "正常");
        QSignalSpy raised(&f.alarms, &AlarmStates::alarmRaised);
        QVector<AlarmOccurrence> shown;
        const auto listed = [&f](const QString& node) {
            QVector<AlarmOccurrence> occurrences;
            for (const AlarmEntry& entry : f.alarms.active()) {
                if (node == "*" || entry.key.nodeName == node)
                    occurrences << AlarmOccurrence{entry.key, entry.since};
            }
            return occurrences;
        };
        for (const QChar c : steps) {
            if (c == 'u') {
                f.db.exec("UPDATE node_record SET communication_status = NULL");
                f.bus.silence(1);
                f.step();
            } else if (c == 'r' || c == 'n' || c == 'l') {
                c == 'l' ? f.bus.silence(1) : f.bus.answer(1, c == 'r' ? 0xFFFF : 0);
                f.step(c == 'n' ? 1 : 3);
            } else if (c == 'S' || c == 'D') {
                c == 'S' ? void(shown = listed("*")) : f.db.exec("DELETE FROM alarm_state");
            } else {
                f.alarms.acknowledge(c == 'O' ? shown : listed(c == 'A' ? "*" : c == 'a' ? "a" : ""), "op");
            }
        }
        const auto shortly = [&f](const QString& expression, const QString& table) {
            return tableText(f.db, expression, table)
                .replace("active_unacknowledged", "AU")
                .replace("active_acknowledged", "AA")
                .replace("returned_unacknowledged", "RU")
                .replace("normal", "N");
        };
        QTEST(shortly("node_name||':'||state||ifnull('/'||user_name, '')", "alarm_event"), "events");
        QTEST(shortly("node_name||':'||state", "alarm_state"), "kept");
        QTEST(int(raised.count()), "raised");
        // The log row of an acknowledgement names each alarm on a line of its own.
        QVERIFY(!f.db.count("alarm_event e WHERE user_name IS NOT NULL AND NOT EXISTS (SELECT 1 FROM "
                            "operation_log WHERE instr(char(10)||详情||char(10), char(10)||e.text||char(10)))"));
    }

    void lossStaysWhileAnyNodeFails_data()
    {
        // Of device 1, one a step: x silent, 0 an answer; |: from then on only node b is polled.
        QTest::addColumn<QString>("reads");
        QTest::addColumn<QString>("events");
        QTest::newRow("one node never answers") << "xxx0x0x0x0x0" << QString(":AU");
        QTest::newRow("the node answers again") << "xxx0x000" << QString(":AU :RU");
        QTest::newRow("only the answering node read") << "xxx0|0000" << QString(":AU");
    }

    // Node a of device 1 has lost communication, node b answers: the loss
    // ends only once no node of the device is lost, and is told once.
    void lossStaysWhileAnyNodeFails()
    {
        QFETCH(QString, reads);
        PollFixture f;
        f.add(1, "a", "通信正常", "正常");
        f.add(1, "b", "通信正常", "正常");
        QSignalSpy raised(&f.alarms, &AlarmStates::alarmRaised);
        for (const QChar c : reads) {
            if (c == '|') {
                f.openScope("select * from node_record where node_name = 'b'");
                continue;
            }
            f.bus.queue(1, c == 'x' ? std::nullopt : std::optional<int>(0));
            f.step();
        }
        QTEST(tableText(f.db, "node_name||':'||state", "alarm_event")
                  .replace("active_unacknowledged", "AU")
                  .replace("returned_unacknowledged", "RU"),
              "events");
        QCOMPARE(raised.count(), 1);
    }

    // Line mode: device 1's nodes a and b (registers 9, 11) in one request, then
    // device 2's c, a step a second. Device 1 answers as listed, then the last
    // answer for good (-1 silent); it may refuse ranges (by an exception or by
    // silence while a single read answers) and is then read node by node.
    void lineConfirmation_data()
    {
        QTest::addColumn<Ints>("answers");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QString>("asked"); // the first requests: 1 device 1, s one node of it, 2 device 2
        QTest::addColumn<QString>("rows");  // a and b after 26 steps, and the alarm log
        const QString ok = "通信正常/正常 通信正常/正常", lost = "通信异常/正常 通信异常/正常";
        const QString wait = QString(9, '2'); // a lost device asked again ten seconds after
        QTest::newRow("fails once, answers") << Ints{-1, 0} << 0 << "112121" << ok;
        QTest::newRow("fails, answers, fails") << Ints{-1, -1, 0, -1, 0} << 0 << "111211" << ok;
        QTest::newRow("fails three times") << Ints{-1} << 0 << "111s" + wait + '1' + wait + '1' << lost;
        QTest::newRow("lost, rejoins")
            << Ints{-1, -1, -1, -1, -1, 0} << 0 << "111s" + wait + '1' + wait + "1212" << ok;
        QTest::newRow("abnormal twice, normal") << Ints{0xFFFF, 0xFFFF, 0} << 0 << "111212" << ok;
        QTest::newRow("abnormal three times")
            << Ints{0xFFFF} << 0 << "111212"
            << "通信正常/告警 通信正常/告警 KPV1[1];  a:异常|KPV1[1];  b:异常";
        QTest::newRow("refuses by exception")
            << Ints{0} << int(ReadFailure::ExceptionReply) << "1ss2ss2" << ok;
        QTest::newRow("refuses by silence") << Ints{0} << int(ReadFailure::NoReply) << "111sss2ss2" << ok;
    }

    void lineConfirmation()
    {
        QFETCH(Ints, answers);
        QFETCH(int, refusal);
        QFETCH(QString, asked);
        PollFixture f;
        f.lineMode = true;
        BusCounters counters;
        f.cycle.setCounters(&counters);
        QHash<int, bool> nodeByNode; // as the diagnostics window shows it
        QObject::connect(&counters, &BusCounters::deviceChanged,
                         [&](const DeviceCounters& c) { nodeByNode[c.deviceId] = c.rangesRefused; });
        f.add(1, "a", "通信正常", "正常", kZeroNormal, 20, 3, 9);
        f.add(1, "b", "通信正常", "正常");
        f.add(2, "c", "通信正常", "正常");
        for (int i = 0; i + 1 < answers.size(); ++i)
            f.bus.queue(1, answers[i] < 0 ? std::nullopt : std::optional<int>(answers[i]));
        answers.last() < 0 ? f.bus.silence(1) : f.bus.answer(1, answers.last());
        f.bus.refuseRanges(1, ReadFailure(refusal));
        f.step(26);
        QCOMPARE(f.requests().left(asked.size()), asked);
        QTEST((QStringList{f.status("a"), f.status("b"), f.records().join('|')}.join(' ').trimmed()), "rows");
        QCOMPARE(nodeByNode.value(1), refusal != 0);
    }

    // Every node of a range gets what a single read of it gives: the same
    // rows, records and surge events after the same readings in either mode.
    void lineWritesAsSingleReads()
    {
        QStringList seen[2];
        for (const bool lineMode : {false, true}) {
            PollFixture f;
            f.lineMode = lineMode;
            f.add(1, "设备状态", "通信正常", "正常", kZeroNormal, 20, 3, 11);
            f.add(1, "浪涌次数", "通信正常", "正常", {}, 65535, 3, 5);
            f.add(1, "温度", "通信正常", "正常", {}, 20, 3, 7);
            for (const auto& [reg, value] : {std::pair{11, 0xFFFF}, {5, 14}, {7, 25}})
                f.bus.setRegister(1, reg, value);
            f.step(lineMode ? 3 : 7);
            f.bus.setRegister(1, 5, 16);
            f.step(lineMode ? 1 : 3);
            seen[lineMode] = f.values("SELECT node_name||'/'||communication_status||'/'||alarm_status||'/'||"
                                      "con_data||'/'||node_data FROM node_record ORDER BY rowid") +
                             f.records() + f.values("SELECT count(*)||' surges' FROM surge_event");
            QCOMPARE(f.bus.calls.size(), lineMode ? 4 : 10);
        }
        QCOMPARE(seen[1], seen[0]);
        QVERIFY(seen[0].contains("温度/通信正常/告警/25/25") &&
                seen[0].contains("浪涌次数/通信正常/正常/16/16"));
    }

    // Another program locks the file to rename device 1 and write the read time
    // of its node: the step fails while locked, then its post misses the row; the
    // same node is read again each time and then the cycle moves on.
    void anotherProgramChangesTheCurrentRow()
    {
        PollFixture f;
        f.add(1, "a");
        f.add(2, "b");
        f.step(0); // opens the scope
        Connection other("other");
        other.open(f.db.path());
        QSqlQuery foreign(other.database());
        QVERIFY(foreign.exec("BEGIN IMMEDIATE"));
        QVERIFY(foreign.exec("UPDATE node_record SET device_name = 'X', read_time = '2020-01-01 00:00:00' "
                             "WHERE device_id = 1"));
        QStringList errors;
        for (int i = 0; i < 4; ++i) {
            try {
                f.step();
            } catch (const AppError& e) {
                errors << e.text().left(18);
            }
            if (i == 0)
                QVERIFY(foreign.exec("COMMIT"));
        }
        QCOMPARE(errors, (QStringList{"database is locked", "Row cannot be loca"}));
        QCOMPARE(f.slavesRead(), (Ints{1, 1, 1, 2}));
        QCOMPARE(f.values("SELECT device_name||read_time FROM node_record WHERE node_name='a'"),
                 QStringList{"X2026-06-01 08:00:03"});
    }
};

QTEST_GUILESS_MAIN(PollCycleTest)
#include "PollCycleTest.moc"
