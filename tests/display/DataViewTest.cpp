// Node and device views: the cards' colours, texts and places, scrolling, and
// updates that rewrite the cards in place.
#include "DisplayFixture.h"

#include "display/Cards.h"
#include "display/DataView.h"

#include <QScrollBar>

namespace {
void show(MainWindow& form, const QString& mode, int device, const QString& node = QString())
{
    form.station.selection.SelectedDeviceId = device;
    form.station.selection.SelectedNodeName = node;
    node.isEmpty() ? ShowDeviceView(form.panel(), mode) : ShowNodeView(form.panel(), mode);
}
} // namespace

class DataViewTest final : public QObject
{
    Q_OBJECT
private slots:
    void nodeCardShowsState_data()
    {
        QTest::addColumn<QStringList>("row"); // data type, communication, alarm
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QStringList>("lines"); // header first
        const QString sw = "开关量", ok = "通信正常", alarm = "告警";
        const QStringList switchLines =
            texts("数据类型:开关量|报警:0000(正常)/FFFF(异常)||时间:2024-06-15 12:30:05");
        const QStringList limits = texts("报警下限:10|报警上限:200|时间:2024-06-15 12:30:05");
        QTest::newRow("switch normal")
            << QStringList{sw, ok, "正常"} << Colours::normal << texts("浪涌保护器|数据:37") + switchLines;
        // A failed read hides the stored alarm: the value was not delivered.
        QTest::newRow("lost, stored alarm") << QStringList{sw, "通信异常", alarm} << Colours::commLoss
                                            << texts("浪涌保护器|数据:???") + switchLines;
        QTest::newRow("never read") << QStringList{sw, "", ""} << Colours::commLoss
                                    << texts("浪涌保护器|数据:???") + switchLines;
        QTest::newRow("analogue in alarm") << QStringList{"模拟量", ok, alarm} << Colours::alarm
                                           << texts("浪涌保护器[告警]|数据:37|数据类型:模拟量") + limits;
        // Only the exact texts count: any other type shows the limits.
        QTest::newRow("other type and alarm text") << QStringList{"x", ok, "告警 "} << Colours::normal
                                                   << texts("浪涌保护器|数据:37|数据类型:x") + limits;
    }

    void nodeCardShowsState()
    {
        QFETCH(QStringList, row);
        QFETCH(QColor, colour);
        QFETCH(QStringList, lines);
        DisplayFixture f;
        NodeRow node{1, "KPV1", "浪涌保护器", "37", row[0]};
        node.readTime = QDateTime(QDate(2024, 6, 15), QTime(12, 30, 5));
        node.communication = row[1];
        node.alarm = row[2];
        insertNode(f.connection(), node);
        // Both views fill their cards by the same rules.
        for (const QString& name : {node.nodeName, QString()}) {
            FreeCards(f.form->panel());
            show(*f.form, "创建", 1, name);
            QCOMPARE(f.headerColour(1), colour);
            QCOMPARE(QStringList{f.header(1)->text()} + f.lines(1), lines);
            // The colour is painted, not only set: a pixel clear of the text.
            const QImage image = f.header(1)->grab().toImage();
            QCOMPARE(image.pixelColor(image.width() - 3, image.height() / 2), colour);
        }
    }

    void deviceViewPlacesCardsAndUpdatesInPlace()
    {
        DisplayFixture f;
        QStringList nodes;
        for (int i = 13; i >= 1; --i)
            nodes << QString("n%1").arg(i, 2, 10, QLatin1Char('0'));
        insertDevice(f.connection(), 8, "KPV8", nodes);
        insertDevice(f.connection(), 9, "KPV9", texts("a"));
        f.showLoggedIn(); // the scroll bars need a shown frame
        MainWindow& form = *f.form;
        show(form, "创建", 8);
        QCOMPARE(form.panel().CardCount, 13);
        for (int card = 1; card <= 13; ++card) {
            const QPoint place(8 + 168 * ((card - 1) % 3), 24 + 166 * ((card - 1) / 3));
            QCOMPARE(f.header(card)->geometry(), QRect(place, QSize(160, 21)));
            QCOMPARE(f.list(card)->geometry(), QRect(place + QPoint(0, 21), QSize(160, 120)));
            QCOMPARE(f.header(card)->text(), nodes.at(13 - card));
        }
        // The last list ends at 828, below the frame's 600 pixels.
        QVERIFY(form.cardFrame->verticalScrollBar()->maximum() > 0);

        const QList<QWidget*> before = f.cardControls();
        f.db.exec("UPDATE node_record SET communication_status='通信异常' WHERE node_name='n01'");
        f.db.exec("UPDATE node_record SET alarm_status='告警', con_data='9' WHERE node_name='n02'");
        // A node added behind the view's back gets no card from an update.
        insertDevice(f.connection(), 8, "KPV8", texts("n14"));
        ChildWatch watch(form.cardFrame->host());
        ShowDeviceView(form.panel(), "更新");
        QCOMPARE(watch.changes, 0);
        QCOMPARE(f.cardControls(), before);
        QCOMPARE(f.headerColour(1), Colours::commLoss);
        QCOMPARE(f.lines(1).at(0), "数据:???");
        QCOMPARE(f.headerColour(2), Colours::alarm);
        QCOMPARE(QStringList{f.header(2)->text()} + f.lines(2).mid(0, 1), texts("n02[告警]|数据:9"));

        // Back to normal, in the node view: colour and marker go again.
        FreeCards(form.panel());
        show(form, "创建", 8, "n02");
        f.db.exec("UPDATE node_record SET alarm_status='正常', con_data='42' WHERE node_name='n02'");
        watch.changes = 0;
        ShowNodeView(form.panel(), "anything but create");
        QCOMPARE(watch.changes, 0);
        QCOMPARE(f.headerColour(1), Colours::normal);
        QCOMPARE(QStringList{f.header(1)->text()} + f.lines(1).mid(0, 1), texts("n02|数据:42"));

        // A second FreeCards frees nothing twice, and an update brings no card back.
        FreeCards(form.panel());
        FreeCards(form.panel());
        ShowDeviceView(form.panel(), "更新");
        QVERIFY(f.cardControls().isEmpty());

        // A device that fits leaves nothing to scroll.
        show(form, "创建", 9);
        QCOMPARE(form.cardFrame->verticalScrollBar()->maximum() +
                     form.cardFrame->horizontalScrollBar()->maximum(),
                 0);
    }
};

QTEST_MAIN(DataViewTest)
#include "DataViewTest.moc"
