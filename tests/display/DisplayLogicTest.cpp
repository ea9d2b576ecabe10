// The widget-free rules of the display: item texts, card places, remaining
// life, and the overview's lookups against the plain table scans they replace.
#include "NodeRows.h"

#include "display/CardLayout.h"
#include "display/ItemText.h"
#include "display/NodeIndex.h"
#include "display/OverviewContent.h"
#include "display/RemainingLife.h"
#include "store/AppError.h"

#include <QMap>
#include <QRandomGenerator>
#include <QTest>

namespace {
const QString kOrdered = QStringLiteral("select * from node_record order by  device_id ASC, node_name ASC");

// The lookups as first written: two whole-table scans per question. Kept
// here only as the reference the one-pass index must agree with.
int scanDeviceOrdinal(Query& q, int id)
{
    q.close();
    q.setSql(kOrdered);
    q.open();
    q.first();
    int counter = 0;
    int previous = 0;
    while (!q.eof()) {
        const int value = q.fieldInt(QStringLiteral("device_id"));
        if (value != previous) {
            ++counter;
            previous = value;
        }
        if (value == id) {
            q.close();
            return counter;
        }
        q.next();
    }
    q.close();
    return 0;
}

int scanNodeOrdinal(Query& q, int id, const QString& name)
{
    q.close();
    q.setSql(kOrdered);
    q.open();
    q.first();
    int position = 1;
    while (!q.eof()) {
        if (q.fieldInt(QStringLiteral("device_id")) == id) {
            if (q.fieldText(QStringLiteral("node_name")) == name) {
                q.close();
                return position;
            }
            ++position;
        }
        q.next();
    }
    q.close();
    return position;
}

int scanNodeCount(Query& q, int id)
{
    q.close();
    q.setSql(QStringLiteral("select * from node_record   where device_id=:device_id order by node_name"));
    q.setInt(QStringLiteral("device_id"), id);
    q.open();
    return q.recordCount();
}
// A table of up to 13 devices with 1 to 5 nodes each, in random order, with
// few names so that devices share names and a device may repeat one, and an
// id of 0 now and then, which the ordinal count does not see as a change.
QVector<int> fillRandomTable(Connection& connection, QRandomGenerator& random, const QStringList& names)
{
    const QDateTime now(QDate(2024, 6, 15), QTime(12, 0));
    const QStringList communication{QStringLiteral("通信正常"), QStringLiteral("通信正常"),
                                    QStringLiteral("通信异常"), QString()};
    QVector<int> ids;
    const int devices = random.bounded(0, 14);
    for (int i = 0; i < devices; ++i)
        ids << (random.bounded(8) == 0 ? 0 : random.bounded(1, 248));
    QVector<NodeRow> rows;
    for (int id : ids) {
        const int nodes = random.bounded(1, 6);
        for (int n = 0; n < nodes; ++n) {
            NodeRow row;
            row.deviceId = id;
            row.deviceName = QStringLiteral("D%1").arg(random.bounded(3));
            row.nodeName = names.at(random.bounded(int(names.size())));
            row.conData = QString::number(random.bounded(100));
            row.communication = communication.at(random.bounded(int(communication.size())));
            row.alarm = random.bounded(3) == 0 ? QStringLiteral("告警") : QStringLiteral("正常");
            if (random.bounded(6) != 0)
                row.installDate = now.addSecs(-qint64(random.bounded(2000 * 86400)));
            row.readTime = now.addSecs(-random.bounded(3600));
            rows << row;
        }
    }
    for (int i = int(rows.size()) - 1; i > 0; --i)
        std::swap(rows[i], rows[random.bounded(i + 1)]);
    for (const NodeRow& row : rows)
        insertNode(connection, row);
    return ids;
}

QVector<OverviewRow> overviewRows(Connection& connection)
{
    Query view(connection);
    view.setSql(OverviewContent::kStatement);
    view.open();
    return OverviewContent::readRows(view);
}

const QStringList kNames{QStringLiteral("设备状态"), QStringLiteral("浪涌保护器"), QStringLiteral("浪涌次数"),
                         QStringLiteral("a"),        QStringLiteral("B"),          QString()};
} // namespace

class DisplayLogicTest final : public QObject
{
    Q_OBJECT
private slots:
    void addressFromItemText_data();
    void addressFromItemText();
    void deviceItemTextRoundTrips();

    void cardPlaces_data();
    void cardPlaces();

    void remainingLife_data();
    void remainingLife();

    void lookupsAgreeWithTableScans_data();
    void lookupsAgreeWithTableScans();
    void overviewAgreesWithRowByRowWrites_data();
    void overviewAgreesWithRowByRowWrites();
    void lookupsOnEmptyTable();
};

