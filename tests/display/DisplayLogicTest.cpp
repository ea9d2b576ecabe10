// The widget-free rules of the display: item texts, card places, remaining
// life, and the overview's one-pass lookups against the table scans they replace.
#include "NodeRows.h"

#include "display/CardLayout.h"
#include "display/ItemText.h"
#include "display/NodeIndex.h"
#include "display/OverviewContent.h"
#include "display/RemainingLife.h"
#include "store/Text.h"

#include <QMap>
#include <QRandomGenerator>
#include <QTest>

namespace {
const QDateTime kNow(QDate(2024, 6, 15), QTime(12, 0));

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

// Up to 13 devices of 1 to 5 nodes in random order; few names, so devices
// share names and may repeat one; now and then an id of 0, which the ordinal
// count does not see as a change of device.
QVector<int> fillRandomTable(Connection& connection, QRandomGenerator& random, const QStringList& names)
{
    const QStringList communication{QStringLiteral("通信正常"), QStringLiteral("通信正常"),
                                    QStringLiteral("通信异常"), QString()};
    QVector<int> ids;
    QVector<NodeRow> rows;
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
            rows << row;
        }
    }
    for (int i = int(rows.size()) - 1; i > 0; --i)
        std::swap(rows[i], rows[random.bounded(i + 1)]);
    for (const NodeRow& row : rows)
        insertNode(connection, row);
    return ids;
}
} // namespace

class DisplayLogicTest final : public QObject
{
    Q_OBJECT
private slots:
    void addressFromItemText_data();
    void addressFromItemText();
    void cardPlaces_data();
    void cardPlaces();
    void remainingLife_data();
    void remainingLife();
    void overviewAgreesWithTableScans_data();
    void overviewAgreesWithTableScans();
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
    QTest::newRow("round trip") << deviceItemText(QStringLiteral("配电室2"), QStringLiteral("247"))
                                << QStringLiteral("247");
}

void DisplayLogicTest::addressFromItemText()
{
    QFETCH(QString, text);
    QFETCH(QString, digits);
    QCOMPARE(AddressFromItemText(text), digits);
}

void DisplayLogicTest::cardPlaces_data()
{
    QTest::addColumn<int>("card");
    QTest::addColumn<QPoint>("header");
    QTest::newRow("1") << 1 << QPoint(8, 8);
    QTest::newRow("3") << 3 << QPoint(344, 8);
    QTest::newRow("4 starts row 2") << 4 << QPoint(8, 138);
    QTest::newRow("8") << 8 << QPoint(176, 268);
    QTest::newRow("13") << 13 << QPoint(8, 528);
    QTest::newRow("247") << 247 << QPoint(8, 10668);
}

void DisplayLogicTest::cardPlaces()
{
    QFETCH(int, card);
    QFETCH(QPoint, header);
    QCOMPARE(CardLayout::headerRect(card).topLeft(), header);
    QCOMPARE(CardLayout::listRect(card), QRect(header + QPoint(0, 21), QSize(160, 100)));
    // The header ends where the list begins: none of it hides behind the list.
    QCOMPARE(CardLayout::headerRect(card).bottom() + 1, CardLayout::listRect(card).top());
}

void DisplayLogicTest::remainingLife_data()
{
    QTest::addColumn<QDateTime>("installed");
    QTest::addColumn<int>("percent");
    QTest::newRow("same moment") << kNow << 100;
    QTest::newRow("a second short of a day") << kNow.addSecs(-86399) << 100;
    QTest::newRow("one full day") << kNow.addDays(-1) << 99;
    QTest::newRow("365 days") << kNow.addDays(-365) << 80;
    QTest::newRow("1806 days") << kNow.addDays(-1806) << 1;
    QTest::newRow("1807 days") << kNow.addDays(-1807) << 0;
    QTest::newRow("ten years") << kNow.addDays(-3650) << 0;
    QTest::newRow("future 730 days") << kNow.addDays(730) << 60;
    QTest::newRow("tomorrow morning") << QDateTime(QDate(2024, 6, 16), QTime(8, 0)) << 100;
    QTest::newRow("empty date") << Text::zeroDateTime() << 0;
}

void DisplayLogicTest::remainingLife()
{
    QFETCH(QDateTime, installed);
    QFETCH(int, percent);
    QCOMPARE(RemainingLife::percent(installed, kNow), percent);
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
    const QStringList names{QStringLiteral("设备状态"), QStringLiteral("浪涌次数"), QStringLiteral("a"),
                            QStringLiteral("B"), QString()};
    QVector<int> ids = fillRandomTable(db.connection(), random, names);
    Query view(db.connection());
    view.setSql(OverviewContent::kStatement);
    view.open();
    const QVector<OverviewRow> rows = OverviewContent::readRows(view);
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
    struct Written
    {
        CardState state = CardState::Normal;
        QString header;
        QMap<int, QString> lines;
    };
    const int cardCount = int(OverviewContent::newCards(rows, 247).size());
    const qint64 now = RemainingLife::moment(kNow);
    QVector<Written> expected(cardCount);
    for (const OverviewRow& row : rows) {
        const int n = scanDeviceOrdinal(scan, row.deviceId);
        if (n < 1 || n > cardCount)
            continue;
        const int k = scanNodeOrdinal(scan, row.deviceId, row.nodeName);
        const int count = scanNodeCount(scan, row.deviceId);
        Written& card = expected[n - 1];
        card.header = row.deviceName + QStringLiteral("[地址:%1]").arg(row.deviceId);
        card.lines[k - 1] = row.nodeName + QLatin1Char(':') + row.conData;
        if (row.communicationStatus != QStringLiteral("通信正常")) {
            card.state = CardState::CommLoss;
            card.lines[k - 1] = row.nodeName + QStringLiteral(":???");
        } else if (row.alarmStatus == QStringLiteral("告警")) {
            card.state = CardState::Alarm;
            card.lines[k - 1] += QStringLiteral("(告警)");
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
        QCOMPARE(OverviewContent::newCards(rows, 247).at(i).size(), lines.lastKey() + 1);
    }
}

QTEST_GUILESS_MAIN(DisplayLogicTest)
#include "DisplayLogicTest.moc"
