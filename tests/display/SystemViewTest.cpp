// The system overview: one card per device, its header colour rule, the node,
// remaining-life and time lines, and refreshes in place.
#include "DisplayFixture.h"

#include "display/Cards.h"
#include "display/SystemView.h"
#include "store/Clock.h"

#include <QTest>

namespace {
const QString kCreate = QStringLiteral("创建");
const QString kUpdate = QStringLiteral("更新");
const QDateTime kNow(QDate(2024, 6, 15), QTime(12, 0));

enum class Node { Normal, Alarm, Lost };

NodeRow node(int device, const QString& name, Node state, const QString& value = QStringLiteral("5"))
{
    NodeRow row;
    row.deviceId = device;
    row.deviceName = QStringLiteral("KPV%1").arg(device);
    row.nodeName = name;
    row.conData = value;
    row.installDate = kNow.addDays(-365);
    row.readTime = kNow;
    if (state == Node::Alarm)
        row.alarm = QStringLiteral("告警");
    if (state == Node::Lost)
        row.communication = QStringLiteral("通信异常");
    return row;
}
} // namespace

class SystemViewTest final : public QObject
{
    Q_OBJECT
private slots:
    void init() { Clock::setFixed(kNow); }
    void cleanup() { Clock::setFixed(QDateTime()); }

    void oneCardPerDeviceByAddress();
    void headerTakesLastAbnormalNodeInNameOrder_data();
    void headerTakesLastAbnormalNodeInNameOrder();
    void linesFollowEachDevicesNodeCount();
    void remainingLifeLine_data();
    void remainingLifeLine();
    void updateRewritesInPlace();
};

void SystemViewTest::oneCardPerDeviceByAddress()
{
    DisplayFixture f;
    for (int id : {12, 3, 20, 7})
        insertNode(f.connection(), node(id, QStringLiteral("a"), Node::Normal));
    TForm1& form = f.form();
    ShowSystemView(form, kCreate);
    QCOMPARE(form.CardCount, 4);
    QCOMPARE(f.cardControls().size(), 8);
    const int ids[] = {3, 7, 12, 20};
    const QPoint places[] = {{8, 8}, {176, 8}, {344, 8}, {8, 138}};
    for (int card = 1; card <= 4; ++card) {
        QCOMPARE(f.header(card)->text(), QStringLiteral("KPV%1[地址:%1]").arg(ids[card - 1]));
        QCOMPARE(f.header(card)->pos(), places[card - 1]);
        QCOMPARE(f.list(card)->pos(), places[card - 1] + QPoint(0, 21));
    }
}

void SystemViewTest::headerTakesLastAbnormalNodeInNameOrder_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QStringList>("nodeLines");
    const auto n = [](Node s) { return int(s); };
    QTest::newRow("all normal") << n(Node::Normal) << n(Node::Normal) << Colours::normal
                                << QStringList{QStringLiteral("a:5"), QStringLiteral("b:5")};
    QTest::newRow("a alarm") << n(Node::Alarm) << n(Node::Normal) << Colours::alarm
                             << QStringList{QStringLiteral("a:5(告警)"), QStringLiteral("b:5")};
    QTest::newRow("a alarm, b lost") << n(Node::Alarm) << n(Node::Lost) << Colours::commLoss
                                     << QStringList{QStringLiteral("a:5(告警)"), QStringLiteral("b:???")};
    QTest::newRow("a lost, b alarm") << n(Node::Lost) << n(Node::Alarm) << Colours::alarm
                                     << QStringList{QStringLiteral("a:???"), QStringLiteral("b:5(告警)")};
    QTest::newRow("a lost, b normal") << n(Node::Lost) << n(Node::Normal) << Colours::commLoss
                                      << QStringList{QStringLiteral("a:???"), QStringLiteral("b:5")};
}

void SystemViewTest::headerTakesLastAbnormalNodeInNameOrder()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QColor, colour);
    QFETCH(QStringList, nodeLines);

    DisplayFixture f;
    // b first in the table: the name order decides, not the storage order.
    insertNode(f.connection(), node(2, QStringLiteral("b"), Node(b)));
    insertNode(f.connection(), node(2, QStringLiteral("a"), Node(a)));
    // A neighbour in alarm must not colour this card.
    insertNode(f.connection(), node(1, QStringLiteral("a"), Node::Alarm));
    TForm1& form = f.form();
    ShowSystemView(form, kCreate);
    QCOMPARE(f.headerColour(2), colour);
    QCOMPARE(f.lines(2).mid(0, 2), nodeLines);
    QCOMPARE(f.header(2)->text(), QStringLiteral("KPV2[地址:2]"));
    QCOMPARE(f.headerColour(1), Colours::alarm);
}

