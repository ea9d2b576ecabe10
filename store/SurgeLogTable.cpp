#include "store/SurgeLogTable.h"

#include "store/Query.h"

namespace {
// The device condition only where one device is asked for, so that the index
// on time serves the whole station.
QString forDevice(const char* statement, int deviceId)
{
    const QString text = QString::fromUtf8(statement);
    return text.arg(deviceId == 0 ? QString() : QStringLiteral(" AND device_id = :device_id"));
}
} // namespace

void SurgeLogTable::add(const SurgeEvent& event)
{
    m_query.setSql(QStringLiteral(
        "INSERT INTO surge_event (device_id, device_name, event_time, gap_start, count_before, count_after, "
        "surges, kind) VALUES (:device_id, :device_name, :event_time, :gap_start, :count_before, "
        ":count_after, :surges, :kind)"));
    m_query.setInt(QStringLiteral("device_id"), event.deviceId);
    m_query.setText(QStringLiteral("device_name"), event.deviceName);
    m_query.setDateTime(QStringLiteral("event_time"), event.time);
    m_query.setParam(QStringLiteral("gap_start"),
                     event.gapStart.isValid() ? QVariant(event.gapStart) : QVariant());
    m_query.setInt(QStringLiteral("count_before"), event.countBefore);
    m_query.setInt(QStringLiteral("count_after"), event.countAfter);
    m_query.setInt(QStringLiteral("surges"), event.surges);
    m_query.setText(QStringLiteral("kind"), event.implausible ? QStringLiteral("implausible")
                                            : event.reset     ? QStringLiteral("reset")
                                                              : QStringLiteral("surge"));
    m_query.execSql();
}

int SurgeLogTable::surgesBetween(const QString& from, const QString& to, int deviceId)
{
    m_query.setSql(forDevice("SELECT total(surges) AS surges FROM surge_event WHERE event_time >= :time_from "
                             "AND event_time < :time_to%1",
                             deviceId));
    m_query.setText(QStringLiteral("time_from"), from);
    m_query.setText(QStringLiteral("time_to"), to);
    if (deviceId != 0)
        m_query.setInt(QStringLiteral("device_id"), deviceId);
    m_query.open();
    return m_query.fieldInt(QStringLiteral("surges"));
}

void SurgeLogTable::openEvents(const QDateTime& from, const QDateTime& to, int deviceId, int limit)
{
    m_query.setSql(
        forDevice("SELECT event_time, device_id, device_name, surges, count_before, count_after, kind, "
                  "gap_start FROM surge_event WHERE event_time >= :time_from AND event_time < "
                  ":time_to%1 ORDER BY event_time DESC, id DESC LIMIT :row_limit",
                  deviceId));
    m_query.setInt(QStringLiteral("row_limit"), limit);
    open(from, to, deviceId);
}

void SurgeLogTable::openTotals(const QDateTime& from, const QDateTime& to, int deviceId)
{
    // Over a long period most events are in it: reading the device index in
    // order sums them without sorting. A short one has few, found by time.
    const bool longPeriod = from.daysTo(to) > 92;
    m_query.setSql(forDevice(longPeriod
                                 ? "SELECT device_id, sum(surges) AS surges, count(*) AS events FROM "
                                   "surge_event INDEXED BY surge_event_device WHERE event_time >= "
                                   ":time_from AND event_time < :time_to%1 GROUP BY device_id ORDER BY "
                                   "device_id"
                                 : "SELECT device_id, sum(surges) AS surges, count(*) AS events FROM "
                                   "surge_event WHERE event_time >= :time_from AND event_time < :time_to%1 "
                                   "GROUP BY device_id ORDER BY device_id",
                             deviceId));
    open(from, to, deviceId);
}

QHash<int, int> SurgeLogTable::lastThirtyDays(const QDateTime& now)
{
    openTotals(now.addDays(-30), now.addSecs(1), 0);
    QHash<int, int> result;
    for (m_query.first(); !m_query.eof(); m_query.next()) {
        if (const int surges = m_query.fieldInt(QStringLiteral("surges")))
            result.insert(m_query.fieldInt(QStringLiteral("device_id")), surges);
    }
    return result;
}

void SurgeLogTable::open(const QDateTime& from, const QDateTime& to, int deviceId)
{
    m_query.setDateTime(QStringLiteral("time_from"), from);
    m_query.setDateTime(QStringLiteral("time_to"), to);
    if (deviceId != 0)
        m_query.setInt(QStringLiteral("device_id"), deviceId);
    m_query.open();
}
