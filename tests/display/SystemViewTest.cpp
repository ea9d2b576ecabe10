// The system overview: one card per device, its header colour rule, the node,
// remaining-life and time lines, and refreshes in place.
#include "DisplayFixture.h"

#include "display/Cards.h"
#include "display/SystemView.h"
#include "store/Clock.h"

namespace {
const QString kCreate = QStringLiteral("创建");
const QString kUpdate = QStringLiteral("更新");
const QDateTime kNow(QDate(2024, 6, 15), QTime(12, 0));

// state 'A': in alarm, 'L': communication lost, anything else normal.
NodeRow node(int device, const QString& name, char state = 'N', const QString& value = QStringLiteral("5"))
{
    NodeRow row;
    row.deviceId = device;
    row.deviceName = QStringLiteral("KPV%1").arg(device);
    row.nodeName = name;
    row.conData = value;
    row.installDate = kNow.addDays(-365);
    row.readTime = kNow;
    if (state == 'A')
        row.alarm = QStringLiteral("告警");
    if (state == 'L')
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

    void headerTakesLastAbnormalNodeInNameOrder_data();
    void headerTakesLastAbnormalNodeInNameOrder();
    void cardsByAddressUpdatedInPlace();
};

void SystemViewTest::headerTakesLastAbnormalNodeInNameOrder_data()
{
    QTest::addColumn<QString>("states"); // of nodes a and b
    QTest::addColumn<QColor>("colour");
    QTest::newRow("a alarm") << QStringLiteral("AN") << Colours::alarm;
    QTest::newRow("a alarm, b lost") << QStringLiteral("AL") << Colours::commLoss;
    QTest::newRow("a lost, b alarm") << QStringLiteral("LA") << Colours::alarm;
    QTest::newRow("a lost, b normal") << QStringLiteral("LN") << Colours::commLoss;
}

void SystemViewTest::headerTakesLastAbnormalNodeInNameOrder()
{
    QFETCH(QString, states);
    QFETCH(QColor, colour);
    DisplayFixture f;
    // b first in the table: the name order decides, not the storage order.
    insertNode(f.connection(), node(2, QStringLiteral("b"), states.at(1).toLatin1()));
    insertNode(f.connection(), node(2, QStringLiteral("a"), states.at(0).toLatin1()));
    // Neighbours in alarm must not colour this card.
    insertNode(f.connection(), node(1, QStringLiteral("a"), 'A'));
    insertNode(f.connection(), node(3, QStringLiteral("a"), 'A'));
    ShowSystemView(f.form().panel(), kCreate);
    QCOMPARE(f.headerColour(2), colour);
}

void SystemViewTest::cardsByAddressUpdatedInPlace()
{
    DisplayFixture f;
    for (const QString& name : texts("c|a|d|b"))
        insertNode(f.connection(), node(30, name, 'N', name.toUpper()));
    // Time and remaining life come from the last node in name order, not from
    // the latest reading.
    NodeRow last = node(30, QStringLiteral("e"), 'N', QStringLiteral("E"));
    last.readTime = kNow.addSecs(-600);
    last.installDate = kNow.addDays(-730);
    insertNode(f.connection(), last);
    insertNode(f.connection(), node(12, QStringLiteral("x"), 'L'));
    for (const QString& name : texts("设备状态|浪涌保护器|浪涌次数"))
        insertNode(f.connection(), node(7, name));
    TForm1& form = f.form();
    ShowSystemView(form.panel(), kCreate);
    const QList<QWidget*> before = f.cardControls();
    QCOMPARE(before.size(), 6);
    const auto card = [&f](int n) { return QStringList{f.header(n)->text()} + f.lines(n); };
    QCOMPARE(card(1),
             texts("KPV7[地址:7]|浪涌保护器:5|浪涌次数:5|设备状态:5|设备剩余寿命:80%|2024-06-15 12:00:00"));
    QCOMPARE(card(2), texts("KPV12[地址:12]|x:???|设备剩余寿命:80%|2024-06-15 12:00:00"));
    QCOMPARE(card(3), texts("KPV30[地址:30]|a:A|b:B|c:C|d:D|e:E|设备剩余寿命:60%|2024-06-15 11:50:00"));
    QCOMPARE(f.headerColour(2), Colours::commLoss);

    f.db.exec(QStringLiteral(
        "UPDATE node_record SET alarm_status='告警', con_data='9' WHERE node_name='浪涌次数'"));
    f.db.exec(QStringLiteral("UPDATE node_record SET communication_status='通信正常' WHERE device_id=12"));
    // A device added since the create gets no card from an update.
    insertNode(f.connection(), node(40, QStringLiteral("a"), 'A'));
    Clock::setFixed(kNow.addDays(365));
    ChildWatch watch(form.Frame11->host());
    ShowSystemView(form.panel(), kUpdate);
    QCOMPARE(watch.changes, 0);
    QCOMPARE(f.cardControls(), before);
    QCOMPARE(form.panel().CardCount, 3);
    QCOMPARE(f.headerColour(1), Colours::alarm);
    QCOMPARE(
        card(1),
        texts("KPV7[地址:7]|浪涌保护器:5|浪涌次数:9(告警)|设备状态:5|设备剩余寿命:60%|2024-06-15 12:00:00"));
    // Every refresh starts from green: a recovered device loses its colour.
    QCOMPARE(f.headerColour(2), Colours::normal);
    QCOMPARE(f.lines(2).at(0), QStringLiteral("x:5"));
}

QTEST_MAIN(SystemViewTest)
#include "SystemViewTest.moc"
