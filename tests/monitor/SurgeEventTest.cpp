#include "ScriptedBus.h"
#include "TestDatabase.h"

#include "monitor/PollCycle.h"
#include "store/AppError.h"
#include "store/Clock.h"
#include "store/StationState.h"

#include <QSqlQuery>
#include <QTest>
#include <memory>

namespace {
// Device 3's surge counter polled alone, one step a minute from 08:00.
struct SurgeFixture
{
    SurgeFixture()
    {
        db.exec("INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add, "
                "con_data_type, node_data_lower, node_data_upper, node_alarm_type) VALUES (3, 'KPV3', "
                "'浪涌次数', 3, 5, '模拟量', 0, 65535, '0000(正常)/FFFF(异常)')");
        restart();
    }
    ~SurgeFixture() { Clock::setFixed(QDateTime()); }

    // A new station: what the last one saw is gone.
    void restart()
    {
        scope = std::make_unique<Query>(db.connection());
        scope->setSql("select * from node_record");
        scope->open();
        cycle = std::make_unique<PollCycle>(line, state, *scope, &bus);
    }
    void step(std::optional<int> reading)
    {
        bus.queue(3, reading);
        Clock::setFixed(now = now.addSecs(60));
        cycle->pollTick();
    }
    QStringList events()
    {
        QStringList result;
        for (QSqlQuery q("SELECT substr(event_time, 12, 5), count_before, count_after, surges, kind, "
                         "ifnull(' since ' || substr(gap_start, 12, 5), ''), device_id, device_name "
                         "FROM surge_event ORDER BY id",
                         db.connection().database());
             q.next();) {
            result << QString("%1 %2>%3:%4 %5%6 %7/%8")
                          .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                               q.value(3).toString(), q.value(4).toString(), q.value(5).toString(),
                               q.value(6).toString(), q.value(7).toString());
        }
        return result;
    }
    QString nodeData()
    {
        QSqlQuery q("SELECT node_data FROM node_record", db.connection().database());
        return q.next() ? q.value(0).toString() : "?";
    }

    TestDatabase db;
    const LineSettings line{7, 9600, 8, 1, "n", "打开"};
    PollState state;
    ScriptedBus bus;
    std::unique_ptr<Query> scope;
    std::unique_ptr<PollCycle> cycle;
    QDateTime now{QDate(2026, 6, 1), QTime(8, 0, 0)};
};
} // namespace

class SurgeEventTest final : public QObject
{
    Q_OBJECT
private slots:
    void counterSequences_data()
    {
        QTest::addColumn<QStringList>("steps"); // a reading, "-" a failed read, "restart", "w<n>" another
                                                // program writing node_data, "stop" monitoring stopped,
                                                // "out"/"in" the scope opened without/with the device
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("nodeData");
        const QString d = " 3/KPV3";
        QTest::newRow("rises, equal readings")
            << QStringList{"5", "5", "8", "8", "9"}
            << QStringList{"08:03 5>8:3 surge" + d, "08:05 8>9:1 surge" + d} << "9";
        QTest::newRow("gap with a jump")
            << QStringList{"5", "-", "-", "9", "10"}
            << QStringList{"08:04 5>9:4 surge since 08:01" + d, "08:05 9>10:1 surge" + d} << "10";
        QTest::newRow("fall") << QStringList{"5", "2", "4"}
                              << QStringList{"08:02 5>2:0 reset" + d, "08:03 2>4:2 surge" + d} << "4";
        QTest::newRow("wrap") << QStringList{"65530", "3"} << QStringList{"08:02 65530>3:9 surge" + d} << "3";
        QTest::newRow("wrap of exactly 1024")
            << QStringList{"65000", "488"} << QStringList{"08:02 65000>488:1024 surge" + d} << "488";
        QTest::newRow("fall from the top")
            << QStringList{"64000", "3000"} << QStringList{"08:02 64000>3000:0 reset" + d} << "3000";
        QTest::newRow("restart") << QStringList{"5", "7", "restart", "9", "10"}
                                 << QStringList{"08:02 5>7:2 surge" + d, "08:04 9>10:1 surge" + d} << "10";
        // The foreign write makes the next step's write fail; the tick after it stores the reading.
        QTest::newRow("another program writes")
            << QStringList{"5", "w0", "6", "6"} << QStringList{"08:03 5>6:1 surge" + d} << "6";
        QTest::newRow("stop, scope with and without the device")
            << QStringList{"5", "stop", "7", "in", "8", "out", "in", "9"}
            << QStringList{"08:02 5>7:2 surge since 08:01" + d, "08:03 7>8:1 surge" + d,
                           "08:04 8>9:1 surge since 08:03" + d}
            << "9";
        QTest::newRow("fault pattern kept out")
            << QStringList{"65000", "65535", "65535"} << QStringList{"08:02 65000>65535:0 implausible" + d}
            << "65000";
        QTest::newRow("rise bound, then on from the last good count")
            << QStringList{"3000", "4024", "5049", "4030"}
            << QStringList{"08:02 3000>4024:1024 surge" + d, "08:03 4024>5049:0 implausible" + d,
                           "08:04 4024>4030:6 surge since 08:02" + d}
            << "4030";
        QTest::newRow("a jump read three times is a new start")
            << QStringList{"3000", "9000", "9000", "9000", "9001"}
            << QStringList{"08:02 3000>9000:0 implausible" + d, "08:04 3000>9000:0 reset since 08:01" + d,
                           "08:05 9000>9001:1 surge" + d}
            << "9001";
        QTest::newRow("fault pattern is no baseline")
            << QStringList{"65535", "5", "6"} << QStringList{"08:03 5>6:1 surge" + d} << "6";
    }
    void counterSequences()
    {
        QFETCH(QStringList, steps);
        SurgeFixture f;
        for (const QString& step : steps) {
            if (step == "restart") {
                f.restart();
            } else if (step == "stop") {
                f.cycle->readingsPaused();
            } else if (step == "in" || step == "out") {
                f.scope->setSql(step == "in" ? "select * from node_record"
                                             : "select * from node_record where 0");
                f.scope->open();
                f.cycle->scopeOpened();
            } else if (step.startsWith('w')) {
                f.db.exec("UPDATE node_record SET node_data = " + step.mid(1));
            } else {
                try {
                    f.step(step == "-" ? std::nullopt : std::optional<int>(step.toInt()));
                } catch (const AppError&) {
                }
            }
        }
        QTEST(f.events(), "events");
        QTEST(f.nodeData(), "nodeData");
    }

    void eventAndReadingCommitTogether()
    {
        SurgeFixture f;
        f.step(5);
        f.db.exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON surge_event BEGIN SELECT RAISE(ABORT, 'full'); END");
        QVERIFY_THROWS_EXCEPTION(AppError, f.step(8));
        QCOMPARE(f.nodeData(), "5");
        QCOMPARE(f.events(), QStringList());
        f.db.exec("DROP TRIGGER refuse");
        f.step(8);
        QCOMPARE(f.nodeData(), "8");
        QCOMPARE(f.events(), QStringList{"08:03 5>8:3 surge 3/KPV3"});
    }
};

QTEST_MAIN(SurgeEventTest)
#include "SurgeEventTest.moc"
