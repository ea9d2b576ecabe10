// The widget-free rules of the display: item texts, remaining life, and the
// overview's one-pass lookups against the table scans they replace.
#include "NodeRows.h"

#include "display/ItemText.h"
#include "display/NodeIndex.h"
#include "display/OverviewContent.h"
#include "display/RemainingLife.h"

#include <QRandomGenerator>
#include <QTest>

namespace {
const QDateTime kNow(QDate(2024, 6, 15), QTime(12, 0));

QVector<OverviewRow> overviewRows(Connection& connection)
{
    Query view(connection);
    view.setSql(OverviewContent::kStatement);
    view.open();
    return OverviewContent::readRows(view);
}

// The lookups as first written, two whole-table scans per question: the
// reference the one-pass index must agree with.
int scanDeviceOrdinal(Query& q, int id)
{
    q.setSql(OverviewContent::kStatement);
    q.open();
    int counter = 0;
    int previous = 0;
    for (q.first(); !q.eof(); q.next()) {
        const int value = q.fieldInt(QStringLiteral("device_id"));
        if (value != previous) {
            ++counter;
            previous = value;
        }
        if (value == id)
            return counter;
    }
    return 0;
}

int scanNodeOrdinal(Query& q, int id, const QString& name)
{
    q.setSql(OverviewContent::kStatement);
    q.open();
    int position = 1;
    for (q.first(); !q.eof(); q.next()) {
        if (q.fieldInt(QStringLiteral("device_id")) != id)
            continue;
        if (q.fieldText(QStringLiteral("node_name")) == name)
            return position;
        ++position;
    }
    return position;
}

int scanNodeCount(Query& q, int id)
{
    q.setSql(QStringLiteral("select * from node_record   where device_id=:device_id order by node_name"));
    q.setInt(QStringLiteral("device_id"), id);
    q.open();
    return q.recordCount();
}

// Up to 13 devices of 1 to 5 nodes; few names, so devices share names and may
// repeat one; now and then an id of 0, which the ordinal count does not see as
// a change of device.
QVector<int> fillRandomTable(Connection& connection, QRandomGenerator& random, const QStringList& names)
{
    const QStringList communication{QStringLiteral("通信正常"), QStringLiteral("通信正常"),
                                    QStringLiteral("通信异常"), QString()};
    QVector<int> ids;
    for (int i = random.bounded(0, 14); i > 0; --i) {
        ids << (random.bounded(8) == 0 ? 0 : random.bounded(1, 248));
        for (int n = random.bounded(1, 6); n > 0; --n) {
            NodeRow row;
            row.deviceId = ids.last();
            row.deviceName = QStringLiteral("D%1").arg(random.bounded(3));
            row.nodeName = names.at(random.bounded(int(names.size())));
            row.conData = QString::number(random.bounded(100));
            row.communication = communication.at(random.bounded(int(communication.size())));
            row.alarm = random.bounded(3) == 0 ? QStringLiteral("告警") : QStringLiteral("正常");
            if (random.bounded(6) != 0)
                row.installDate = kNow.addSecs(-qint64(random.bounded(2000 * 86400)));
            row.readTime = kNow.addSecs(-random.bounded(3600));
            insertNode(connection, row);
        }
    }
    return ids;
}
} // namespace

class DisplayLogicTest final : public QObject
{
    Q_OBJECT
private slots:
    void addressFromItemText_data();
    void addressFromItemText();
    void remainingLifeLine_data();
    void remainingLifeLine();
    void overviewAgreesWithTableScans_data();
    void overviewAgreesWithTableScans();
};

void DisplayLogicTest::addressFromItemText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digits");
    QTest::newRow("digit in name ignored") << QStringLiteral("KPV1[地址:12]") << QStringLiteral("12");
    QTest::newRow("first brackets win") << QStringLiteral("A[1][地址:5]") << QStringLiteral("1");
    QTest::newRow("close before open") << QStringLiteral("D]9[地址:7]") << QStringLiteral("7");
    QTest::newRow("open without close") << QStringLiteral("KPV9[地址:3") << QStringLiteral("3");
    QTest::newRow("close without open") << QStringLiteral("12]34") << QStringLiteral("12");
    QTest::newRow("no digits") << QStringLiteral("KPV1[地址:]") << QString();
}

void DisplayLogicTest::addressFromItemText()
{
    QFETCH(QString, text);
    QFETCH(QString, digits);
    QCOMPARE(AddressFromItemText(text), digits);
}