void DisplayLogicTest::addressFromItemText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digits");
    QTest::newRow("digit in name ignored") << QStringLiteral("KPV1[地址:12]") << QStringLiteral("12");
    QTest::newRow("first brackets win") << QStringLiteral("A[1][地址:5]") << QStringLiteral("1");
    QTest::newRow("leading zeros kept") << QStringLiteral("X[地址:007]") << QStringLiteral("007");
    QTest::newRow("no brackets") << QStringLiteral("4a2b") << QStringLiteral("42");
    QTest::newRow("close before open") << QStringLiteral("D]9[地址:7]") << QStringLiteral("7");
    QTest::newRow("open without close") << QStringLiteral("KPV9[地址:3") << QStringLiteral("3");
    QTest::newRow("close without open") << QStringLiteral("12]34") << QStringLiteral("12");
    QTest::newRow("no digits") << QStringLiteral("KPV1[地址:]") << QString();
    QTest::newRow("node item text") << QStringLiteral("浪涌次数") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void DisplayLogicTest::addressFromItemText()
{
    QFETCH(QString, text);
    QFETCH(QString, digits);
    QCOMPARE(AddressFromItemText(text), digits);
}

void DisplayLogicTest::deviceItemTextRoundTrips()
{
    const QString text = deviceItemText(QStringLiteral("配电室2"), QStringLiteral("247"));
    QCOMPARE(text, QStringLiteral("配电室2[地址:247]"));
    QCOMPARE(Text::toInt(AddressFromItemText(text)), 247);
    // The callers' strict conversion turns a digitless address into an error.
    QVERIFY_THROWS_EXCEPTION(AppError, Text::toInt(AddressFromItemText(QStringLiteral("KPV1[地址:]"))));
}

void DisplayLogicTest::cardPlaces_data()
{
    QTest::addColumn<int>("card");
    QTest::addColumn<QPoint>("header");
    QTest::addColumn<QPoint>("list");
    QTest::newRow("1") << 1 << QPoint(8, 8) << QPoint(8, 29);
    QTest::newRow("2") << 2 << QPoint(176, 8) << QPoint(176, 29);
    QTest::newRow("3") << 3 << QPoint(344, 8) << QPoint(344, 29);
    QTest::newRow("4 starts row 2") << 4 << QPoint(8, 138) << QPoint(8, 159);
    QTest::newRow("8") << 8 << QPoint(176, 268) << QPoint(176, 289);
    QTest::newRow("13") << 13 << QPoint(8, 528) << QPoint(8, 549);
    QTest::newRow("247") << 247 << QPoint(8, 10668) << QPoint(8, 10689);
}

void DisplayLogicTest::cardPlaces()
{
    QFETCH(int, card);
    QFETCH(QPoint, header);
    QFETCH(QPoint, list);
    QCOMPARE(CardLayout::headerRect(card).topLeft(), header);
    QCOMPARE(CardLayout::listRect(card).topLeft(), list);
    QCOMPARE(CardLayout::headerRect(card).width(), 160);
    QCOMPARE(CardLayout::listRect(card).size(), QSize(160, 100));
    // The header ends where the list begins: nothing of it hides behind the list.
    QCOMPARE(CardLayout::headerRect(card).bottom() + 1, CardLayout::listRect(card).top());
}

void DisplayLogicTest::remainingLife_data()
{
    QTest::addColumn<QDateTime>("installed");
    QTest::addColumn<int>("percent");
    const QDateTime now(QDate(2024, 6, 15), QTime(12, 0));
    QTest::newRow("same moment") << now << 100;
    QTest::newRow("earlier today") << QDateTime(QDate(2024, 6, 15), QTime(0, 0)) << 100;
    QTest::newRow("a second short of a day") << now.addSecs(-86399) << 100;
    QTest::newRow("one full day") << now.addDays(-1) << 99;
    QTest::newRow("365 days") << now.addDays(-365) << 80;
    QTest::newRow("730 days") << now.addDays(-730) << 60;
    QTest::newRow("1806 days") << now.addDays(-1806) << 1;
    QTest::newRow("1807 days") << now.addDays(-1807) << 0;
    QTest::newRow("1825 days") << now.addDays(-1825) << 0;
    QTest::newRow("ten years") << now.addDays(-3650) << 0;
    QTest::newRow("future 365 days") << now.addDays(365) << 80;
    QTest::newRow("future 1807 days") << now.addDays(1807) << 0;
    QTest::newRow("tomorrow morning") << QDateTime(QDate(2024, 6, 16), QTime(8, 0)) << 100;
    QTest::newRow("empty date") << Text::zeroDateTime() << 0;
}

