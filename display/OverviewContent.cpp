#include "display/OverviewContent.h"

#include "display/ItemText.h"
#include "display/NodeIndex.h"
#include "display/RemainingLife.h"
#include "store/Query.h"
#include "store/StatusTexts.h"

#include <QDateTime>
#include <limits>

namespace {
// The digits of text[pos, pos+count) as a number, -1 when one is no digit.
int number(const QString& text, int pos, int count)
{
    int value = 0;
    for (int i = pos; i < pos + count; ++i) {
        const QChar c = text.at(i);
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// install_date in the stored form "yyyy-MM-dd hh:mm:ss" is read here without
// the time-zone look-ups of a date-time conversion, which would cost more than
// the rest of a refresh together; any other form goes the query's way.
qint64 installMoment(const Query& view, int position)
{
    const QString column = QStringLiteral("install_date");
    const QVariant value = position >= 0 ? view.value(view.recNo(), position) : view.fieldValue(column);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text.size() == 19 && text.at(4) == u'-' && text.at(7) == u'-' && text.at(10) == u' ' &&
            text.at(13) == u':' && text.at(16) == u':') {
            const QDate date(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2));
            const QTime time(number(text, 11, 2), number(text, 14, 2), number(text, 17, 2));
            if (date.isValid() && time.isValid())
                return RemainingLife::moment(date, time);
        }
    }
    return RemainingLife::moment(view.fieldDateTime(column));
}
} // namespace

void DeviceCardContent::writeLine(int index, const QString& text)
{
    if (index >= lines.size())
        lines.resize(index + 1);
    lines[index] = text;
}

namespace {
// Text columns are read by position, found once per refresh: looking each one
// up by name for every row would cost a good part of a refresh.
struct OverviewColumns
{
    explicit OverviewColumns(const Query& view)
    {
        const QStringList names = view.columnNames();
        const auto column = [&names](const char* name) {
            for (int i = 0; i < names.size(); ++i) {
                if (names.at(i).compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                    return i;
            }
            return -1;
        };
        deviceName = column("device_name");
        nodeName = column("node_name");
        conData = column("con_data");
        communication = column("communication_status");
        alarm = column("alarm_status");
        readTime = column("read_time");
        installDate = column("install_date");
    }

    OverviewRow read(const Query& view) const
    {
        const auto text = [&view](int position, const char* name) {
            return position >= 0 ? view.value(view.recNo(), position).toString()
                                 : view.fieldText(QLatin1String(name));
        };
        OverviewRow row;
        row.deviceId = view.fieldInt(QStringLiteral("device_id"));
        row.deviceName = text(deviceName, "device_name");
        row.nodeName = text(nodeName, "node_name");
        row.conData = text(conData, "con_data");
        row.communicationStatus = text(communication, "communication_status");
        row.alarmStatus = text(alarm, "alarm_status");
        row.installed = installMoment(view, installDate);
        row.readTime = text(readTime, "read_time");
        return row;
    }

    int deviceName, nodeName, conData, communication, alarm, readTime, installDate;
};
} // namespace

QVector<OverviewRow> OverviewContent::readRows(Query& view)
{
    const OverviewColumns columns(view);
    QVector<OverviewRow> rows;
    rows.reserve(view.recordCount());
    view.first();
    while (!view.eof()) {
        rows.append(columns.read(view));
        view.next();
    }
    return rows;
}

OverviewRow OverviewContent::readRow(const Query& view)
{
    return OverviewColumns(view).read(view);
}

void OverviewMemo::take(QVector<OverviewRow> rowsRead, qint64 now, QHash<int, int> surges)
{
    rows = std::move(rowsRead);
    recentSurges = std::move(surges);
    deviceRows.clear();
    cardOfDevice.clear();
    refreshedAt = now;
    lifeChangesAt = std::numeric_limits<qint64>::max();
    valid = true;
    // Card numbers as NodeIndex counts them: a new card at each change of id.
    int card = 0;
    int previousId = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const OverviewRow& row = rows.at(i);
        if (row.deviceId != previousId) {
            previousId = row.deviceId;
            ++card;
            // Rows of one id apart from each other: only a full refresh folds them.
            if (deviceRows.contains(row.deviceId))
                valid = false;
            deviceRows.insert(row.deviceId, {i, 0});
            cardOfDevice.insert(row.deviceId, card);
        }
        ++deviceRows[row.deviceId].second;
        lifeChangesAt = qMin(lifeChangesAt, RemainingLife::nextChange(row.installed, now));
    }
}

std::optional<DeviceCardContent> OverviewMemo::replaceRow(int row, const OverviewRow& content, qint64 now)
{
    // Another clock, a remaining life due to change, a row moved to another
    // device, or an id 0, which counts as no device when it comes first.
    if (!valid || now < refreshedAt || now >= lifeChangesAt || row < 0 || row >= rows.size() ||
        rows.at(row).deviceId != content.deviceId || rows.at(row).nodeName != content.nodeName ||
        content.deviceId == 0)
        return std::nullopt;
    rows[row] = content;
    const QPair<int, int> range = deviceRows.value(content.deviceId);
    return OverviewContent::refresh(rows.mid(range.first, range.second), 1, now, recentSurges).value(0);
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
                                                    qint64 now, const QHash<int, int>& recentSurges)
{
    QVector<NodeKey> keys;
    keys.reserve(rows.size());
    for (const OverviewRow& row : rows)
        keys.append({row.deviceId, row.nodeName});
    const NodeIndex index(keys);

    QVector<DeviceCardContent> cards(qMax(cardCount, 0));
    // Header, remaining life and time are rewritten by every row of a device,
    // so only its last row's show: they are made once, from that row.
    QVector<const OverviewRow*> lastRows(cards.size(), nullptr);
    for (const OverviewRow& row : rows) {
        const int n = index.DeviceOrdinal(row.deviceId);
        if (n < 1 || n > cards.size())
            continue;
        const int k = index.NodeOrdinal(row.deviceId, row.nodeName);
        DeviceCardContent& card = cards[n - 1];
        if (row.communicationStatus != StatusTexts::kCommNormal) {
            card.state = CardState::CommLoss;
            card.writeLine(k - 1, row.nodeName + QStringLiteral(":???"));
        } else if (row.alarmStatus == StatusTexts::kAlarm) {
            card.state = CardState::Alarm;
            card.writeLine(k - 1, row.nodeName + QLatin1Char(':') + row.conData + QStringLiteral("(告警)"));
        } else {
            card.writeLine(k - 1, row.nodeName + QLatin1Char(':') + row.conData);
        }
        lastRows[n - 1] = &row;
    }
    for (int i = 0; i < cards.size(); ++i) {
        const OverviewRow* row = lastRows.at(i);
        if (!row)
            continue;
        // A card holds one device, so its node lines all come before line count.
        const int count = index.NodeCountOfDevice(row->deviceId);
        const int life = RemainingLife::percent(row->installed, now);
        cards[i].header = deviceItemText(row->deviceName, QString::number(row->deviceId));
        QString lifeLine = QStringLiteral("设备剩余寿命:") + QString::number(life) + QLatin1Char('%');
        if (const int surges = recentSurges.value(row->deviceId))
            lifeLine += QStringLiteral("\n近30天浪涌:") + QString::number(surges); // below: a card is narrow
        cards[i].writeLine(count, lifeLine);
        cards[i].writeLine(count + 1, row->readTime);
    }
    return cards;
}
