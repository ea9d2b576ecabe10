// The device tree: its order and items, and what a click selects, shows and
// hands to the poll cycle as its scope.
#include "DisplayFixture.h"

#include "display/DeviceTree.h"

#include <QLabel>
#include <QTest>
#include <QTreeWidget>

namespace {
const QStringList kKpvNodes{QStringLiteral("设备状态"), QStringLiteral("浪涌保护器"),
                            QStringLiteral("浪涌次数")};

QStringList childTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

// By path: "监控系统", "监控系统/<device>" or "监控系统/<device>/<node>".
QTreeWidgetItem* findItem(TForm1& form, const QString& path)
{
    QTreeWidgetItem* item = form.TreeView1->topLevelItem(0);
    for (const QString& part : path.split(QLatin1Char('/')).mid(1)) {
        QTreeWidgetItem* parent = item;
        item = nullptr;
        for (int i = 0; parent && i < parent->childCount(); ++i) {
            if (parent->child(i)->text(0) == part)
                item = parent->child(i);
        }
    }
    return item;
}

void click(TForm1& form, const QString& path)
{
    form.TreeView1->setCurrentItem(findItem(form, path));
    form.TreeView1Click();
}
} // namespace

class DeviceTreeTest final : public QObject
{
    Q_OBJECT
private slots:
    void emptyTableGivesRootAlone();
    void nodesShowInNameOrder_data();
    void nodesShowInNameOrder();
    void devicesInAddressOrderEvenWithSameName();
    void clickSelectsShowsAndScopes_data();
    void clickSelectsShowsAndScopes();
    void mouseClickReachesTheHandler();
    void deviceClickKeepsNodeName();
    void clickingAgainRecreatesViewAndRewindsScope();
    void addressWithoutDigitsEndsTheClick();
};

void DeviceTreeTest::emptyTableGivesRootAlone()
{
    DisplayFixture f;
    TForm1& form = f.form();
    BuildDeviceTree(form);
    QCOMPARE(form.TreeView1->topLevelItemCount(), 1);
    QCOMPARE(form.TreeView1->topLevelItem(0)->text(0), QStringLiteral("监控系统"));
    QCOMPARE(form.TreeView1->topLevelItem(0)->childCount(), 0);

    click(form, QStringLiteral("监控系统"));
    QCOMPARE(form.state.SelectedKind, QStringLiteral("监控系统"));
    QCOMPARE(form.CardCount, 0);
    QVERIFY(f.cardControls().isEmpty());
    QVERIFY(form.ADOQuery3->isActive());
    QCOMPARE(form.ADOQuery3->recordCount(), 0);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void DeviceTreeTest::nodesShowInNameOrder_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("b a c") << QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")};
    QTest::newRow("c b a") << QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")};
}

