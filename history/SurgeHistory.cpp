#include "history/SurgeHistory.h"

#include "store/Query.h"
#include "store/SurgeLogTable.h"

#include <QDateTime>

namespace SurgeHistory {

namespace {
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
    const QDate end = qBound(kFirstDay, qMax(customFirst, customLast), kLastDay).addDays(1);
    const QDate first = qBound(kFirstDay, qMin(customFirst, customLast), kLastDay);
    const qint64 days = first.daysTo(end);
    if (days <= 2)
        return {first, end, Bucket::Hour};
    if (days <= 92)
        return {first, end, Bucket::Day};
    return {first, end, days <= 8 * 366 ? Bucket::Month : Bucket::Year};
}

QVector<Bar> bars(Query& query, const Period& period, int deviceId)
{
    // Bounds are made from the calendar as stored texts, never by adding
    // seconds to a time, so a day with a daylight-saving shift still has its
    // 24 hours. A bucket holds the times that start with its key: they sort
    // from the key up to the key followed by ';', which comes after every
    // character of a stored time. One sum per bar, each reading its own
    // range of the time index, and no bar reaches outside the period.
    SurgeLogTable table(query);
    const QString periodFrom = period.first.toString(QStringLiteral("yyyy-MM-dd"));
    const QString periodTo = period.end.toString(QStringLiteral("yyyy-MM-dd"));
    const auto bar = [&](const QString& label, const QString& key) {
        const QString to = key + QLatin1Char(';');
        return Bar{label, table.surgesBetween(qMax(key, periodFrom), qMin(to, periodTo), deviceId)};
    };
    QVector<Bar> result;
    for (QDate day = period.first; day < period.end;) {
        const QString date = day.toString(QStringLiteral("yyyy-MM-dd"));
        if (period.bucket == Bucket::Hour) {
            for (int hour = 0; hour < 24; ++hour) {
                const QString key = date + QStringLiteral(" %1").arg(hour, 2, 10, QLatin1Char('0'));
                result.append(bar(key.mid(5) + QStringLiteral("时"), key));
            }
            day = day.addDays(1);
        } else if (period.bucket == Bucket::Day) {
            result.append(bar(date.mid(5), date));
            day = day.addDays(1);
        } else if (period.bucket == Bucket::Month) {
            result.append(bar(date.left(7), date.left(7)));
            day = QDate(day.year(), day.month(), 1).addMonths(1);
        } else {
            // "2026-", not "2026": the column's numeric affinity would make a number of that.
            result.append(bar(date.left(4), date.left(5)));
            day = QDate(day.year() + 1, 1, 1);
        }
    }
    return result;
}

QStringList eventHeader()
{
    return {QStringLiteral("时间"),     QStringLiteral("设备地址"),  QStringLiteral("设备名称"),
            QStringLiteral("浪涌次数"), QStringLiteral("原计数"),    QStringLiteral("新计数"),
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
        row[6] = row[6] == QLatin1String("reset")         ? QStringLiteral("复位")
                 : row[6] == QLatin1String("implausible") ? QStringLiteral("读数不可信")
                                                          : QStringLiteral("浪涌");
        rows.append(row);
    }
    return rows;
}

QVector<DeviceTotal> totals(Query& query, const Period& period, int deviceId)
{
    SurgeLogTable(query).openTotals(midnight(period.first), midnight(period.end), deviceId);
    QVector<DeviceTotal> result;
    for (query.first(); !query.eof(); query.next()) {
        result.append({query.fieldInt(QStringLiteral("device_id")), query.fieldInt(QStringLiteral("surges")),
                       query.fieldInt(QStringLiteral("events"))});
    }
    return result;
}

} // namespace SurgeHistory
