#include "ScriptedBus.h"
#include "TestDatabase.h"

#include "app/MainState.h"
#include "monitor/PollCycle.h"
#include "store/AppError.h"
#include "store/Clock.h"

#include <QSqlQuery>
#include <QTest>

namespace {
const QString kZeroNormal = QStringLiteral("0000(正常)/FFFF(异常)");
const QString kFfffNormal = QStringLiteral("FFFF(正常)/0000(异常)");
const QString kSwitch = QStringLiteral("开关量");
const QString kAnalogue = QStringLiteral("模拟量");

struct Node
{
    int device;
    QString node;
    QString type = QStringLiteral("开关量");
    QString alarmType = QStringLiteral("0000(正常)/FFFF(异常)");
    int lower = 0;
    int upper = 65535;
    QString comm;
    QString alarm;
    int code = 3;
};

struct PollFixture
{
    PollFixture()
    {
        cycle.setMonitorPeriodText([this]() { return period; });
        cycle.setRefreshView([this]() { ++refreshes; });
        Clock::setFixed(now);
        log.setSql(QStringLiteral("select 告警时间,告警纪录 from alarm_record order by 告警时间"));
        log.open();
        state.ComNum = 7;
    }
    ~PollFixture() { Clock::setFixed(QDateTime()); }

    void add(const Node& n)
    {
        Query q(db.connection());
        q.setSql(
            QStringLiteral("Insert into node_record ([device_id],[device_name],[node_name],[node_code],"
                           "[node_reg_add],[con_data_type],[node_data_lower],[node_data_upper],"
                           "[node_alarm_type],[communication_status],[alarm_status]) values(:device_id,"
                           ":device_name,:node_name,:node_code,:node_reg_add,:con_data_type,:node_data_lower,"
                           ":node_data_upper,:node_alarm_type,:c,:a)"));
        q.setInt(QStringLiteral("device_id"), n.device);
        q.setText(QStringLiteral("device_name"), QStringLiteral("KPV%1").arg(n.device));
        q.setText(QStringLiteral("node_name"), n.node);
        q.setInt(QStringLiteral("node_code"), n.code);
        q.setInt(QStringLiteral("node_reg_add"), 11);
        q.setText(QStringLiteral("con_data_type"), n.type);
        q.setInt(QStringLiteral("node_data_lower"), n.lower);
        q.setInt(QStringLiteral("node_data_upper"), n.upper);
        q.setText(QStringLiteral("node_alarm_type"), n.alarmType);
        q.setParam(QStringLiteral("c"), n.comm.isNull() ? QVariant() : QVariant(n.comm));
        q.setParam(QStringLiteral("a"), n.alarm.isNull() ? QVariant() : QVariant(n.alarm));
        q.execSql();
    }

    void openScope()
    {
        scope.setSql(QStringLiteral("select * from node_record order by  device_id ASC, node_name ASC"));
        scope.open();
    }

    void step()
    {
        now = now.addSecs(1);
        Clock::setFixed(now);
        cycle.Timer1Timer();
    }

    QString column(int device, const QString& node, const QString& name)
    {
        QSqlQuery q(db.connection().database());
        q.prepare(
            QStringLiteral("SELECT \"%1\" FROM node_record WHERE device_id=? AND node_name=?").arg(name));
        q.addBindValue(device);
        q.addBindValue(node);
        if (!q.exec() || !q.next())
            return QStringLiteral("<no row>");
        return q.value(0).toString();
    }

    QStringList records()
    {
        QStringList result;
        QSqlQuery q(db.connection().database());
        q.exec(QStringLiteral("SELECT 告警纪录 FROM alarm_record ORDER BY rowid"));
        while (q.next())
            result << q.value(0).toString();
        return result;
    }

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
    QString period = QStringLiteral("5");
    int refreshes = 0;
    QDateTime now{QDate(2026, 6, 1), QTime(8, 0, 0)};
};
} // namespace