void SystemViewTest::linesFollowEachDevicesNodeCount()
{
    DisplayFixture f;
    for (const QString& name :
         {QStringLiteral("设备状态"), QStringLiteral("浪涌保护器"), QStringLiteral("浪涌次数")})
        insertNode(f.connection(), node(1, name, Node::Normal));
    insertNode(f.connection(), node(2, QStringLiteral("x"), Node::Lost));
    for (const QString& name :
         {QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("d"), QStringLiteral("b")})
        insertNode(f.connection(), node(3, name, Node::Normal, name.toUpper()));
    // Time and remaining life come from the last node in name order, not from
    // the latest reading.
    NodeRow last = node(3, QStringLiteral("e"), Node::Normal, QStringLiteral("E"));
    last.readTime = kNow.addSecs(-600);
    last.installDate = kNow.addDays(-730);
    insertNode(f.connection(), last);
    TForm1& form = f.form();
    ShowSystemView(form, kCreate);
    const QStringList tail{QStringLiteral("设备剩余寿命:80%"), QStringLiteral("2024-06-15 12:00:00")};
    QCOMPARE(f.lines(1), (QStringList{QStringLiteral("浪涌保护器:5"), QStringLiteral("浪涌次数:5"),
                                      QStringLiteral("设备状态:5")} +
                          tail));
    QCOMPARE(f.lines(2), QStringList{QStringLiteral("x:???")} + tail);
    QCOMPARE(f.lines(3),
             (QStringList{QStringLiteral("a:A"), QStringLiteral("b:B"), QStringLiteral("c:C"),
                          QStringLiteral("d:D"), QStringLiteral("e:E"), QStringLiteral("设备剩余寿命:60%"),
                          QStringLiteral("2024-06-15 11:50:00")}));
}

void SystemViewTest::remainingLifeLine_data()
{
    QTest::addColumn<QVariant>("installed");
    QTest::addColumn<QString>("line");
    QTest::newRow("today") << QVariant(kNow) << QStringLiteral("设备剩余寿命:100%");
    QTest::newRow("1807 days") << QVariant(kNow.addDays(-1807)) << QStringLiteral("设备剩余寿命:0%");
    QTest::newRow("in 730 days") << QVariant(kNow.addDays(730)) << QStringLiteral("设备剩余寿命:60%");
    QTest::newRow("empty") << QVariant() << QStringLiteral("设备剩余寿命:0%");
    QTest::newRow("date only") << QVariant(QStringLiteral("2023-06-16"))
                               << QStringLiteral("设备剩余寿命:80%");
}

void SystemViewTest::remainingLifeLine()
{
    QFETCH(QVariant, installed);
    QFETCH(QString, line);
    DisplayFixture f;
    NodeRow row = node(4, QStringLiteral("a"), Node::Normal);
    row.installDate = installed;
    insertNode(f.connection(), row);
    ShowSystemView(f.form(), kCreate);
    QCOMPARE(f.lines(1).at(1), line);
}

void SystemViewTest::updateRewritesInPlace()
{
    DisplayFixture f;
    insertNode(f.connection(), node(1, QStringLiteral("a"), Node::Normal));
    insertNode(f.connection(), node(1, QStringLiteral("b"), Node::Normal));
    insertNode(f.connection(), node(9, QStringLiteral("a"), Node::Normal));
    TForm1& form = f.form();
    ShowSystemView(form, kCreate);
    const QList<QWidget*> before = f.cardControls();

    f.db().exec(QStringLiteral("UPDATE node_record SET alarm_status='告警', con_data='9' "
                               "WHERE device_id=1 AND node_name='a'"));
    f.db().exec(QStringLiteral("UPDATE node_record SET communication_status='通信异常' WHERE device_id=9"));
    // A device added since the create gets no card from an update.
    insertNode(f.connection(), node(40, QStringLiteral("a"), Node::Alarm));
    Clock::setFixed(kNow.addDays(365));
    ChildWatch watch(form.Frame11->host());
    ShowSystemView(form, kUpdate);
    QCOMPARE(watch.added + watch.removed, 0);
    QCOMPARE(f.cardControls(), before);
    QCOMPARE(form.CardCount, 2);
    QCOMPARE(f.headerColour(1), Colours::alarm);
    QCOMPARE(f.lines(1),
             (QStringList{QStringLiteral("a:9(告警)"), QStringLiteral("b:5"),
                          QStringLiteral("设备剩余寿命:60%"), QStringLiteral("2024-06-15 12:00:00")}));
    QCOMPARE(f.headerColour(2), Colours::commLoss);
    QCOMPARE(f.lines(2).at(0), QStringLiteral("a:???"));

    // Every refresh starts from green: recovered devices lose their colour.
    f.db().exec(
        QStringLiteral("UPDATE node_record SET alarm_status='正常', communication_status='通信正常'"));
    ShowSystemView(form, kUpdate);
    QCOMPARE(f.headerColour(1), Colours::normal);
    QCOMPARE(f.headerColour(2), Colours::normal);
    QCOMPARE(f.lines(1).at(0), QStringLiteral("a:9"));
    QCOMPARE(watch.added + watch.removed, 0);
}

QTEST_MAIN(SystemViewTest)
#include "SystemViewTest.moc"
