#include "history/SurgeHistory.h"

#include "store/Query.h"
#include "store/SurgeLogTable.h"

#include <QDateTime>
#include <QHash>

namespace SurgeHistory {

namespace {
// How many leading characters of a stored time name its bucket.
int keyLength(Bucket bucket)
{
    switch (bucket) {
    case Bucket::Hour:
        return 13; // yyyy-MM-dd hh
    case Bucket::Day:
        return 10;
    case Bucket::Month:
        break;
    }
    return 7; // yyyy-MM
}

QDateTime midnight(const QDate& day)
{
    return QDateTime(day, QTime(0, 0));
}
} // namespace

Period period(Span span, const QDate& today, const QDate& customFirst, const QDate& customLast)
{
    switch (span) {
    case Span::Day:
        return {today, today.addDays(1), Bucket::Hour};
    case Span::Week: {
        const QDate monday = today.addDays(1 - today.dayOfWeek());
        return {monday, monday.addDays(7), Bucket::Day};
    }
    case Span::Month: {
        const QDate first(today.year(), today.month(), 1);
        return {first, first.addMonths(1), Bucket::Day};
    }
    case Span::Year: {
        const QDate first(today.year(), 1, 1);
        return {first, first.addYears(1), Bucket::Month};
    }
    case Span::Custom:
        break;
    }
    const QDate end = qMax(customFirst, customLast).addDays(1);
    const QDate first = qMin(customFirst, customLast);
    const qint64 days = first.daysTo(end);
    return {first, end, days <= 2 ? Bucket::Hour : days <= 92 ? Bucket::Day : Bucket::Month};
}

QVector<Bar> bars(Query& query, const Period& period, int deviceId)
{
    SurgeLogTable(query).openBucketSums(midnight(period.first), midnight(period.end), deviceId,
                                        keyLength(period.bucket));
    QHash<QString, int> sums;
    for (query.first(); !query.eof(); query.next())
        sums.insert(query.fieldText(QStringLiteral("bucket")), query.fieldInt(QStringLiteral("surges")));

    // Keys are made from the calendar, never by adding seconds to a time,
    // so a day with a daylight-saving shift still has its 24 hours.
    QVector<Bar> result;
    for (QDate day = period.first; day < period.end;) {
        const QString date = day.toString(QStringLiteral("yyyy-MM-dd"));
        if (period.bucket == Bucket::Hour) {
            for (int hour = 0; hour < 24; ++hour) {
                const QString key = date + QStringLiteral(" %1").arg(hour, 2, 10, QLatin1Char('0'));
                result.append({key.mid(5) + QStringLiteral("时"), sums.value(key)});
            }
            day = day.addDays(1);
        } else if (period.bucket == Bucket::Day) {
            result.append({date.mid(5), sums.value(date)});
            day = day.addDays(1);
        } else {
            result.append({date.left(7), sums.value(date.left(7))});
            day = QDate(day.year(), day.month(), 1).addMonths(1);
        }
    }
    return result;
}

QStringList eventHeader()
{
    return {QStringLiteral("时间"),     QStringLiteral("设备地址"), QStringLiteral("设备名称"),
            QStringLiteral("浪涌次数"), QStringLiteral("原计数"),   QStringLiteral("新计数"),
            QStringLiteral("类型"),     QStringLiteral("通信中断自")};
}

QVector<QStringList> events(Query& query, const Period& period, int deviceId, int limit)
{
    SurgeLogTable(query).openEvents(midnight(period.first), midnight(period.end), deviceId, limit);
    QVector<QStringList> rows;
    rows.reserve(query.recordCount());
    for (query.first(); !query.eof(); query.next()) {
        QStringList row;
        for (const char* column : {"event_time", "device_id", "device_name", "surges", "count_before",
                                   "count_after", "kind", "gap_start"})
            row << query.fieldText(QString::fromLatin1(column));
        row[6] = row[6] == QLatin1String("reset") ? QStringLiteral("复位") : QStringLiteral("浪涌");
        rows.append(row);
    }
    return rows;
}

QVector<DeviceTotal> totals(Query& query, const Period& period, int deviceId)
{
    SurgeLogTable(query).openTotals(midnight(period.first), midnight(period.end), deviceId);
    QVector<DeviceTotal> result;
    for (query.first(); !query.eof(); query.next()) {
        result.append({query.fieldInt(QStringLiteral("device_id")), query.fieldText(QStringLiteral("device_name")),
                       query.fieldInt(QStringLiteral("surges")), query.fieldInt(QStringLiteral("events"))});
    }
    return result;
}

} // namespace SurgeHistory
