// Node and device views: the cards' places, colours and texts, scrolling, and
// updates that rewrite the cards in place.
#include "DisplayFixture.h"

#include "display/Cards.h"
#include "display/DataView.h"
#include "store/AppError.h"

#include <QScrollBar>
#include <QTest>

namespace {
const QString kCreate = QStringLiteral("创建");
const QString kUpdate = QStringLiteral("更新");

void selectNode(TForm1& form, int device, const QString& node)
{
    form.state.SelectedKind = QStringLiteral("节点");
    form.state.SelectedDeviceId = device;
    form.state.SelectedNodeName = node;
}

void selectDevice(TForm1& form, int device)
{
    form.state.SelectedKind = QStringLiteral("设备");
    form.state.SelectedDeviceId = device;
}

void setColumn(TestDatabase& db, const QString& assignment, const QString& node)
{
    db.exec(QStringLiteral("UPDATE node_record SET %1 WHERE node_name='%2'").arg(assignment, node));
}
} // namespace

class DataViewTest final : public QObject
{
    Q_OBJECT
private slots:
    void nodeCardShowsState_data();
    void nodeCardShowsState();
    void headerColourIsPainted();
    void cardsHaveTheirLook();

    void deviceViewFillsRowsOfThree();
    void thirteenNodesScrollTheFrame();
    void updateRewritesInPlace();
    void updateOfNodeViewKeepsItsCard();
    void freeCardsRemovesEveryCard();
    void missingNodeLeavesAnEmptyCard();
};

void DataViewTest::nodeCardShowsState_data()
{
    QTest::addColumn<QString>("dataType");
    QTest::addColumn<QString>("communication");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QStringList>("lines");

    const QString sw = QStringLiteral("开关量");
    const QString an = QStringLiteral("模拟量");
    const QString ok = QStringLiteral("通信正常");
    const QString lost = QStringLiteral("通信异常");
    const QString alarm = QStringLiteral("告警");
    const QString normal = QStringLiteral("正常");
    const QString time = QStringLiteral("时间:2024-06-15 12:30:05");
    const QStringList switchLines{QStringLiteral("数据类型:开关量"),
                                  QStringLiteral("报警:0000(正常)/FFFF(异常)"), QString(), time};
    const QStringList analogueLines{QStringLiteral("数据类型:模拟量"), QStringLiteral("报警下限:10"),
                                    QStringLiteral("报警上限:200"), time};

    QTest::newRow("switch normal") << sw << ok << normal << Colours::normal << QStringLiteral("浪涌保护器")
                                   << (QStringList{QStringLiteral("数据:37")} + switchLines);
    QTest::newRow("switch in alarm") << sw << ok << alarm << Colours::alarm
                                     << QStringLiteral("浪涌保护器[告警]")
                                     << (QStringList{QStringLiteral("数据:37")} + switchLines);
    // A failed read hides the stored alarm: the value was not delivered.
    QTest::newRow("lost, stored alarm")
        << sw << lost << alarm << Colours::commLoss << QStringLiteral("浪涌保护器")
        << (QStringList{QStringLiteral("数据:???")} + switchLines);
    QTest::newRow("never read") << sw << QString() << QString() << Colours::commLoss
                                << QStringLiteral("浪涌保护器")
                                << (QStringList{QStringLiteral("数据:???")} + switchLines);
    QTest::newRow("analogue normal") << an << ok << normal << Colours::normal << QStringLiteral("浪涌保护器")
                                     << (QStringList{QStringLiteral("数据:37")} + analogueLines);
    QTest::newRow("analogue in alarm")
        << an << ok << alarm << Colours::alarm << QStringLiteral("浪涌保护器[告警]")
        << (QStringList{QStringLiteral("数据:37")} + analogueLines);
    QTest::newRow("analogue lost") << an << lost << normal << Colours::commLoss
                                   << QStringLiteral("浪涌保护器")
                                   << (QStringList{QStringLiteral("数据:???")} + analogueLines);
    // Only the exact alarm text is an alarm; any other type shows limits.
    QTest::newRow("other type, other alarm text")
        << QStringLiteral("x") << ok << QStringLiteral("告警 ") << Colours::normal
        << QStringLiteral("浪涌保护器")
        << QStringList{QStringLiteral("数据:37"), QStringLiteral("数据类型:x"), analogueLines.at(1),
                       analogueLines.at(2), time};
}