class PollCycleTest final : public QObject
{
    Q_OBJECT
private slots:
    void threeFailuresMarkCommunicationLoss();
    void nodeAlreadyLostIsNotHeld();
    void nodeNeverReadKeepsEmptyStatus();
    void failureCountCarriesOverBetweenNodes();
    void successWritesValueAndStatusInOneGo();
    void oneNodeScopePausesAfterEachRead();
    void zeroPeriodMeansNoPause();
    void countdownAndBusyLinkSkipTheTick();
    void emptyScopeTouchesNoRow();
    void unknownFunctionCodeCountsAsZero();
    void function04UsesInputRegisters();
    void switchJudgement_data();
    void switchJudgement();
    void analogueLimitsAreInclusive_data();
    void analogueLimitsAreInclusive();
    void switchAlarmEpisodeIsLoggedOnce();
    void analogueAlarmRecordText();
    void alarmCountCarriesOverBetweenNodes();
    void nodeInAlarmThatLosesCommunicationStaysInAlarm();
    void failedAlarmInsertKeepsTheGridFilled();
};

void PollCycleTest::threeFailuresMarkCommunicationLoss()
{
    PollFixture f;
    f.add({1, QStringLiteral("a"), kSwitch, kZeroNormal, 0, 0, QStringLiteral("通信正常"),
           QStringLiteral("正常")});
    f.add({2, QStringLiteral("b")});
    f.openScope();
    f.bus.silence(1);
    QStringList readTimes;
    for (int i = 0; i < 3; ++i) {
        f.step();
        readTimes << f.column(1, QStringLiteral("a"), QStringLiteral("read_time"));
    }
    QCOMPARE(f.slavesRead(), (QVector<int>{1, 1, 1}));
    QCOMPARE(readTimes,
             (QStringList{QStringLiteral("2026-06-01 08:00:01"), QStringLiteral("2026-06-01 08:00:02"),
                          QStringLiteral("2026-06-01 08:00:03")}));
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("communication_status")),
             QStringLiteral("通信异常"));
    QCOMPARE(f.state.CommFailCount, 0);
    QCOMPARE(f.refreshes, 1); // holds refresh nothing
    // Reading, value and alarm state of the lost node keep their last values.
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("alarm_status")), QStringLiteral("正常"));
    f.step();
    QCOMPARE(f.slavesRead().last(), 2);
}

void PollCycleTest::nodeAlreadyLostIsNotHeld()
{
    PollFixture f;
    f.add({1, QStringLiteral("a"), kSwitch, kZeroNormal, 0, 0, QStringLiteral("通信异常")});
    f.add({2, QStringLiteral("b")});
    f.openScope();
    f.bus.silence(1);
    f.step();
    f.step();
    QCOMPARE(f.slavesRead(), (QVector<int>{1, 2}));
    QCOMPARE(f.state.CommFailCount, 0);
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("communication_status")),
             QStringLiteral("通信异常"));
}

void PollCycleTest::nodeNeverReadKeepsEmptyStatus()
{
    PollFixture f;
    f.add({1, QStringLiteral("a")});
    f.openScope();
    f.bus.silence(1);
    for (int i = 0; i < 4; ++i) {
        f.state.Countdown = 0;
        f.step();
    }
    QCOMPARE(f.slavesRead().size(), 4);
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("communication_status")), QString());
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("read_time")),
             QStringLiteral("2026-06-01 08:00:04"));
    QCOMPARE(f.state.CommFailCount, 0);
}

void PollCycleTest::failureCountCarriesOverBetweenNodes()
{
    PollFixture f;
    f.add({1, QStringLiteral("A"), kSwitch, kZeroNormal, 0, 0, QStringLiteral("通信正常")});
    f.add({2, QStringLiteral("B"), kSwitch, kZeroNormal, 0, 0, QStringLiteral("通信正常")});
    f.openScope();
    f.bus.queue(1, std::nullopt); // A fails once, then answers
    f.step();
    QCOMPARE(f.state.CommFailCount, 1);
    f.step();
    QCOMPARE(f.state.CommFailCount, 1); // a success does not reset it
    QCOMPARE(f.column(1, QStringLiteral("A"), QStringLiteral("communication_status")),
             QStringLiteral("通信正常"));
    f.bus.silence(2);
    f.step();
    QCOMPARE(f.state.CommFailCount, 2);
    QCOMPARE(f.column(2, QStringLiteral("B"), QStringLiteral("communication_status")),
             QStringLiteral("通信正常"));
    f.step();
    QCOMPARE(f.state.CommFailCount, 0);
    QCOMPARE(f.column(2, QStringLiteral("B"), QStringLiteral("communication_status")),
             QStringLiteral("通信异常"));
    QCOMPARE(f.slavesRead(), (QVector<int>{1, 1, 2, 2}));
}

