#include "store/Schema.h"

#include "store/AppError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <vector>

namespace Schema {

namespace {
struct Table
{
    const char* name;
    const char* columns; // "name TYPE" pairs separated by ", "
};

const Table kTables[] = {
    {"soft_record", "soft_name TEXT, com_num INTEGER, com_baud INTEGER, com_data_bit INTEGER, "
                    "com_stop_bit INTEGER, com_parity TEXT, moniter_time INTEGER, node_read_time INTEGER"},
    {"dd_user", "用户名 TEXT, 密码 TEXT, 权限 TEXT"},
    {"node_record",
     "device_id INTEGER, device_name TEXT, node_name TEXT, node_code INTEGER, "
     "node_reg_add INTEGER, con_data_type TEXT, node_data_lower INTEGER, node_data_upper INTEGER, "
     "node_alarm_type TEXT, install_date DATETIME, node_data INTEGER, con_data TEXT, "
     "read_time DATETIME, communication_status TEXT, alarm_status TEXT"},
    {"alarm_record", "告警时间 DATETIME, 告警纪录 TEXT"},
};

// Tables beside the four: other programs read the four and must find them
// unchanged, so new data only ever goes here. Each entry is created with
// CREATE TABLE IF NOT EXISTS; statements after the first (indexes) use
// IF NOT EXISTS too.
struct AddedTable
{
    const char* name;
    std::vector<const char*> statements;
};

// One row per rise or fall of a device's surge counter, or per implausible
// count (no surges). gap_start is the last good reading before a gap in the
// readings (failed reads, monitoring stopped, the device out of the scope).
constexpr const char* kSurgeEvent =
    "CREATE TABLE IF NOT EXISTS surge_event (id INTEGER PRIMARY KEY, device_id INTEGER NOT NULL, "
    "device_name TEXT, event_time DATETIME NOT NULL, gap_start DATETIME, count_before INTEGER NOT NULL, "
    "count_after INTEGER NOT NULL, surges INTEGER NOT NULL CHECK (surges >= 0), "
    "kind TEXT NOT NULL CHECK (kind IN ('surge', 'reset', 'implausible')))";

const std::vector<AddedTable> kAddedTables = {
    {"surge_event",
     {kSurgeEvent,
      // Covering indexes: the history's sums per bucket read only the index,
      // for all devices by time and for one device by device and time.
      "CREATE INDEX IF NOT EXISTS surge_event_time ON surge_event (event_time, device_id, surges)",
      "CREATE INDEX IF NOT EXISTS surge_event_device ON surge_event (device_id, event_time, surges)"}},
    // The alarms not normal, one row each; a device's communication loss has
    // an empty node name.
    {"alarm_state",
     {"CREATE TABLE IF NOT EXISTS alarm_state (device_id INTEGER NOT NULL, node_name TEXT NOT NULL, "
      "state TEXT NOT NULL, since DATETIME NOT NULL, text TEXT, PRIMARY KEY (device_id, node_name))"}},
    // Every change of an alarm's state, in the order of time (no index: a
    // poll step that changes a state writes as little as it can); user_name
    // is set where a person acted.
    {"alarm_event",
     {"CREATE TABLE IF NOT EXISTS alarm_event (event_time DATETIME NOT NULL, device_id INTEGER NOT NULL, "
      "node_name TEXT NOT NULL, state TEXT NOT NULL, user_name TEXT, text TEXT)"}},
    // Who did what: the program only ever adds rows.
    {"operation_log",
     {"CREATE TABLE IF NOT EXISTS operation_log (操作时间 DATETIME, 用户名 TEXT, 操作 TEXT, 详情 TEXT)"}},
};

QStringList columnsOf(const Table& table)
{
    return QString::fromUtf8(table.columns).split(QStringLiteral(", "));
}

QSqlQuery run(QSqlDatabase db, const QString& statement)
{
    QSqlQuery query(db);
    if (!query.exec(statement))
        throw AppError(query.lastError().text());
    return query;
}

// An older file's surge_event refuses the kind 'implausible': its check is
// part of the table, so the table is made again with its rows (its indexes
// go with the old one and are made again after).
void widenSurgeKinds(QSqlDatabase db)
{
    QSqlQuery query =
        run(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' AND name='surge_event'"));
    if (!query.next() || query.value(0).toString().contains(QLatin1String("'implausible'")))
        return;
    query.finish();
    run(db, QString::fromUtf8(kSurgeEvent)
                .replace(QStringLiteral("EXISTS surge_event "), QStringLiteral("EXISTS surge_event_new ")));
    run(db, QStringLiteral(
                "INSERT INTO surge_event_new SELECT id, device_id, device_name, event_time, gap_start, "
                "count_before, count_after, surges, kind FROM surge_event"));
    run(db, QStringLiteral("DROP TABLE surge_event"));
    run(db, QStringLiteral("ALTER TABLE surge_event_new RENAME TO surge_event"));
}
} // namespace

QStringList tableNames()
{
    QStringList names;
    for (const Table& table : kTables)
        names << QString::fromUtf8(table.name);
    return names;
}

void createTables(QSqlDatabase db)
{
    for (const Table& table : kTables) {
        // The file itself takes any value in any column: a text pasted into an
        // integer column would be kept and stop the poll at that node later.
        QStringList columns = columnsOf(table);
        for (QString& column : columns) {
            if (column.endsWith(QLatin1String(" INTEGER"))) {
                column += QStringLiteral(" CHECK (typeof(%1) IN ('integer', 'null'))")
                              .arg(column.section(QLatin1Char(' '), 0, 0));
            }
        }
        run(db, QStringLiteral("CREATE TABLE %1 (%2)")
                    .arg(QString::fromUtf8(table.name), columns.join(QStringLiteral(", "))));
    }
    addMissingTables(db);
}

QStringList addedTableNames()
{
    QStringList names;
    for (const AddedTable& table : kAddedTables)
        names << QString::fromUtf8(table.name);
    return names;
}

void addMissingTables(QSqlDatabase db)
{
    if (!db.transaction())
        throw AppError(db.lastError().text());
    try {
        widenSurgeKinds(db);
        for (const AddedTable& table : kAddedTables) {
            for (const char* statement : table.statements)
                run(db, QString::fromUtf8(statement));
        }
    } catch (const AppError&) {
        db.rollback();
        throw;
    }
    if (!db.commit()) {
        const QString error = db.lastError().text();
        db.rollback();
        throw AppError(error);
    }
}

QStringList missingTables(QSqlDatabase db)
{
    QSqlQuery query = run(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"));
    QStringList present;
    while (query.next())
        present << query.value(0).toString().toLower();
    QStringList missing;
    for (const QString& name : tableNames()) {
        if (!present.contains(name))
            missing << name;
    }
    return missing;
}

QStringList missingColumns(QSqlDatabase db)
{
    QStringList missing;
    for (const Table& table : kTables) {
        const QString name = QString::fromUtf8(table.name);
        QSqlQuery query = run(db, QStringLiteral("PRAGMA table_info(%1)").arg(name));
        QStringList present;
        while (query.next())
            present << query.value(1).toString().toLower();
        for (const QString& column : columnsOf(table)) {
            const QString columnName = column.section(QLatin1Char(' '), 0, 0);
            if (!present.contains(columnName))
                missing << name + QLatin1Char('.') + columnName;
        }
    }
    return missing;
}

} // namespace Schema
