#include "device/StandardNodes.h"

#include "store/Query.h"
#include "store/NodeTable.h"
#include "store/StatusTexts.h"

#include <QDateTime>

namespace StandardNodes {

const std::array<Node, 3>& kpv()
{
    static const std::array<Node, 3> nodes{{
        {QStringLiteral("设备状态"), 3, 11, NodeTexts::kSwitch, 0, 65535, NodeTexts::kZeroNormal},
        {QStringLiteral("浪涌保护器"), 3, 9, NodeTexts::kSwitch, 65535, 65535, NodeTexts::kZeroNormal},
        {NodeTexts::kSurgeCount, 3, 5, NodeTexts::kAnalogue, 0, 65535, NodeTexts::kZeroNormal},
    }};
    return nodes;
}

void insertKpv(Query& query, int deviceId, const QString& deviceName, const QDateTime& installDate)
{
    NodeTable nodes(query);
    for (const Node& node : kpv()) {
        nodes.addDatedNode({{QStringLiteral("device_id"), deviceId},
                            {QStringLiteral("device_name"), deviceName},
                            {QStringLiteral("node_name"), node.name},
                            {QStringLiteral("node_code"), node.code},
                            {QStringLiteral("node_reg_add"), node.reg},
                            {QStringLiteral("con_data_type"), node.dataType},
                            {QStringLiteral("node_data_lower"), node.lower},
                            {QStringLiteral("node_data_upper"), node.upper},
                            {QStringLiteral("node_alarm_type"), node.alarmType},
                            {QStringLiteral("install_date"), installDate}});
    }
}

} // namespace StandardNodes
