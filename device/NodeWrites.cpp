#include "device/NodeWrites.h"

#include "device/StandardNodes.h"
#include "store/NodeTable.h"
#include "store/Query.h"
#include "store/StatusTexts.h"
#include "store/Text.h"

#include <QDateTime>

namespace NodeWrites {

QStringList nodeNames(Query& query, int deviceId)
{
    NodeTable(query).openDeviceRows(deviceId);
    QStringList names;
    for (query.first(); !query.eof(); query.next())
        names << query.fieldText(QStringLiteral("node_name"));
    query.close();
    return names;
}

QString deviceText(Query& query, int deviceId)
{
    NodeTable(query).openDeviceRows(deviceId);
    QString text;
    if (query.recordCount() > 0) {
        query.first();
        text = QStringLiteral("设备%1 %2 安装日期%3")
                   .arg(deviceId)
                   .arg(query.fieldText(QStringLiteral("device_name")),
                        Text::parseDateTime(query.fieldText(QStringLiteral("install_date")))
                            .toString(QStringLiteral("yyyy-MM-dd")));
    }
    query.close();
    return text;
}

QString nodeSettings(Query& query, int deviceId, const QString& nodeName)
{
    NodeTable(query).openNode(deviceId, nodeName);
    QString text;
    if (query.recordCount() > 0) {
        query.first();
        const QString dataType = query.fieldText(QStringLiteral("con_data_type"));
        text = QStringLiteral("功能码%1 寄存器%2 %3 告警类型%4")
                   .arg(query.fieldText(QStringLiteral("node_code")),
                        query.fieldText(QStringLiteral("node_reg_add")), dataType,
                        query.fieldText(QStringLiteral("node_alarm_type")));
        if (dataType == NodeTexts::kAnalogue)
            text += QStringLiteral(" 下限%1 上限%2")
                        .arg(query.fieldText(QStringLiteral("node_data_lower")),
                             query.fieldText(QStringLiteral("node_data_upper")));
    }
    query.close();
    return text;
}

int saveDevice(Query& query, int deviceId, const QString& address, const QString& name,
               const QDateTime& installed)
{
    NodeTable(query).openDeviceRows(deviceId);
    const int rows = query.recordCount();
    if (rows == 0)
        return 0;
    const int id = Text::toInt(Text::trimmed(address));
    query.first();
    for (int i = 0; i < rows; ++i) {
        query.edit();
        query.setField(QStringLiteral("device_id"), id);
        query.setField(QStringLiteral("device_name"), Text::trimmed(name));
        query.setField(QStringLiteral("install_date"), installed);
        query.post();
        query.next();
    }
    return rows;
}

bool saveNode(Query& query, const DeviceChecks::NodeInput& in)
{
    // The node is looked up by the values that are written, so a name typed
    // with a blank after it finds its row instead of adding a second one.
    const int id = Text::toInt(Text::trimmed(in.address));
    const QString nodeName = Text::trimmed(in.nodeName);
    const QString dataType = Text::trimmed(in.dataType);
    const bool analogue = dataType == NodeTexts::kAnalogue;
    const QVariant values[] = {
        id,
        Text::trimmed(in.deviceName),
        nodeName,
        Text::toInt(Text::trimmed(in.code)),
        Text::toInt(Text::trimmed(in.reg)),
        dataType,
        Text::trimmed(in.alarmType),
        // The limits go as typed: the table decides what it takes as a number.
        analogue ? QVariant(Text::trimmed(in.lower)) : QVariant(),
        analogue ? QVariant(Text::trimmed(in.upper)) : QVariant(),
    };
    const QString columns[] = {
        QStringLiteral("device_id"),       QStringLiteral("device_name"),
        QStringLiteral("node_name"),       QStringLiteral("node_code"),
        QStringLiteral("node_reg_add"),    QStringLiteral("con_data_type"),
        QStringLiteral("node_alarm_type"), QStringLiteral("node_data_lower"),
        QStringLiteral("node_data_upper"),
    };
    NodeTable(query).openNodeToEdit(id, nodeName);
    query.first();
    const int written = analogue ? 9 : 7; // a switch node's stored limits stay on change
    if (query.recordCount() == 0) {
        QHash<QString, QVariant> row;
        for (int i = 0; i < 9; ++i)
            row.insert(columns[i], values[i]);
        NodeTable(query).addNode(row);
        return true;
    }
    query.edit();
    for (int i = 0; i < written; ++i)
        query.setField(columns[i], values[i]);
    query.post();
    return false;
}

} // namespace NodeWrites
