// What waits for a busy window: each row once with every column its steps
// wrote, every alarm line, and past the limit a full refresh instead.
#include "monitor/StepQueue.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
PollStepResult wrote(qint64 rowId, const QVariantMap& written, bool passEnded = false)
{
    PollStepResult step;
    step.refresh = true;
    step.polled = {int(rowId) - 1, rowId, written, false};
    step.passEnded = passEnded;
    return step;
}
} // namespace

class StepQueueTest final : public QObject
{
    Q_OBJECT
private slots:
    void rowsKeepEveryColumnWritten()
    {
        StepQueue queue;
        QVERIFY(queue.put(wrote(7, {{u"read_time"_s, 1}, {u"node_data"_s, 5}}), false));
        QVERIFY(!queue.put(wrote(8, {{u"read_time"_s, 2}}), true));
        QVERIFY(!queue.put(wrote(7, {{u"read_time"_s, 3}}), false)); // a failed read writes no value
        const PollSteps steps = queue.take();
        QCOMPARE(std::pair(steps.taken, steps.asked), std::pair(3, 1));
        QCOMPARE(steps.rows.size(), 2);
        QCOMPARE(steps.rows[0].written, (QVariantMap{{u"read_time"_s, 3}, {u"node_data"_s, 5}}));
        QCOMPARE(steps.rows[1].written, (QVariantMap{{u"read_time"_s, 2}}));
        QVERIFY(!steps.fullRefresh);
        QVERIFY(queue.put(wrote(7, {}), false)); // told again once taken
    }

    void bounded_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("alarms");
        QTest::addColumn<bool>("passEnded");
        QTest::addColumn<QString>("taken"); // rows, alarm lines, full refresh, log reload
        QTest::newRow("within the limit") << 2 << 2 << false << u"2 2 0 0"_s;
        QTest::newRow("too many rows") << 3 << 0 << false << u"0 0 1 0"_s;
        QTest::newRow("too many alarm lines") << 1 << 3 << false << u"1 0 0 1"_s;
        QTest::newRow("pass ended") << 2 << 1 << true << u"0 1 1 0"_s;
    }
    void bounded()
    {
        QFETCH(int, rows);
        QFETCH(int, alarms);
        QFETCH(bool, passEnded);
        StepQueue queue(2);
        for (int alarm = 0; alarm < alarms; ++alarm) {
            PollStepResult step = wrote(1, {{u"alarm_status"_s, alarm}});
            step.alarm = AlarmLine{alarm, QString(), QString()};
            queue.put(step, false);
        }
        for (int row = 1; row <= rows; ++row)
            queue.put(wrote(row, {{u"read_time"_s, row}}, passEnded && row == rows), false);
        const PollSteps steps = queue.take();
        QTEST(u"%1 %2 %3 %4"_s.arg(steps.rows.size())
                  .arg(steps.alarms.size())
                  .arg(int(steps.fullRefresh))
                  .arg(int(steps.reloadAlarmLog)),
              "taken");
    }
};

QTEST_MAIN(StepQueueTest)
#include "StepQueueTest.moc"
