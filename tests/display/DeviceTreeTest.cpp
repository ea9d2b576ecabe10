// The device tree: its order, and what a click selects, shows and hands to the
// poll cycle as its scope.
#include "DisplayFixture.h"
#include "TreeItems.h"

#include "display/DeviceTree.h"

#include <QLabel>

class DeviceTreeTest final : public QObject
{
    Q_OBJECT
private slots:
    void clickSelectsShowsAndScopes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("selected"); // kind, device id, node name, caption
        QTest::addColumn<int>("cards");
        QTest::addColumn<QStringList>("scope"); // device_id:node_name of scopeQuery's rows

        // Every click follows one on node 设备状态 of device 3: a click keeps what
        // it does not set, and frees the cards of the view before.
        QTest::newRow("root") << QString() << texts("监控系统|3|设备状态|系统数据") << 4
                              << texts("1:a|1:b|1:c|3:浪涌保护器|3:浪涌次数|3:设备状态|4:a|5:z");
        // The address is the item's own, whatever brackets the name holds.
        QTest::newRow("device named A[1]")
            << QStringLiteral("A[1][地址:5]") << texts("设备|5|设备状态|A[1][地址:5]") << 1 << texts("5:z");
        QTest::newRow("same node again")
            << QStringLiteral("KPV1[地址:3]/设备状态") << texts("节点|3|设备状态|设备状态   KPV1[地址:3]")
            << 1 << texts("3:设备状态");
        QTest::newRow("node of A[1]")
            << QStringLiteral("A[1][地址:5]/z") << texts("节点|5|z|z   A[1][地址:5]") << 1 << texts("5:z");
        QTest::newRow("device named X[]")
            << QStringLiteral("X[][地址:4]") << texts("设备|4|设备状态|X[][地址:4]") << 1 << texts("4:a");
    }

    void clickSelectsShowsAndScopes()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, selected);
        QFETCH(int, cards);
        QFETCH(QStringList, scope);

        DisplayFixture f;
        insertDevice(f.connection(), 3, QStringLiteral("KPV1"), texts("设备状态|浪涌保护器|浪涌次数"));
        insertDevice(f.connection(), 1, QStringLiteral("KPV1"), texts("b|a|c"));
        insertDevice(f.connection(), 5, QStringLiteral("A[1]"), texts("z"));
        insertDevice(f.connection(), 4, QStringLiteral("X[]"), texts("a"));
        MainWindow& form = *f.form;
        BuildDeviceTree(form.station.treeQuery, *form.deviceTree, form.treeImages);
        // Devices by address, even two of the same name; nodes by name.
        QCOMPARE(form.deviceTree->topLevelItemCount(), 1);
        QCOMPARE(treeText(form.deviceTree->topLevelItem(0)),
                 QStringLiteral("监控系统(KPV1[地址:1](a,b,c),KPV1[地址:3](浪涌保护器,浪涌次数,设备状态),"
                                "X[][地址:4](a),A[1][地址:5](z))"));

        clickItem(form.deviceTree, QStringLiteral("KPV1[地址:3]/设备状态"));
        QVERIFY(MessageBox::takeShown().isEmpty());
        clickItem(form.deviceTree, path);
        QVERIFY(f.settle());

        QVERIFY(MessageBox::takeShown().isEmpty());
        const Selection& state = form.station.selection;
        QCOMPARE((QStringList{state.SelectedKind, QString::number(state.SelectedDeviceId),
                              state.SelectedNodeName, form.viewCaption->text()}),
                 selected);
        QCOMPARE(form.panel().CardCount, cards);
        QCOMPARE(f.cardControls().size(), 2 * cards);
        QStringList rows;
        for (qint64 id : form.station.scopeRowIds())
            rows << f.db.column(
                QStringLiteral("SELECT device_id||':'||node_name FROM node_record WHERE rowid=%1").arg(id));
        QCOMPARE(rows, scope);
    }

    // The click acts on the selected item wherever it lands: on an expand arrow
    // or on the empty area below the items. Keys move the selection as well.
    void clickBesideItemsActsOnSelection()
    {
        DisplayFixture f;
        insertDevice(f.connection(), 3, QStringLiteral("KPV1"), texts("设备状态|浪涌保护器"));
        MainWindow& form = *f.form;
        BuildDeviceTree(form.station.treeQuery, *form.deviceTree, form.treeImages);
        QTreeWidgetItem* device = form.deviceTree->topLevelItem(0)->child(0);
        const auto setQuietly = [&form](QTreeWidgetItem* item) { // only the click may act
            const QSignalBlocker quiet(form.deviceTree);
            form.deviceTree->setCurrentItem(item);
        };
        setQuietly(device);
        QTest::mouseClick(form.deviceTree->viewport(), Qt::LeftButton, {},
                          QPoint(5, form.deviceTree->height() - 30));
        QCOMPARE(form.station.selection.SelectedKind + QString::number(form.panel().CardCount),
                 QStringLiteral("设备2"));
        setQuietly(form.deviceTree->topLevelItem(0));
        const QRect row = form.deviceTree->visualItemRect(device);
        QTest::mouseClick(form.deviceTree->viewport(), Qt::LeftButton, {},
                          QPoint(row.left() - form.deviceTree->indentation() / 2, row.center().y()));
        QVERIFY(!device->isExpanded());
        QCOMPARE(form.station.selection.SelectedKind, QStringLiteral("监控系统"));
        QTest::keyClick(form.deviceTree, Qt::Key_Down);
        QCOMPARE(form.station.selection.SelectedKind + QString::number(form.panel().CardCount),
                 QStringLiteral("设备2"));
    }
};

QTEST_MAIN(DeviceTreeTest)
#include "DeviceTreeTest.moc"
