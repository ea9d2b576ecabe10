#include "store/Schema.h"

#include "store/AppError.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Schema {

namespace {
const char* const kCreate[] = {
    "CREATE TABLE soft_record (soft_name TEXT, com_num INTEGER, com_baud INTEGER, com_data_bit INTEGER,"
    " com_stop_bit INTEGER, com_parity TEXT, moniter_time INTEGER, node_read_time INTEGER)",
    "CREATE TABLE dd_user (用户名 TEXT, 密码 TEXT, 权限 TEXT)",
    "CREATE TABLE node_record (device_id INTEGER, device_name TEXT, node_name TEXT, node_code INTEGER,"
    " node_reg_add INTEGER, con_data_type TEXT, node_data_lower INTEGER, node_data_upper INTEGER,"
    " node_alarm_type TEXT, install_date DATETIME, node_data INTEGER, con_data TEXT, read_time DATETIME,"
    " communication_status TEXT, alarm_status TEXT)",
    "CREATE TABLE alarm_record (告警时间 DATETIME, 告警纪录 TEXT)",
};
} // namespace

QStringList tableNames()
{
    return {QStringLiteral("soft_record"), QStringLiteral("dd_user"), QStringLiteral("node_record"),
            QStringLiteral("alarm_record")};
}

void createTables(QSqlDatabase db)
{
    QSqlQuery query(db);
    for (const char* statement : kCreate) {
        if (!query.exec(QString::fromUtf8(statement)))
            throw AppError(query.lastError().text());
    }
}

QStringList missingTables(QSqlDatabase db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
        throw AppError(query.lastError().text());
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

} // namespace Schema
