#pragma once

#include "TestDatabase.h"

#include "store/Query.h"
#include "store/Text.h"

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
    Query q(connection);
    q.setSql(QStringLiteral(
        "Insert into node_record ([device_id],[device_name],[node_name],[con_data_type],[node_data_lower],"
        "[node_data_upper],[node_alarm_type],[install_date],[con_data],[read_time],[communication_status],"
        "[alarm_status]) values(:device_id,:device_name,:node_name,:con_data_type,:node_data_lower,"
        ":node_data_upper,:node_alarm_type,:install_date,:con_data,:read_time,:communication_status,:alarm_"
        "status)"));
    q.setInt(QStringLiteral("device_id"), row.deviceId);
    q.setText(QStringLiteral("device_name"), row.deviceName);
    q.setText(QStringLiteral("node_name"), row.nodeName);
    q.setText(QStringLiteral("con_data_type"), row.dataType);
    q.setInt(QStringLiteral("node_data_lower"), row.lower);
    q.setInt(QStringLiteral("node_data_upper"), row.upper);
    q.setText(QStringLiteral("node_alarm_type"), row.alarmType);
    q.setParam(QStringLiteral("install_date"), row.installDate);
    q.setText(QStringLiteral("con_data"), row.conData);
    q.setParam(QStringLiteral("read_time"), row.readTime);
    q.setText(QStringLiteral("communication_status"), row.communication);
    q.setText(QStringLiteral("alarm_status"), row.alarm);
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