void PollCycleTest::successWritesValueAndStatusInOneGo()
{
    PollFixture f;
    f.add({4, QStringLiteral("n"), kAnalogue, QString(), 0, 65535, QStringLiteral("通信异常")});
    f.openScope();
    f.bus.answer(4, 65535);
    f.step();
    QCOMPARE(f.column(4, QStringLiteral("n"), QStringLiteral("communication_status")),
             QStringLiteral("通信正常"));
    QCOMPARE(f.column(4, QStringLiteral("n"), QStringLiteral("node_data")), QStringLiteral("65535"));
    QCOMPARE(f.column(4, QStringLiteral("n"), QStringLiteral("con_data")), QStringLiteral("65535"));
    QCOMPARE(f.bus.calls.first().port, 7);
    QCOMPARE(f.bus.calls.first().reg, 11);
    QCOMPARE(f.bus.calls.first().function, 3);
}

void PollCycleTest::oneNodeScopePausesAfterEachRead()
{
    PollFixture f;
    f.add({1, QStringLiteral("a")});
    f.add({1, QStringLiteral("b")});
    f.scope.setSql(
        QStringLiteral("select * from node_record where (device_id=:device_id)and(node_name=:node_name)"));
    f.scope.setInt(QStringLiteral("device_id"), 1);
    f.scope.setText(QStringLiteral("node_name"), QStringLiteral("b"));
    f.scope.open();
    f.step();
    QCOMPARE(f.state.Countdown, 5);
    QCOMPARE(f.refreshes, 1);
    f.step(); // pausing: nothing read
    QCOMPARE(f.bus.calls.size(), 1);
    f.state.Countdown = 0;
    f.step();
    QCOMPARE(f.slavesRead(), (QVector<int>{1, 1}));
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("read_time")), QString());
}

void PollCycleTest::zeroPeriodMeansNoPause()
{
    PollFixture f;
    f.period = QStringLiteral("0");
    f.add({1, QStringLiteral("a")});
    f.add({2, QStringLiteral("a")});
    f.openScope();
    for (int i = 0; i < 5; ++i)
        f.step();
    QCOMPARE(f.slavesRead(), (QVector<int>{1, 2, 1, 2, 1}));
    QCOMPARE(f.state.Countdown, 0);
}

void PollCycleTest::countdownAndBusyLinkSkipTheTick()
{
    PollFixture f;
    f.add({1, QStringLiteral("a")});
    f.openScope();
    f.state.Countdown = 2;
    f.step();
    QVERIFY(f.bus.calls.isEmpty());
    f.state.Countdown = 0;
    f.bus.setBusy(true);
    f.step();
    QVERIFY(f.bus.calls.isEmpty());
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("read_time")), QString());
    QCOMPARE(f.refreshes, 0);
    f.bus.setBusy(false);
    f.step();
    QCOMPARE(f.bus.calls.size(), 1);
}

void PollCycleTest::emptyScopeTouchesNoRow()
{
    PollFixture f;
    f.openScope();
    f.step();
    QCOMPARE(f.db.count(QStringLiteral("node_record")), 0);
    QVERIFY(f.bus.calls.isEmpty());
    QCOMPARE(f.state.Countdown, 5); // the pass is over
    QCOMPARE(f.refreshes, 1);
}

void PollCycleTest::unknownFunctionCodeCountsAsZero()
{
    PollFixture f;
    Node n{1, QStringLiteral("a")};
    n.code = 6;
    f.add(n);
    f.add({2, QStringLiteral("b")});
    f.openScope();
    f.bus.answer(1, 0xFFFF);
    f.step();
    QVERIFY(f.bus.calls.isEmpty());
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("communication_status")),
             QStringLiteral("通信正常"));
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("con_data")), QStringLiteral("正常"));
    f.step();
    QCOMPARE(f.slavesRead(), QVector<int>{2});
}

