#pragma once

#include "TestDatabase.h"

#include "store/Query.h"

#include <QDateTime>
#include <QVariant>

// "a|b|c" as a list: expected texts kept on one line.
inline QStringList texts(const char* joined)
{
    return QString::fromUtf8(joined).split(QLatin1Char('|'));
}

// One node_record row as the tests need it; unset columns stay empty.
struct NodeRow
{
    explicit NodeRow(int id = 1, const QString& device = "KPV1", const QString& node = {},
                     const QString& data = {}, const QString& type = "开关量")
        : deviceId(id), deviceName(device), nodeName(node), conData(data), dataType(type)
    {}

    int deviceId;
    QString deviceName;
    QString nodeName;
    QString conData;
    QString dataType;
    QString alarmType = QStringLiteral("0000(正常)/FFFF(异常)");
    int lower = 10;
    int upper = 200;
    QVariant installDate;
    QVariant readTime;
    QString communication = QStringLiteral("通信正常");
    QString alarm = QStringLiteral("正常");
};

inline void insertNode(Connection& connection, const NodeRow& row)
{
    const QVariantList values{row.deviceId, row.deviceName, row.nodeName,      row.dataType,
                              row.lower,    row.upper,      row.alarmType,     row.installDate,
                              row.conData,  row.readTime,   row.communication, row.alarm};
    Query q(connection);
    q.setSql("Insert into node_record "
             "(device_id,device_name,node_name,con_data_type,node_data_lower,node_data_upper,"
             "node_alarm_type,install_date,con_data,read_time,communication_status,alarm_status) "
             "values(:a,:b,:c,:d,:e,:f,:g,:h,:i,:j,:k,:l)");
    for (int i = 0; i < values.size(); ++i)
        q.setParam(QChar('a' + i), values.at(i));
    q.execSql();
}

// A device of the given nodes, all communicating and normal.
inline void insertDevice(Connection& connection, int id, const QString& name, const QStringList& nodes)
{
    for (const QString& node : nodes)
        insertNode(connection, NodeRow(id, name, node, "正常"));
}
