#pragma once

#include "TestDatabase.h"

#include "store/Query.h"

#include <QDateTime>
#include <QVariant>

// One node_record row as the tests need it; unset columns stay empty.
struct NodeRow
{
    int deviceId = 1;
    QString deviceName = QStringLiteral("KPV1");
    QString nodeName;
    QString conData;
    QString dataType = QStringLiteral("开关量");
    QString alarmType = QStringLiteral("0000(正常)/FFFF(异常)");
    int lower = 0;
    int upper = 65535;
    QVariant installDate;
    QVariant readTime;
    QString communication = QStringLiteral("通信正常");
    QString alarm = QStringLiteral("正常");
};

inline void insertNode(Connection& connection, const NodeRow& row)
{
    const QList<QPair<QString, QVariant>> values{{QStringLiteral("device_id"), row.deviceId},
                                                 {QStringLiteral("device_name"), row.deviceName},
                                                 {QStringLiteral("node_name"), row.nodeName},
                                                 {QStringLiteral("con_data_type"), row.dataType},
                                                 {QStringLiteral("node_data_lower"), row.lower},
                                                 {QStringLiteral("node_data_upper"), row.upper},
                                                 {QStringLiteral("node_alarm_type"), row.alarmType},
                                                 {QStringLiteral("install_date"), row.installDate},
                                                 {QStringLiteral("con_data"), row.conData},
                                                 {QStringLiteral("read_time"), row.readTime},
                                                 {QStringLiteral("communication_status"), row.communication},
                                                 {QStringLiteral("alarm_status"), row.alarm}};
    QStringList columns;
    QStringList names;
    for (const auto& value : values) {
        columns << QLatin1Char('[') + value.first + QLatin1Char(']');
        names << QLatin1Char(':') + value.first;
    }
    Query q(connection);
    q.setSql(QStringLiteral("Insert into node_record (%1) values(%2)")
                 .arg(columns.join(QLatin1Char(',')), names.join(QLatin1Char(','))));
    for (const auto& value : values)
        q.setParam(value.first, value.second);
    q.execSql();
}

// A device of the given nodes, all communicating and normal.
inline void insertDevice(Connection& connection, int id, const QString& name, const QStringList& nodes)
{
    for (const QString& node : nodes) {
        NodeRow row;
        row.deviceId = id;
        row.deviceName = name;
        row.nodeName = node;
        row.conData = QStringLiteral("正常");
        insertNode(connection, row);
    }
}
