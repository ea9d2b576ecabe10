#include "display/OverviewContent.h"

#include "display/ItemText.h"
#include "display/NodeIndex.h"
#include "display/RemainingLife.h"
#include "store/Query.h"

const QString OverviewContent::kStatement =
    QStringLiteral("select * from node_record order by  device_id ASC, node_name ASC");

void DeviceCardContent::writeLine(int index, const QString& text)
{
    if (index >= lines.size())
        lines.resize(index + 1);
    lines[index] = text;
}

QVector<OverviewRow> OverviewContent::readRows(Query& view)
{
    QVector<OverviewRow> rows;
    rows.reserve(view.recordCount());
    view.first();
    while (!view.eof()) {
        OverviewRow row;
        row.deviceId = view.fieldInt(QStringLiteral("device_id"));
        row.deviceName = view.fieldText(QStringLiteral("device_name"));
        row.nodeName = view.fieldText(QStringLiteral("node_name"));
        row.conData = view.fieldText(QStringLiteral("con_data"));
        row.communicationStatus = view.fieldText(QStringLiteral("communication_status"));
        row.alarmStatus = view.fieldText(QStringLiteral("alarm_status"));
        row.installDate = view.fieldDateTime(QStringLiteral("install_date"));
        row.readTime = view.fieldText(QStringLiteral("read_time"));
        rows.append(std::move(row));
        view.next();
    }
    return rows;
}

QVector<QStringList> OverviewContent::newCards(const QVector<OverviewRow>& rows, int maxCards)
{
    QVector<QStringList> cards;
    int previousId = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const OverviewRow& row = rows.at(i);
        if (row.deviceId != previousId) {
            previousId = row.deviceId;
            if (cards.size() == maxCards)
                break;
            cards.append(QStringList());
        }
        // Rows of an id 0 ahead of every other device belong to no card.
        if (cards.isEmpty())
            continue;
        cards.last() << row.nodeName + QLatin1Char(':') + row.conData;
        const bool lastOfDevice = i + 1 == rows.size() || rows.at(i + 1).deviceId != row.deviceId;
        if (lastOfDevice)
            cards.last() << QStringLiteral("设备剩余寿命:") << QStringLiteral("---");
    }
    return cards;
}

QVector<DeviceCardContent> OverviewContent::refresh(const QVector<OverviewRow>& rows, int cardCount,
                                                    const QDateTime& now)
{
    QVector<NodeKey> keys;
    keys.reserve(rows.size());
    for (const OverviewRow& row : rows)
        keys.append({row.deviceId, row.nodeName});
    const NodeIndex index(keys);

    QVector<DeviceCardContent> cards(qMax(cardCount, 0));
    for (const OverviewRow& row : rows) {
        const int n = index.DeviceOrdinal(row.deviceId);
        if (n < 1 || n > cards.size())
            continue;
        const int k = index.NodeOrdinal(row.deviceId, row.nodeName);
        const int count = index.NodeCountOfDevice(row.deviceId);
        DeviceCardContent& card = cards[n - 1];
        card.header = deviceItemText(row.deviceName, QString::number(row.deviceId));
        if (row.communicationStatus != QStringLiteral("通信正常")) {
            card.state = CardState::CommLoss;
            card.writeLine(k - 1, row.nodeName + QStringLiteral(":???"));
        } else if (row.alarmStatus == QStringLiteral("告警")) {
            card.state = CardState::Alarm;
            card.writeLine(k - 1, row.nodeName + QLatin1Char(':') + row.conData + QStringLiteral("(告警)"));
        } else {
            card.writeLine(k - 1, row.nodeName + QLatin1Char(':') + row.conData);
        }
        const int life = RemainingLife::percent(row.installDate, now);
        card.writeLine(count, QStringLiteral("设备剩余寿命:") + QString::number(life) + QLatin1Char('%'));
        card.writeLine(count + 1, row.readTime);
    }
    return cards;
}