void DeviceTreeTest::nodesShowInNameOrder()
{
    QFETCH(QStringList, stored);
    DisplayFixture f;
    insertDevice(f.connection(), 4, QStringLiteral("KPV4"), stored);
    BuildDeviceTree(f.form());
    QTreeWidgetItem* device = findItem(f.form(), QStringLiteral("监控系统/KPV4[地址:4]"));
    QVERIFY(device);
    QCOMPARE(childTexts(device),
             (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
}

void DeviceTreeTest::devicesInAddressOrderEvenWithSameName()
{
    DisplayFixture f;
    insertDevice(f.connection(), 12, QStringLiteral("KPV"), {QStringLiteral("x")});
    insertDevice(f.connection(), 3, QStringLiteral("KPV"), kKpvNodes);
    insertDevice(f.connection(), 7, QStringLiteral("配电室"), {QStringLiteral("y"), QStringLiteral("x")});
    TForm1& form = f.form();
    BuildDeviceTree(form);
    QTreeWidgetItem* root = form.TreeView1->topLevelItem(0);
    QCOMPARE(childTexts(root), (QStringList{QStringLiteral("KPV[地址:3]"), QStringLiteral("配电室[地址:7]"),
                                            QStringLiteral("KPV[地址:12]")}));
    QCOMPARE(
        childTexts(root->child(0)),
        (QStringList{QStringLiteral("浪涌保护器"), QStringLiteral("浪涌次数"), QStringLiteral("设备状态")}));
    QCOMPARE(childTexts(root->child(2)), QStringList{QStringLiteral("x")});
    QVERIFY(root->isExpanded() && root->child(1)->isExpanded());
}

void DeviceTreeTest::clickSelectsShowsAndScopes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("deviceId");
    QTest::addColumn<QString>("nodeName");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("cards");
    QTest::addColumn<QStringList>("scope"); // device_id:node_name of ADOQuery3's rows
    QTest::addColumn<QString>("error");

    QTest::newRow("root") << QStringLiteral("监控系统") << QStringLiteral("监控系统") << 0 << QString()
                          << QStringLiteral("系统数据") << 3
                          << QStringList{QStringLiteral("1:a"),          QStringLiteral("1:b"),
                                         QStringLiteral("3:浪涌保护器"), QStringLiteral("3:浪涌次数"),
                                         QStringLiteral("3:设备状态"),   QStringLiteral("5:z")}
                          << QString();
    QTest::newRow("device") << QStringLiteral("监控系统/KPV1[地址:3]") << QStringLiteral("设备") << 3
                            << QString() << QStringLiteral("KPV1[地址:3]") << 3
                            << QStringList{QStringLiteral("3:浪涌保护器"), QStringLiteral("3:浪涌次数"),
                                           QStringLiteral("3:设备状态")}
                            << QString();
    QTest::newRow("node") << QStringLiteral("监控系统/KPV1[地址:3]/浪涌次数") << QStringLiteral("节点") << 3
                          << QStringLiteral("浪涌次数") << QStringLiteral("浪涌次数   KPV1[地址:3]") << 1
                          << QStringList{QStringLiteral("3:浪涌次数")} << QString();
    // The first brackets of the text hold the address: A[1] selects device 1.
    QTest::newRow("device named A[1]")
        << QStringLiteral("监控系统/A[1][地址:5]") << QStringLiteral("设备") << 1 << QString()
        << QStringLiteral("A[1][地址:5]") << 2 << QStringList{QStringLiteral("1:a"), QStringLiteral("1:b")}
        << QString();
    // Device 1 has no node z: its card cannot be filled, and the click ends
    // before the scope query is reopened.
    QTest::newRow("node of A[1]") << QStringLiteral("监控系统/A[1][地址:5]/z") << QStringLiteral("节点") << 1
                                  << QStringLiteral("z") << QStringLiteral("z   A[1][地址:5]") << 1
                                  << QStringList()
                                  << QStringLiteral(
                                         "Either BOF or EOF is True, or the current record has been deleted");
}

void DeviceTreeTest::clickSelectsShowsAndScopes()
{
    QFETCH(QString, path);
    QFETCH(QString, kind);
    QFETCH(int, deviceId);
    QFETCH(QString, nodeName);
    QFETCH(QString, caption);
    QFETCH(int, cards);
    QFETCH(QStringList, scope);
    QFETCH(QString, error);

    DisplayFixture f;
    insertDevice(f.connection(), 3, QStringLiteral("KPV1"), kKpvNodes);
    insertDevice(f.connection(), 1, QStringLiteral("KPV"), {QStringLiteral("b"), QStringLiteral("a")});
    insertDevice(f.connection(), 5, QStringLiteral("A[1]"), {QStringLiteral("z")});
    TForm1& form = f.form();
    BuildDeviceTree(form);
    click(form, path);

    QCOMPARE(MessageBox::takeShown(), error.isEmpty() ? QStringList() : QStringList{error});
    QCOMPARE(form.state.SelectedKind, kind);
    QCOMPARE(form.state.SelectedDeviceId, deviceId);
    QCOMPARE(form.state.SelectedNodeName, nodeName);
    QCOMPARE(form.StaticText3->text(), caption);
    QCOMPARE(form.CardCount, cards);
    QCOMPARE(f.cardControls().size(), 2 * cards);

    Query& q = *form.ADOQuery3;
    QCOMPARE(q.isActive(), error.isEmpty());
    QCOMPARE(q.recNo(), 0);
    QStringList rows;
    for (int r = 0; r < q.recordCount(); ++r)
        rows << q.value(r, q.columnNames().indexOf(QStringLiteral("device_id"))).toString() +
                    QLatin1Char(':') +
                    q.value(r, q.columnNames().indexOf(QStringLiteral("node_name"))).toString();
    QCOMPARE(rows, scope);
}

void DeviceTreeTest::mouseClickReachesTheHandler()
{
    DisplayFixture f;
    insertDevice(f.connection(), 2, QStringLiteral("KPV2"), kKpvNodes);
    TForm1& form = f.form();
    BuildDeviceTree(form);
    const QRect rect =
        form.TreeView1->visualItemRect(findItem(form, QStringLiteral("监控系统/KPV2[地址:2]")));
    QTest::mouseClick(form.TreeView1->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(form.state.SelectedKind, QStringLiteral("设备"));
    QCOMPARE(form.state.SelectedDeviceId, 2);
}

void DeviceTreeTest::deviceClickKeepsNodeName()
{
    DisplayFixture f;
    insertDevice(f.connection(), 3, QStringLiteral("KPV1"), kKpvNodes);
    insertDevice(f.connection(), 9, QStringLiteral("KPV9"), {QStringLiteral("q")});
    TForm1& form = f.form();
    BuildDeviceTree(form);
    click(form, QStringLiteral("监控系统/KPV1[地址:3]/设备状态"));
    click(form, QStringLiteral("监控系统/KPV9[地址:9]"));
    QCOMPARE(form.state.SelectedDeviceId, 9);
    QCOMPARE(form.state.SelectedNodeName, QStringLiteral("设备状态"));
    click(form, QStringLiteral("监控系统"));
    QCOMPARE(form.state.SelectedDeviceId, 9);
    QCOMPARE(form.state.SelectedNodeName, QStringLiteral("设备状态"));
}

void DeviceTreeTest::clickingAgainRecreatesViewAndRewindsScope()
{
    DisplayFixture f;
    insertDevice(f.connection(), 3, QStringLiteral("KPV1"), kKpvNodes);
    TForm1& form = f.form();
    BuildDeviceTree(form);
    const QString node = QStringLiteral("监控系统/KPV1[地址:3]/浪涌次数");
    click(form, node);
    form.ADOQuery3->next();
    click(form, node);
    // One card, not two: the second click freed the first one.
    QCOMPARE(form.CardCount, 1);
    QCOMPARE(f.cardControls(), (QList<QWidget*>{f.header(1), f.list(1)}));
    QCOMPARE(form.ADOQuery3->recNo(), 0);
}

void DeviceTreeTest::addressWithoutDigitsEndsTheClick()
{
    DisplayFixture f;
    // The name's own brackets leave no digits for the address.
    insertDevice(f.connection(), 4, QStringLiteral("X[]"), {QStringLiteral("a")});
    TForm1& form = f.form();
    BuildDeviceTree(form);
    const QString caption = form.StaticText3->text();
    click(form, QStringLiteral("监控系统/X[][地址:4]"));
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("'' is not a valid integer value")});
    // What came before the conversion stays done; nothing after it ran.
    QCOMPARE(form.state.SelectedKind, QStringLiteral("设备"));
    QCOMPARE(form.state.SelectedDeviceId, 0);
    QCOMPARE(form.StaticText3->text(), caption);
    QVERIFY(!form.ADOQuery3->isActive());
}

QTEST_MAIN(DeviceTreeTest)
#include "DeviceTreeTest.moc"
