#include "store/AlarmStateTable.h"

#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Query.h"

#include <QHashFunctions>
#include <QSqlError>
#include <QSqlQuery>

namespace {
const char* const kCodes[] = {"normal", "active_unacknowledged", "active_acknowledged",
                              "returned_unacknowledged"};

// The loss's empty node name is stored as '', never as NULL.
QString nodeName(const AlarmKey& key)
{
    return key.nodeName.isNull() ? QStringLiteral("") : key.nodeName;
}

void run(QSqlQuery& query)
{
    if (!query.exec())
        throw AppError(query.lastError().text());
}
} // namespace

size_t qHash(const AlarmKey& key, size_t seed)
{
    return qHashMulti(seed, key.deviceId, key.nodeName);
}

size_t qHash(const AlarmOccurrence& occurrence, size_t seed)
{
    return qHashMulti(seed, occurrence.key, occurrence.since);
}

QString AlarmStateTable::code(AlarmState state)
{
    return QString::fromLatin1(kCodes[int(state)]);
}

QVector<AlarmEntry> AlarmStateTable::load()
{
    QSqlQuery& query = m_connection.prepared(
        QStringLiteral("SELECT device_id, node_name, state, since, text FROM alarm_state"));
    run(query);
    QVector<AlarmEntry> entries;
    while (query.next()) {
        AlarmEntry entry{{query.value(0).toInt(), query.value(1).toString()},
                         AlarmState::Normal,
                         query.value(3).toString(),
                         query.value(4).toString()};
        for (int state = 0; state < int(std::size(kCodes)); ++state) {
            if (query.value(2).toString() == QLatin1String(kCodes[state]))
                entry.state = AlarmState(state);
        }
        if (entry.state != AlarmState::Normal)
            entries << entry;
    }
    query.finish();
    return entries;
}

void AlarmStateTable::write(const AlarmChange& change)
{
    const AlarmEntry& entry = change.entry;
    if (entry.state == AlarmState::Normal) {
        QSqlQuery& remove = m_connection.prepared(
            QStringLiteral("DELETE FROM alarm_state WHERE device_id = ? AND node_name = ?"));
        remove.addBindValue(entry.key.deviceId);
        remove.addBindValue(nodeName(entry.key));
        run(remove);
    } else {
        // An update where the row is there touches the table alone, not its key.
        QSqlQuery& update = m_connection.prepared(QStringLiteral(
            "UPDATE alarm_state SET state = ?, since = ?, text = ? WHERE device_id = ? AND node_name = ?"));
        update.addBindValue(code(entry.state));
        update.addBindValue(entry.since);
        update.addBindValue(entry.text);
        update.addBindValue(entry.key.deviceId);
        update.addBindValue(nodeName(entry.key));
        run(update);
        if (update.numRowsAffected() == 0) {
            QSqlQuery& insert = m_connection.prepared(
                QStringLiteral("INSERT INTO alarm_state (device_id, node_name, state, since, text) "
                               "VALUES (?, ?, ?, ?, ?)"));
            insert.addBindValue(entry.key.deviceId);
            insert.addBindValue(nodeName(entry.key));
            insert.addBindValue(code(entry.state));
            insert.addBindValue(entry.since);
            insert.addBindValue(entry.text);
            run(insert);
        }
    }
    QSqlQuery& event = m_connection.prepared(
        QStringLiteral("INSERT INTO alarm_event (event_time, device_id, node_name, state, user_name, text) "
                       "VALUES (?, ?, ?, ?, NULLIF(?, ''), ?)"));
    event.addBindValue(change.time);
    event.addBindValue(entry.key.deviceId);
    event.addBindValue(nodeName(entry.key));
    event.addBindValue(code(entry.state));
    event.addBindValue(change.user);
    event.addBindValue(entry.text);
    run(event);
}

void AlarmStateTable::end(int deviceId, const std::optional<QString>& nodeName, const QString& time,
                          const QString& user)
{
    QVector<AlarmEntry> ended;
    for (const AlarmEntry& entry : load()) {
        if (entry.key.deviceId == deviceId && (!nodeName || entry.key.nodeName == *nodeName))
            ended << entry;
    }
    for (AlarmEntry entry : ended) {
        entry.state = AlarmState::Normal;
        write({entry, time, user});
    }
}

std::optional<std::pair<QString, QString>> AlarmStateTable::lastEnd(const AlarmKey& key)
{
    QSqlQuery& query = m_connection.prepared(
        QStringLiteral("SELECT event_time, coalesce(user_name, ''), state FROM alarm_event "
                       "WHERE device_id = ? AND node_name = ? ORDER BY rowid DESC LIMIT 1"));
    query.addBindValue(key.deviceId);
    query.addBindValue(nodeName(key));
    run(query);
    std::optional<std::pair<QString, QString>> ended;
    if (query.next() && query.value(2).toString() == code(AlarmState::Normal))
        ended = std::pair(query.value(0).toString(), query.value(1).toString());
    query.finish();
    return ended;
}

void AlarmStateTable::openActive(Query& query)
{
    query.setSql(QStringLiteral(
        "select since as 时间, case state when 'active_unacknowledged' then '告警未确认' "
        "when 'active_acknowledged' then '告警已确认' else '恢复未确认' end as 状态, text as 告警内容, "
        "device_id, node_name from alarm_state order by since desc, rowid desc"));
    query.open();
}