void PollCycleTest::function04UsesInputRegisters()
{
    PollFixture f;
    Node n{1, QStringLiteral("a")};
    n.code = 4;
    f.add(n);
    f.openScope();
    f.step();
    QCOMPARE(f.bus.calls.size(), 1);
    QCOMPARE(f.bus.calls.first().function, 4);
}

void PollCycleTest::switchJudgement_data()
{
    QTest::addColumn<QString>("alarmType");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("conData");
    QTest::addColumn<bool>("abnormal");
    QTest::newRow("0000 normal reads 0") << kZeroNormal << 0 << "正常" << false;
    QTest::newRow("0000 normal reads FFFF") << kZeroNormal << 0xFFFF << "异常" << true;
    QTest::newRow("0000 normal reads 1") << kZeroNormal << 1 << "异常" << true;
    QTest::newRow("FFFF normal reads 0") << kFfffNormal << 0 << "异常" << true;
    QTest::newRow("FFFF normal reads FFFF") << kFfffNormal << 0xFFFF << "正常" << false;
    QTest::newRow("FFFF normal reads 1") << kFfffNormal << 1 << "正常" << false;
    QTest::newRow("other type reads 0") << "?" << 0 << "异常" << true;
}

void PollCycleTest::switchJudgement()
{
    QFETCH(QString, alarmType);
    QFETCH(int, value);
    QFETCH(QString, conData);
    QFETCH(bool, abnormal);
    PollFixture f;
    f.add({1, QStringLiteral("a"), kSwitch, alarmType});
    f.add({2, QStringLiteral("b")});
    f.openScope();
    f.bus.answer(1, value);
    f.step();
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("con_data")), conData);
    // Abnormal: a hold, the alarm state untouched; normal: "正常" and on.
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("alarm_status")),
             abnormal ? QString() : QStringLiteral("正常"));
    QCOMPARE(f.state.AlarmConfirmCount, abnormal ? 1 : 0);
    f.step();
    QCOMPARE(f.slavesRead().last(), abnormal ? 1 : 2);
}

void PollCycleTest::analogueLimitsAreInclusive_data()
{
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("normal");
    QTest::newRow("at lower") << 10 << 20 << 10 << true;
    QTest::newRow("at upper") << 10 << 20 << 20 << true;
    QTest::newRow("below") << 10 << 20 << 9 << false;
    QTest::newRow("above") << 10 << 20 << 21 << false;
    QTest::newRow("full range 0") << 0 << 65535 << 0 << true;
    QTest::newRow("full range 65535") << 0 << 65535 << 65535 << true;
    QTest::newRow("signed limits") << -5 << -1 << 0 << false;
}

void PollCycleTest::analogueLimitsAreInclusive()
{
    QFETCH(int, lower);
    QFETCH(int, upper);
    QFETCH(int, value);
    QFETCH(bool, normal);
    PollFixture f;
    f.add({1, QStringLiteral("n"), kAnalogue, QString(), lower, upper});
    f.openScope();
    f.bus.answer(1, value);
    f.step();
    QCOMPARE(f.column(1, QStringLiteral("n"), QStringLiteral("con_data")), QString::number(value));
    QCOMPARE(f.column(1, QStringLiteral("n"), QStringLiteral("alarm_status")),
             normal ? QStringLiteral("正常") : QString());
    QCOMPARE(f.state.AlarmConfirmCount, normal ? 0 : 1);
}

