#include "store/NodeTable.h"

#include "store/Query.h"
#include "store/StatusTexts.h"

namespace {
const QString kDeviceId = QStringLiteral("device_id");
const QString kNodeName = QStringLiteral("node_name");
const QString kModifyId = QStringLiteral("modify_id");
} // namespace

void NodeTable::select(const QString& statement)
{
    m_query.close();
    m_query.setSql(statement);
}

void NodeTable::exec(const QString& statement, const QHash<QString, QVariant>& values)
{
    m_query.setSql(statement);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        m_query.setParam(it.key(), it.value());
    m_query.execSql();
}

const QStringList& NodeTable::polledColumns()
{
    static const QStringList columns{QStringLiteral("read_time"), QStringLiteral("communication_status"),
                                     QStringLiteral("node_data"), QStringLiteral("con_data"),
                                     QStringLiteral("alarm_status")};
    return columns;
}

void NodeTable::openAll()
{
    select(QStringLiteral("select * from node_record order by  device_id ASC, node_name ASC"));
    m_query.open();
}

void NodeTable::openForTree()
{
    select(QStringLiteral("select * from node_record order by  device_id ASC, node_name DESC"));
    m_query.open();
}

void NodeTable::openNode(int deviceId, const QString& nodeName)
{
    select(QStringLiteral("select * from node_record where (device_id=:device_id)and(node_name=:node_name)"));
    m_query.setInt(kDeviceId, deviceId);
    m_query.setText(kNodeName, nodeName);
    m_query.open();
}

void NodeTable::openDevice(int deviceId)
{
    select(QStringLiteral("select * from node_record   where device_id=:device_id order by node_name"));
    m_query.setInt(kDeviceId, deviceId);
    m_query.open();
}

void NodeTable::openDeviceToEdit(int deviceId)
{
    select(QStringLiteral("select * from node_record   where device_id=:modify_id order by node_name"));
    m_query.setInt(kModifyId, deviceId);
    m_query.open();
}

void NodeTable::openDeviceRows(int deviceId)
{
    select(QStringLiteral("select * from node_record where (device_id=:modify_id)"));
    m_query.setInt(kModifyId, deviceId);
    m_query.open();
}

void NodeTable::openNodeToEdit(int deviceId, const QString& nodeName)
{
    select(
        QStringLiteral("select * from node_record where (device_id=:modify_id)and(node_name=:modify_node)"));
    m_query.setInt(kModifyId, deviceId);
    m_query.setText(QStringLiteral("modify_node"), nodeName);
    m_query.open();
}

void NodeTable::addNode(const QHash<QString, QVariant>& values)
{
    exec(QStringLiteral(
             "Insert into node_record ([device_id],[device_name],[node_name],[node_code],[node_reg_add],"
             "[con_data_type],[node_data_lower],[node_data_upper],[node_alarm_type])\n"
             "values(:device_id,:device_name,:node_name,:node_code,:node_reg_add,:con_data_type,"
             ":node_data_lower,:node_data_upper,:node_alarm_type)"),
         values);
}

void NodeTable::addDatedNode(const QHash<QString, QVariant>& values)
{
    exec(QStringLiteral(
             "Insert into node_record ([device_id],[device_name],[node_name],[node_code],[node_reg_add],"
             "[con_data_type],[node_data_lower],[node_data_upper],[node_alarm_type],[install_date])\n"
             "values(:device_id,:device_name,:node_name,:node_code,:node_reg_add,:con_data_type,"
             ":node_data_lower,:node_data_upper,:node_alarm_type,:install_date)"),
         values);
}

void NodeTable::removeNode(int deviceId, const QString& nodeName)
{
    exec(QStringLiteral("Delete from node_record where (device_id=:device_id)and(node_name=:node_name) "),
         {{kDeviceId, deviceId}, {kNodeName, nodeName}});
}

void NodeTable::removeDevice(int deviceId)
{
    exec(QStringLiteral("Delete from node_record where (device_id=:device_id) "), {{kDeviceId, deviceId}});
}

bool NodeTable::othersLost(int deviceId, qint64 exceptRowId)
{
    // A node read but never answering keeps no status, yet is as lost.
    select(QStringLiteral("select count(*) from node_record where (device_id=:device_id)and(rowid<>:row_id)"
                          "and((communication_status=:lost)or(ifnull(communication_status,'')='' and "
                          "read_time is not null))"));
    m_query.setInt(kDeviceId, deviceId);
    m_query.setParam(QStringLiteral("row_id"), exceptRowId);
    m_query.setText(QStringLiteral("lost"), StatusTexts::kCommAbnormal);
    m_query.open();
    const bool lost = m_query.value(0, 0).toInt() > 0;
    m_query.close();
    return lost;
}
