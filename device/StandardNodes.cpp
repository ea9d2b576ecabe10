#include "device/StandardNodes.h"

#include "store/Query.h"
#include "store/StatusTexts.h"

#include <QDateTime>

namespace StandardNodes {

const std::array<Node, 3>& kpv()
{
    static const std::array<Node, 3> nodes{{
        {QStringLiteral("设备状态"), 3, 11, NodeTexts::kSwitch, 0, 65535, NodeTexts::kZeroNormal},
        {QStringLiteral("浪涌保护器"), 3, 9, NodeTexts::kSwitch, 65535, 65535, NodeTexts::kZeroNormal},
        {QStringLiteral("浪涌次数"), 3, 5, NodeTexts::kAnalogue, 0, 65535, NodeTexts::kZeroNormal},
    }};
    return nodes;
}

void insertKpv(Query& query, int deviceId, const QString& deviceName, const QDateTime& installDate)
{
    query.setSql(QStringLiteral(
        "Insert into node_record ([device_id],[device_name],[node_name],[node_code],[node_reg_add],"
        "[con_data_type],[node_data_lower],[node_data_upper],[node_alarm_type],[install_date])\n"
        "values(:device_id,:device_name,:node_name,:node_code,:node_reg_add,:con_data_type,:node_data_lower,"
        ":node_data_upper,:node_alarm_type,:install_date)"));
    for (const Node& node : kpv()) {
        query.setInt(QStringLiteral("device_id"), deviceId);
        query.setText(QStringLiteral("device_name"), deviceName);
        query.setText(QStringLiteral("node_name"), node.name);
        query.setInt(QStringLiteral("node_code"), node.code);
        query.setInt(QStringLiteral("node_reg_add"), node.reg);
        query.setText(QStringLiteral("con_data_type"), node.dataType);
        query.setInt(QStringLiteral("node_data_lower"), node.lower);
        query.setInt(QStringLiteral("node_data_upper"), node.upper);
        query.setText(QStringLiteral("node_alarm_type"), node.alarmType);
        query.setDateTime(QStringLiteral("install_date"), installDate);
        query.execSql();
    }
}

} // namespace StandardNodes