void PollCycleTest::switchAlarmEpisodeIsLoggedOnce()
{
    PollFixture f;
    f.period = QStringLiteral("0");
    f.add({1, QStringLiteral("浪涌保护器")});
    f.openScope();
    f.bus.answer(1, 0xFFFF);
    f.step();
    f.step();
    QCOMPARE(f.column(1, QStringLiteral("浪涌保护器"), QStringLiteral("alarm_status")), QString());
    QVERIFY(f.records().isEmpty());
    f.step();
    QCOMPARE(f.column(1, QStringLiteral("浪涌保护器"), QStringLiteral("alarm_status")),
             QStringLiteral("告警"));
    QCOMPARE(f.records(), QStringList{QStringLiteral("KPV1[1];  浪涌保护器:异常")});
    QCOMPARE(f.log.recordCount(), 1); // the grid's query was reopened
    QCOMPARE(f.log.fieldText(QStringLiteral("告警时间")), QStringLiteral("2026-06-01 08:00:03"));

    for (int i = 0; i < 4; ++i)
        f.step();
    QCOMPARE(f.records().size(), 1);
    QCOMPARE(f.state.AlarmConfirmCount, 0);

    f.bus.answer(1, 0);
    f.step();
    QCOMPARE(f.column(1, QStringLiteral("浪涌保护器"), QStringLiteral("alarm_status")),
             QStringLiteral("正常"));
    QCOMPARE(f.column(1, QStringLiteral("浪涌保护器"), QStringLiteral("con_data")), QStringLiteral("正常"));
    QCOMPARE(f.records().size(), 1);

    f.bus.answer(1, 1);
    for (int i = 0; i < 3; ++i)
        f.step();
    QCOMPARE(f.records().size(), 2);
    QCOMPARE(f.slavesRead().size(), 11);
}

void PollCycleTest::analogueAlarmRecordText()
{
    PollFixture f;
    f.add({3, QStringLiteral("浪涌次数"), kAnalogue, kZeroNormal, 10, 20});
    f.openScope();
    f.bus.answer(3, 21);
    for (int i = 0; i < 3; ++i)
        f.step();
    QCOMPARE(f.records(), QStringList{QStringLiteral("KPV3[3];  浪涌次数:21;  信息:超限告警")});
    QCOMPARE(f.column(3, QStringLiteral("浪涌次数"), QStringLiteral("alarm_status")), QStringLiteral("告警"));
    f.state.Countdown = 0;
    f.step();
    QCOMPARE(f.records().size(), 1);
}

void PollCycleTest::alarmCountCarriesOverBetweenNodes()
{
    PollFixture f;
    f.period = QStringLiteral("0");
    f.add({1, QStringLiteral("a")});
    f.add({2, QStringLiteral("b")});
    f.openScope();
    f.bus.queue(1, 0xFFFF); // one abnormal reading of a, then normal
    f.step();
    f.step();
    QCOMPARE(f.state.AlarmConfirmCount, 1);
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("alarm_status")), QStringLiteral("正常"));
    f.bus.answer(2, 0xFFFF);
    f.step();
    f.step();
    QCOMPARE(f.column(2, QStringLiteral("b"), QStringLiteral("alarm_status")), QStringLiteral("告警"));
    QCOMPARE(f.records(), QStringList{QStringLiteral("KPV2[2];  b:异常")});
}

void PollCycleTest::nodeInAlarmThatLosesCommunicationStaysInAlarm()
{
    PollFixture f;
    f.add({1, QStringLiteral("a"), kSwitch, kZeroNormal, 0, 0, QStringLiteral("通信正常"),
           QStringLiteral("告警")});
    f.openScope();
    f.bus.silence(1);
    for (int i = 0; i < 3; ++i)
        f.step();
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("communication_status")),
             QStringLiteral("通信异常"));
    QCOMPARE(f.column(1, QStringLiteral("a"), QStringLiteral("alarm_status")), QStringLiteral("告警"));
    QVERIFY(f.records().isEmpty());
}

void PollCycleTest::failedAlarmInsertKeepsTheGridFilled()
{
    PollFixture f;
    f.db.exec(QStringLiteral("INSERT INTO alarm_record VALUES ('2026-01-01 00:00:00', 'old')"));
    f.db.exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE INSERT ON alarm_record BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    f.log.close();
    f.log.open();
    QCOMPARE(f.log.recordCount(), 1);
    QVERIFY_THROWS_EXCEPTION(AppError, f.cycle.AddAlarmRecord(QStringLiteral("x")));
    QVERIFY(f.log.isActive());
    QCOMPARE(f.log.recordCount(), 1);
}

QTEST_GUILESS_MAIN(PollCycleTest)
#include "PollCycleTest.moc"
