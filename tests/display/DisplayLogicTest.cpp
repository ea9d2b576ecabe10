// The widget-free rules of the overview: remaining life, the one-pass lookups
// and the card contents.
#include "NodeRows.h"

#include "display/NodeIndex.h"
#include "display/OverviewContent.h"
#include "display/RemainingLife.h"
#include "store/NodeTable.h"

#include <QTest>

namespace {
const QDateTime kNow(QDate(2024, 6, 15), QTime(12, 0));

QVector<OverviewRow> overviewRows(Connection& connection)
{
    Query view(connection);
    NodeTable(view).openAll();
    return OverviewContent::readRows(view);
}
} // namespace

class DisplayLogicTest final : public QObject
{
    Q_OBJECT
private slots:
    void remainingLifeLine_data()
    {
        QTest::addColumn<QVariant>("installed");
        QTest::addColumn<int>("percent");
        QTest::newRow("a second short of a day") << QVariant(kNow.addSecs(-86399)) << 100;
        QTest::newRow("365 days") << QVariant(kNow.addDays(-365)) << 80;
        QTest::newRow("1807 days") << QVariant(kNow.addDays(-1807)) << 0;
        QTest::newRow("in 730 days") << QVariant(kNow.addDays(730)) << 60;
        QTest::newRow("null") << QVariant() << 0;
        QTest::newRow("date only") << QVariant("2023-06-16") << 80;
    }

    void remainingLifeLine()
    {
        QFETCH(QVariant, installed);
        QFETCH(int, percent);
        TestDatabase db;
        NodeRow row;
        row.installDate = installed;
        insertNode(db.connection(), row);
        const auto cards =
            OverviewContent::refresh(overviewRows(db.connection()), 1, RemainingLife::moment(kNow));
        QCOMPARE(*cards.at(0).lines.at(1), QString("设备剩余寿命:%1%").arg(percent));
    }

    // Rows of an id 0 ahead of every device belong to no card; a repeated name
    // keeps its first line; the last row of a device gives header, life and time;
    // the last abnormal row in name order the colour; cards past the count are left out.
    void overviewCards()
    {
        TestDatabase db;
        const auto add = [&db](int id, const QString& device, const QString& node, const QString& data,
                               const QString& comm = "通信正常", const QString& alarm = "正常") {
            NodeRow row{id, device, node, data};
            row.communication = comm;
            row.alarm = alarm;
            row.installDate = kNow.addDays(node == "b" ? -365 : 0);
            row.readTime = kNow.addSecs(data.toInt());
            insertNode(db.connection(), row);
        };
        add(3, "C", "b", "1", "通信异常");
        add(3, "C", "a", "2");
        add(3, "C", "a", "2");
        add(0, "Z", "z", "0");
        add(5, "F", "c", "8", "通信正常", "告警");
        add(5, "E", "a", "7", "通信异常");
        add(9, "N", "x", "9");
        add(11, "O", "y", "1");
        const QVector<OverviewRow> rows = overviewRows(db.connection());
        QVector<NodeKey> keys;
        for (const OverviewRow& row : rows)
            keys.append({row.deviceId, row.nodeName});
        const NodeIndex index(keys);
        QVector<int> found;
        for (const int id : {0, 3, 5, 9, 248})
            found << index.DeviceOrdinal(id) << index.NodeCountOfDevice(id) << index.NodeOrdinal(id, "a")
                  << index.NodeOrdinal(id, "b");
        QCOMPARE(found, (QVector<int>{0, 1, 2, 2, 1, 3, 1, 3, 2, 2, 1, 3, 3, 1, 2, 2, 0, 0, 1, 1}));

        QStringList cards;
        for (const QStringList& card : OverviewContent::newCards(rows, 2))
            cards << card.join('|');
        for (const DeviceCardContent& card : OverviewContent::refresh(rows, 3, RemainingLife::moment(kNow))) {
            cards << QString::number(int(card.state)) + '|' + card.header.value_or("-");
            for (const auto& line : card.lines)
                cards.last() += '|' + line.value_or("-");
        }
        QCOMPARE(cards, (QStringList{"a:2|a:2|b:1|设备剩余寿命:|---", "a:7|c:8|设备剩余寿命:|---",
                                     "2|C[地址:3]|a:2|-|b:???|设备剩余寿命:80%|2024-06-15 12:00:01",
                                     "1|F[地址:5]|a:???|c:8(告警)|设备剩余寿命:100%|2024-06-15 12:00:08",
                                     "0|N[地址:9]|x:9|设备剩余寿命:100%|2024-06-15 12:00:09"}));
    }
};

QTEST_GUILESS_MAIN(DisplayLogicTest)
#include "DisplayLogicTest.moc"