void DataViewTest::nodeCardShowsState()
{
    QFETCH(QString, dataType);
    QFETCH(QString, communication);
    QFETCH(QString, alarm);
    QFETCH(QColor, colour);
    QFETCH(QString, header);
    QFETCH(QStringList, lines);

    DisplayFixture f;
    NodeRow row;
    row.deviceId = 6;
    row.nodeName = QStringLiteral("浪涌保护器");
    row.conData = QStringLiteral("37");
    row.dataType = dataType;
    row.lower = 10;
    row.upper = 200;
    row.readTime = QDateTime(QDate(2024, 6, 15), QTime(12, 30, 5));
    row.communication = communication;
    row.alarm = alarm;
    insertNode(f.connection(), row);

    TForm1& form = f.form();
    selectNode(form, 6, row.nodeName);
    ShowNodeView(form, kCreate);
    QCOMPARE(f.headerColour(1), colour);
    QCOMPARE(f.header(1)->text(), header);
    QCOMPARE(f.lines(1), lines);

    // The device view fills its cards by the same rules.
    FreeCards(form);
    selectDevice(form, 6);
    ShowDeviceView(form, kCreate);
    QCOMPARE(f.headerColour(1), colour);
    QCOMPARE(f.header(1)->text(), header);
    QCOMPARE(f.lines(1), lines);
}

void DataViewTest::headerColourIsPainted()
{
    DisplayFixture f;
    NodeRow row;
    row.nodeName = QStringLiteral("a");
    row.alarm = QStringLiteral("告警");
    insertNode(f.connection(), row);
    row.nodeName = QStringLiteral("b");
    row.communication = QStringLiteral("通信异常");
    insertNode(f.connection(), row);
    row.nodeName = QStringLiteral("c");
    row.communication = QStringLiteral("通信正常");
    row.alarm = QStringLiteral("正常");
    insertNode(f.connection(), row);

    TForm1& form = f.form();
    selectDevice(form, 1);
    ShowDeviceView(form, kCreate);
    const QColor expected[] = {Colours::alarm, Colours::commLoss, Colours::normal};
    for (int card = 1; card <= 3; ++card) {
        // A pixel at the far right of the header, clear of its text.
        const QImage image = f.header(card)->grab().toImage();
        QCOMPARE(image.pixelColor(image.width() - 3, image.height() / 2), expected[card - 1]);
    }
}

void DataViewTest::cardsHaveTheirLook()
{
    DisplayFixture f;
    insertDevice(f.connection(), 2, QStringLiteral("KPV2"), {QStringLiteral("a")});
    TForm1& form = f.form();
    selectDevice(form, 2);
    ShowDeviceView(form, kCreate);
    QLineEdit* header = f.header(1);
    QListWidget* list = f.list(1);
    QCOMPARE(header->parentWidget(), form.Frame11->host());
    QCOMPARE(list->parentWidget(), form.Frame11->host());
    QVERIFY(header->isReadOnly());
    QVERIFY(!header->hasFrame());
    QCOMPARE(header->font().pointSize(), 10);
    QVERIFY(header->font().bold());
    QCOMPARE(header->font().family(), form.font().family());
    QCOMPARE(list->font().pointSize(), 10);
    QVERIFY(!list->font().bold());
    QCOMPARE(list->frameShadow(), QFrame::Plain);
    QCOMPARE(list->geometry(), QRect(8, 29, 160, 100));
    QVERIFY(!header->isHidden() && !list->isHidden());
}

void DataViewTest::deviceViewFillsRowsOfThree()
{
    DisplayFixture f;
    insertDevice(f.connection(), 3, QStringLiteral("KPV3"),
                 {QStringLiteral("d"), QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")});
    insertDevice(f.connection(), 4, QStringLiteral("KPV4"), {QStringLiteral("0")});
    TForm1& form = f.form();
    selectDevice(form, 3);
    ShowDeviceView(form, kCreate);
    QCOMPARE(form.CardCount, 4);
    const QPoint places[] = {{8, 8}, {176, 8}, {344, 8}, {8, 138}};
    const QString names[] = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                             QStringLiteral("d")};
    for (int card = 1; card <= 4; ++card) {
        QCOMPARE(f.header(card)->pos(), places[card - 1]);
        QCOMPARE(f.list(card)->pos(), places[card - 1] + QPoint(0, 21));
        QCOMPARE(f.header(card)->text(), names[card - 1]);
        QCOMPARE(f.list(card)->count(), 5);
    }
    QCOMPARE(form.CardHeaders[4], nullptr);
}

void DataViewTest::thirteenNodesScrollTheFrame()
{
    DisplayFixture f;
    QStringList nodes;
    for (int i = 1; i <= 13; ++i)
        nodes << QStringLiteral("n%1").arg(i, 2, 10, QLatin1Char('0'));
    insertDevice(f.connection(), 8, QStringLiteral("KPV8"), nodes);
    f.show();
    TForm1& form = f.form();
    selectDevice(form, 8);
    ShowDeviceView(form, kCreate);
    QCOMPARE(form.CardCount, 13);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column)
            QCOMPARE(f.header(row * 3 + column + 1)->pos(), QPoint(8 + 168 * column, 8 + 130 * row));
    }
    QCOMPARE(f.header(13)->pos(), QPoint(8, 528));
    QCOMPARE(f.header(13)->text(), QStringLiteral("n13"));
    // The last list ends at 649, below the frame's 600 pixels.
    QVERIFY(form.Frame11->host()->height() >= 649);
    QVERIFY(form.Frame11->verticalScrollBar()->maximum() > 0);

    // A device that fits leaves nothing to scroll.
    FreeCards(form);
    form.CardCount = 0;
    insertDevice(f.connection(), 9, QStringLiteral("KPV9"), {QStringLiteral("a")});
    selectDevice(form, 9);
    ShowDeviceView(form, kCreate);
    QCOMPARE(form.Frame11->verticalScrollBar()->maximum(), 0);
    QCOMPARE(form.Frame11->horizontalScrollBar()->maximum(), 0);
}