void DisplayLogicTest::remainingLifeLine_data()
{
    QTest::addColumn<QVariant>("installed");
    QTest::addColumn<int>("percent");
    QTest::newRow("same moment") << QVariant(kNow) << 100;
    QTest::newRow("a second short of a day") << QVariant(kNow.addSecs(-86399)) << 100;
    QTest::newRow("one full day") << QVariant(kNow.addDays(-1)) << 99;
    QTest::newRow("365 days") << QVariant(kNow.addDays(-365)) << 80;
    QTest::newRow("1807 days") << QVariant(kNow.addDays(-1807)) << 0;
    QTest::newRow("ten years") << QVariant(kNow.addDays(-3650)) << 0;
    QTest::newRow("in 730 days") << QVariant(kNow.addDays(730)) << 60;
    QTest::newRow("null") << QVariant() << 0;
    QTest::newRow("empty text") << QVariant(QString()) << 0;
    QTest::newRow("date only") << QVariant(QStringLiteral("2023-06-16")) << 80;
}

void DisplayLogicTest::remainingLifeLine()
{
    QFETCH(QVariant, installed);
    QFETCH(int, percent);
    TestDatabase db;
    NodeRow row;
    row.installDate = installed;
    insertNode(db.connection(), row);
    const QVector<DeviceCardContent> cards =
        OverviewContent::refresh(overviewRows(db.connection()), 1, RemainingLife::moment(kNow));
    QCOMPARE(cards.at(0).lines.at(1).value_or(QString()), QStringLiteral("设备剩余寿命:%1%").arg(percent));
}

void DisplayLogicTest::overviewAgreesWithTableScans_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 24; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

void DisplayLogicTest::overviewAgreesWithTableScans()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    TestDatabase db;
    const QStringList names = texts("设备状态|浪涌次数|a|B|"); // and an empty name
    const QVector<int> ids = fillRandomTable(db.connection(), random, names);
    const QVector<OverviewRow> rows = overviewRows(db.connection());
    Query scan(db.connection());
    QVector<NodeKey> keys;
    for (const OverviewRow& row : rows)
        keys.append({row.deviceId, row.nodeName});
    const NodeIndex index(keys);
    for (int id : ids + QVector<int>{248, -1, 0, 1}) {
        QCOMPARE(index.DeviceOrdinal(id), scanDeviceOrdinal(scan, id));
        QCOMPARE(index.NodeCountOfDevice(id), scanNodeCount(scan, id));
        for (const QString& name : names + QStringList{QStringLiteral("absent")})
            QCOMPARE(index.NodeOrdinal(id, name), scanNodeOrdinal(scan, id, name));
    }

    // Every row writing its card in turn, as the lookups answer for it.
    const int cardCount = int(OverviewContent::newCards(rows, 247).size());
    const qint64 now = RemainingLife::moment(kNow);
    QVector<DeviceCardContent> expected(cardCount);
    for (const OverviewRow& row : rows) {
        const int n = scanDeviceOrdinal(scan, row.deviceId);
        if (n < 1 || n > cardCount)
            continue;
        const int k = scanNodeOrdinal(scan, row.deviceId, row.nodeName);
        const int count = scanNodeCount(scan, row.deviceId);
        DeviceCardContent& card = expected[n - 1];
        card.header = row.deviceName + QStringLiteral("[地址:%1]").arg(row.deviceId);
        card.writeLine(k - 1, row.nodeName + QLatin1Char(':') + row.conData);
        if (row.communicationStatus != QStringLiteral("通信正常")) {
            card.state = CardState::CommLoss;
            card.writeLine(k - 1, row.nodeName + QStringLiteral(":???"));
        } else if (row.alarmStatus == QStringLiteral("告警")) {
            card.state = CardState::Alarm;
            card.writeLine(k - 1, *card.lines[k - 1] + QStringLiteral("(告警)"));
        }
        card.writeLine(count,
                       QStringLiteral("设备剩余寿命:%1%").arg(RemainingLife::percent(row.installed, now)));
        card.writeLine(count + 1, row.readTime);
    }

    const QVector<DeviceCardContent> cards = OverviewContent::refresh(rows, cardCount, now);
    QCOMPARE(cards.size(), cardCount);
    for (int i = 0; i < cardCount; ++i) {
        QCOMPARE(cards.at(i).state, expected.at(i).state);
        QCOMPARE(cards.at(i).header, expected.at(i).header);
        QCOMPARE(cards.at(i).lines, expected.at(i).lines);
        // The create step made the lines the refresh writes, the time line last.
        QCOMPARE(OverviewContent::newCards(rows, 247).at(i).size(), cards.at(i).lines.size());
    }
}

QTEST_GUILESS_MAIN(DisplayLogicTest)
#include "DisplayLogicTest.moc"
