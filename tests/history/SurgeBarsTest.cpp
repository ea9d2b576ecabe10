#include "TestDatabase.h"

#include "history/SurgeHistory.h"

#include <QTest>

using SurgeHistory::Span;

class SurgeBarsTest final : public QObject
{
    Q_OBJECT
private slots:
    // Events around the turn from January to February, in stored local time.
    void bars_data()
    {
        QTest::addColumn<int>("span");
        QTest::addColumn<QDate>("today"); // or the first custom day
        QTest::addColumn<QDate>("lastDay");
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("barCount");
        QTest::addColumn<QStringList>("nonEmpty");
        const QDate jan31(2026, 1, 31), feb1(2026, 2, 1);
        const int custom = int(Span::Custom);
        QTest::newRow("two days in hours")
            << custom << jan31 << feb1 << 0 << 48
            << QStringList{"01-31 22时=2", "01-31 23时=1", "02-01 00时=4", "02-01 01时=4"};
        QTest::newRow("week to Sunday")
            << int(Span::Week) << feb1 << QDate() << 0 << 7 << QStringList{"01-31=3", "02-01=8"};
        QTest::newRow("month") << int(Span::Month) << QDate(2026, 2, 15) << QDate() << 0 << 28
                               << QStringList{"02-01=8", "02-28=5"};
        QTest::newRow("year") << int(Span::Year) << feb1 << QDate() << 0 << 12
                              << QStringList{"2026-01=3", "2026-02=13", "2026-03=7"};
        QTest::newRow("half a year in months") << custom << QDate(2026, 1, 1) << QDate(2026, 6, 30) << 2 << 6
                                               << QStringList{"2026-01=1", "2026-02=4"};
    }
    void bars()
    {
        QFETCH(int, span);
        QFETCH(QDate, today);
        QFETCH(QDate, lastDay);
        QFETCH(int, device);
        TestDatabase db;
        db.exec(
            "INSERT INTO surge_event (device_id, event_time, count_before, count_after, surges, kind) VALUES "
            "(1, '2026-01-31 22:15:00', 0, 2, 2, 'surge'), (2, '2026-01-31 23:59:59', 0, 1, 1, 'surge'), "
            "(1, '2026-02-01 00:00:00', 2, 5, 3, 'surge'), (1, '2026-02-01 00:30:00', 5, 1, 0, 'reset'), "
            "(1, '2026-02-01 00:59:59', 1, 2, 1, 'surge'), (2, '2026-02-01 01:00:00', 1, 5, 4, 'surge'), "
            "(1, '2026-02-28 23:00:00', 2, 7, 5, 'surge'), (1, '2026-03-01 00:00:00', 7, 14, 7, 'surge')");
        Query query(db.connection());
        const auto period = SurgeHistory::period(Span(span), today, today, lastDay);
        const QVector<SurgeHistory::Bar> bars = SurgeHistory::bars(query, period, device);
        QStringList nonEmpty;
        for (const SurgeHistory::Bar& bar : bars) {
            if (bar.surges != 0)
                nonEmpty << bar.label + "=" + QString::number(bar.surges);
        }
        QTEST(int(bars.size()), "barCount");
        QTEST(nonEmpty, "nonEmpty");
    }
};

QTEST_MAIN(SurgeBarsTest)
#include "SurgeBarsTest.moc"