void DataViewTest::updateRewritesInPlace()
{
    DisplayFixture f;
    insertDevice(f.connection(), 3, QStringLiteral("KPV3"), {QStringLiteral("a"), QStringLiteral("b")});
    TForm1& form = f.form();
    selectDevice(form, 3);
    ShowDeviceView(form, kCreate);
    const QList<QWidget*> before = f.cardControls();
    QCOMPARE(before.size(), 4);

    setColumn(f.db(), QStringLiteral("communication_status='通信异常'"), QStringLiteral("a"));
    setColumn(f.db(), QStringLiteral("alarm_status='告警', con_data='异常'"), QStringLiteral("b"));
    ChildWatch watch(form.Frame11->host());
    ShowDeviceView(form, kUpdate);
    QCOMPARE(watch.added, 0);
    QCOMPARE(watch.removed, 0);
    QCOMPARE(f.cardControls(), before);
    QCOMPARE(form.CardCount, 2);
    QCOMPARE(f.headerColour(1), Colours::commLoss);
    QCOMPARE(f.lines(1).at(0), QStringLiteral("数据:???"));
    QCOMPARE(f.headerColour(2), Colours::alarm);
    QCOMPARE(f.header(2)->text(), QStringLiteral("b[告警]"));
    QCOMPARE(f.lines(2).at(0), QStringLiteral("数据:异常"));

    // Back to normal: the colour and the marker go again.
    setColumn(f.db(), QStringLiteral("alarm_status='正常'"), QStringLiteral("b"));
    ShowDeviceView(form, QStringLiteral("anything but create"));
    QCOMPARE(f.headerColour(2), Colours::normal);
    QCOMPARE(f.header(2)->text(), QStringLiteral("b"));
    QCOMPARE(f.cardControls(), before);

    // A node added behind the view's back gets no card from an update.
    insertDevice(f.connection(), 3, QStringLiteral("KPV3"), {QStringLiteral("c")});
    ShowDeviceView(form, kUpdate);
    QCOMPARE(watch.added, 0);
    QCOMPARE(form.CardCount, 2);
}

void DataViewTest::updateOfNodeViewKeepsItsCard()
{
    DisplayFixture f;
    insertDevice(f.connection(), 3, QStringLiteral("KPV3"), {QStringLiteral("a"), QStringLiteral("b")});
    TForm1& form = f.form();
    selectNode(form, 3, QStringLiteral("b"));
    ShowNodeView(form, kCreate);
    QCOMPARE(form.CardCount, 1);
    QLineEdit* header = f.header(1);
    setColumn(f.db(), QStringLiteral("con_data='42'"), QStringLiteral("b"));
    ChildWatch watch(form.Frame11->host());
    ShowNodeView(form, kUpdate);
    QCOMPARE(watch.added + watch.removed, 0);
    QCOMPARE(f.header(1), header);
    QCOMPARE(f.lines(1).at(0), QStringLiteral("数据:42"));
}

void DataViewTest::freeCardsRemovesEveryCard()
{
    DisplayFixture f;
    insertDevice(f.connection(), 3, QStringLiteral("KPV3"),
                 {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    TForm1& form = f.form();
    selectDevice(form, 3);
    ShowDeviceView(form, kCreate);
    QCOMPARE(f.cardControls().size(), 6);
    FreeCards(form);
    QVERIFY(f.cardControls().isEmpty());
    // Left for the next create to set; a second call frees nothing twice.
    QCOMPARE(form.CardCount, 3);
    FreeCards(form);
    // An update with no cards on the frame must not bring any back.
    ShowDeviceView(form, kUpdate);
    QVERIFY(f.cardControls().isEmpty());
}

void DataViewTest::missingNodeLeavesAnEmptyCard()
{
    DisplayFixture f;
    TForm1& form = f.form();
    selectNode(form, 3, QStringLiteral("gone"));
    QVERIFY_THROWS_EXCEPTION(AppError, ShowNodeView(form, kCreate));
    QCOMPARE(form.CardCount, 1);
    QCOMPARE(f.cardControls().size(), 2);
    QCOMPARE(f.lines(1), QStringList(5, QString()));
}

QTEST_MAIN(DataViewTest)
#include "DataViewTest.moc"
