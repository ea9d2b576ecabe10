#include "display/NodeCard.h"

#include "store/Query.h"
#include "store/StatusTexts.h"

NodeCard NodeCard::fromCurrentRow(const Query& query)
{
    const auto field = [&query](const char* name) { return query.fieldText(QString::fromLatin1(name)); };
    NodeCard card;
    const QString nodeName = field("node_name");
    if (field("communication_status") != StatusTexts::kCommNormal) {
        card.state = CardState::CommLoss;
        card.header = nodeName;
        card.lines[0] = QStringLiteral("数据:???");
    } else {
        card.lines[0] = QStringLiteral("数据:") + field("con_data");
        if (field("alarm_status") == StatusTexts::kAlarm) {
            card.state = CardState::Alarm;
            card.header = nodeName + QStringLiteral("[告警]");
        } else {
            card.state = CardState::Normal;
            card.header = nodeName;
        }
    }
    const QString dataType = field("con_data_type");
    card.lines[1] = QStringLiteral("数据类型:") + dataType;
    if (dataType == NodeTexts::kSwitch) {
        card.lines[2] = QStringLiteral("报警:") + field("node_alarm_type");
        card.lines[3] = QString();
    } else {
        card.lines[2] = QStringLiteral("报警下限:") + field("node_data_lower");
        card.lines[3] = QStringLiteral("报警上限:") + field("node_data_upper");
    }
    card.lines[4] = QStringLiteral("时间:") + field("read_time");
    return card;
}