void DisplayLogicTest::remainingLife()
{
    QFETCH(QDateTime, installed);
    QFETCH(int, percent);
    QCOMPARE(RemainingLife::percent(installed, QDateTime(QDate(2024, 6, 15), QTime(12, 0))), percent);
}

void DisplayLogicTest::lookupsAgreeWithTableScans_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 24; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

void DisplayLogicTest::lookupsAgreeWithTableScans()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    TestDatabase db;
    QVector<int> ids = fillRandomTable(db.connection(), random, kNames);

    QVector<NodeKey> keys;
    for (const OverviewRow& row : overviewRows(db.connection()))
        keys.append({row.deviceId, row.nodeName});
    const NodeIndex index(keys);

    Query scan(db.connection());
    ids << 248 << -1 << 0 << 1;
    for (int id : ids) {
        QCOMPARE(index.DeviceOrdinal(id), scanDeviceOrdinal(scan, id));
        QCOMPARE(index.NodeCountOfDevice(id), scanNodeCount(scan, id));
        for (const QString& name : kNames + QStringList{QStringLiteral("absent")})
            QCOMPARE(index.NodeOrdinal(id, name), scanNodeOrdinal(scan, id, name));
    }
}

void DisplayLogicTest::overviewAgreesWithRowByRowWrites_data()
{
    lookupsAgreeWithTableScans_data();
}

void DisplayLogicTest::overviewAgreesWithRowByRowWrites()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    TestDatabase db;
    fillRandomTable(db.connection(), random, kNames);
    const QVector<OverviewRow> rows = overviewRows(db.connection());
    const int cardCount = int(OverviewContent::newCards(rows, 247).size());
    const qint64 now = RemainingLife::moment(QDateTime(QDate(2024, 6, 15), QTime(12, 0)));

    // Every row writes its card in turn, the lookups scanning the table.
    struct Written
    {
        CardState state = CardState::Normal;
        QString header;
        QMap<int, QString> lines;
    };
    QVector<Written> expected(cardCount);
    Query scan(db.connection());
    for (const OverviewRow& row : rows) {
        const int n = scanDeviceOrdinal(scan, row.deviceId);
        if (n < 1 || n > cardCount)
            continue;
        const int k = scanNodeOrdinal(scan, row.deviceId, row.nodeName);
        const int count = scanNodeCount(scan, row.deviceId);
        Written& card = expected[n - 1];
        card.header = row.deviceName + QStringLiteral("[地址:%1]").arg(row.deviceId);
        if (row.communicationStatus != QStringLiteral("通信正常")) {
            card.state = CardState::CommLoss;
            card.lines[k - 1] = row.nodeName + QStringLiteral(":???");
        } else if (row.alarmStatus == QStringLiteral("告警")) {
            card.state = CardState::Alarm;
            card.lines[k - 1] = row.nodeName + QStringLiteral(":") + row.conData + QStringLiteral("(告警)");
        } else {
            card.lines[k - 1] = row.nodeName + QStringLiteral(":") + row.conData;
        }
        card.lines[count] =
            QStringLiteral("设备剩余寿命:%1%").arg(RemainingLife::percent(row.installed, now));
        card.lines[count + 1] = row.readTime;
    }

    const QVector<DeviceCardContent> cards = OverviewContent::refresh(rows, cardCount, now);
    QCOMPARE(cards.size(), cardCount);
    for (int i = 0; i < cardCount; ++i) {
        QCOMPARE(cards.at(i).state, expected.at(i).state);
        QCOMPARE(cards.at(i).header.value_or(QString()), expected.at(i).header);
        QMap<int, QString> lines;
        for (int line = 0; line < cards.at(i).lines.size(); ++line) {
            if (cards.at(i).lines.at(line))
                lines.insert(line, *cards.at(i).lines.at(line));
        }
        QCOMPARE(lines, expected.at(i).lines);
        // The create step made the lines the refresh writes, the time line last.
        QVERIFY(!lines.isEmpty());
        QCOMPARE(OverviewContent::newCards(rows, 247).at(i).size(), lines.lastKey() + 1);
    }
}

void DisplayLogicTest::lookupsOnEmptyTable()
{
    const NodeIndex index{QVector<NodeKey>()};
    QCOMPARE(index.DeviceOrdinal(1), 0);
    QCOMPARE(index.NodeCountOfDevice(1), 0);
    QCOMPARE(index.NodeOrdinal(1, QStringLiteral("a")), 1);
}

QTEST_GUILESS_MAIN(DisplayLogicTest)
#include "DisplayLogicTest.moc"
