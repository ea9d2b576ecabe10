// Node and device views: the cards' colours, texts and places, scrolling, and
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
    form.state.SelectedDeviceId = device;
    form.state.SelectedNodeName = node;
}
} // namespace

class DataViewTest final : public QObject
{
    Q_OBJECT
private slots:
    void nodeCardShowsState_data();
    void nodeCardShowsState();
    void headerColourIsPainted();
    void deviceViewFillsRowsOfThreeAndScrolls();
    void updateRewritesInPlace();
    void freeCardsRemovesEveryCard();
    void missingNodeLeavesAnEmptyCard();
};

void DataViewTest::nodeCardShowsState_data()
{
    QTest::addColumn<QString>("dataType");
    QTest::addColumn<QString>("communication");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QStringList>("lines"); // header first

    const QString sw = QStringLiteral("开关量");
    const QString an = QStringLiteral("模拟量");
    const QString ok = QStringLiteral("通信正常");
    const QString lost = QStringLiteral("通信异常");
    const QString alarm = QStringLiteral("告警");
    const QString normal = QStringLiteral("正常");
    const QString time = QStringLiteral("时间:2024-06-15 12:30:05");
    const QStringList switchLines{QStringLiteral("数据类型:开关量"),
                                  QStringLiteral("报警:0000(正常)/FFFF(异常)"), QString(), time};
    const QStringList limits{QStringLiteral("报警下限:10"), QStringLiteral("报警上限:200"), time};
    const QString name = QStringLiteral("浪涌保护器");

    QTest::newRow("switch normal") << sw << ok << normal << Colours::normal
                                   << QStringList{name, QStringLiteral("数据:37")} + switchLines;
    QTest::newRow("switch in alarm") << sw << ok << alarm << Colours::alarm
                                     << QStringList{name + QStringLiteral("[告警]"),
                                                    QStringLiteral("数据:37")} +
                                            switchLines;
    // A failed read hides the stored alarm: the value was not delivered.
    QTest::newRow("lost, stored alarm") << sw << lost << alarm << Colours::commLoss
                                        << QStringList{name, QStringLiteral("数据:???")} + switchLines;
    QTest::newRow("never read") << sw << QString() << QString() << Colours::commLoss
                                << QStringList{name, QStringLiteral("数据:???")} + switchLines;
    QTest::newRow("analogue in alarm")
        << an << ok << alarm << Colours::alarm
        << QStringList{name + QStringLiteral("[告警]"), QStringLiteral("数据:37"),
                       QStringLiteral("数据类型:模拟量")} +
               limits;
    // Only the exact texts count: any other type shows the limits.
    QTest::newRow("other type and alarm text")
        << QStringLiteral("x") << ok << QStringLiteral("告警 ") << Colours::normal
        << QStringList{name, QStringLiteral("数据:37"), QStringLiteral("数据类型:x")} + limits;
}

void DataViewTest::nodeCardShowsState()
{
    QFETCH(QString, dataType);
    QFETCH(QString, communication);
    QFETCH(QString, alarm);
    QFETCH(QColor, colour);
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

    // Both views fill their cards by the same rules.
    TForm1& form = f.form();
    selectNode(form, 6, row.nodeName);
    for (int view = 0; view < 2; ++view) {
        FreeCards(form);
        view == 0 ? ShowNodeView(form, kCreate) : ShowDeviceView(form, kCreate);
        QCOMPARE(f.headerColour(1), colour);
        QCOMPARE(QStringList{f.header(1)->text()} + f.lines(1), lines);
    }
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
    TForm1& form = f.form();
    selectNode(form, 1, QString());
    ShowDeviceView(form, kCreate);
    const QColor expected[] = {Colours::alarm, Colours::commLoss};
    for (int card = 1; card <= 2; ++card) {
        // A pixel at the far right of the header, clear of its text.
        const QImage image = f.header(card)->grab().toImage();
        QCOMPARE(image.pixelColor(image.width() - 3, image.height() / 2), expected[card - 1]);
    }
}

void DataViewTest::deviceViewFillsRowsOfThreeAndScrolls()
{
    DisplayFixture f;
    QStringList nodes;
    for (int i = 13; i >= 1; --i)
        nodes << QStringLiteral("n%1").arg(i, 2, 10, QLatin1Char('0'));
    insertDevice(f.connection(), 8, QStringLiteral("KPV8"), nodes);
    insertDevice(f.connection(), 9, QStringLiteral("KPV9"), {QStringLiteral("a")});
    f.show();
    TForm1& form = f.form();
    selectNode(form, 8, QString());
    ShowDeviceView(form, kCreate);
    QCOMPARE(form.CardCount, 13);
    for (int card = 1; card <= 13; ++card) {
        const int column = (card - 1) % 3;
        const int row = (card - 1) / 3;
        QCOMPARE(f.header(card)->pos(), QPoint(8 + 168 * column, 8 + 130 * row));
        QCOMPARE(f.list(card)->pos(), QPoint(8 + 168 * column, 29 + 130 * row));
        QCOMPARE(f.header(card)->text(), QStringLiteral("n%1").arg(card, 2, 10, QLatin1Char('0')));
    }
    QCOMPARE(f.header(13)->pos(), QPoint(8, 528));
    // The last list ends at 649, below the frame's 600 pixels.
    QVERIFY(form.Frame11->verticalScrollBar()->maximum() > 0);

    // A device that fits leaves nothing to scroll.
    FreeCards(form);
    selectNode(form, 9, QString());
    ShowDeviceView(form, kCreate);
    QCOMPARE(form.Frame11->verticalScrollBar()->maximum(), 0);
    QCOMPARE(form.Frame11->horizontalScrollBar()->maximum(), 0);
}

void DataViewTest::updateRewritesInPlace()
{
    DisplayFixture f;
    insertDevice(f.connection(), 3, QStringLiteral("KPV3"), {QStringLiteral("a"), QStringLiteral("b")});
    TForm1& form = f.form();
    selectNode(form, 3, QStringLiteral("b"));
    ShowDeviceView(form, kCreate);
    const QList<QWidget*> before = f.cardControls();
    QCOMPARE(before.size(), 4);

    f.db().exec(QStringLiteral("UPDATE node_record SET communication_status='通信异常' WHERE node_name='a'"));
    f.db().exec(
        QStringLiteral("UPDATE node_record SET alarm_status='告警', con_data='异常' WHERE node_name='b'"));
    // A node added behind the view's back gets no card from an update.
    insertDevice(f.connection(), 3, QStringLiteral("KPV3"), {QStringLiteral("c")});
    ChildWatch watch(form.Frame11->host());
    ShowDeviceView(form, kUpdate);
    QCOMPARE(watch.added + watch.removed, 0);
    QCOMPARE(f.cardControls(), before);
    QCOMPARE(form.CardCount, 2);
    QCOMPARE(f.headerColour(1), Colours::commLoss);
    QCOMPARE(f.lines(1).at(0), QStringLiteral("数据:???"));
    QCOMPARE(f.headerColour(2), Colours::alarm);
    QCOMPARE(f.header(2)->text(), QStringLiteral("b[告警]"));

    // Back to normal, in the node view: colour and marker go again.
    FreeCards(form);
    ShowNodeView(form, kCreate);
    QLineEdit* header = f.header(1);
    f.db().exec(
        QStringLiteral("UPDATE node_record SET alarm_status='正常', con_data='42' WHERE node_name='b'"));
    watch.added = watch.removed = 0;
    ShowNodeView(form, QStringLiteral("anything but create"));
    QCOMPARE(watch.added + watch.removed, 0);
    QCOMPARE(f.header(1), header);
    QCOMPARE(f.headerColour(1), Colours::normal);
    QCOMPARE(f.header(1)->text(), QStringLiteral("b"));
    QCOMPARE(f.lines(1).at(0), QStringLiteral("数据:42"));
}

void DataViewTest::freeCardsRemovesEveryCard()
{
    DisplayFixture f;
    insertDevice(f.connection(), 3, QStringLiteral("KPV3"), {QStringLiteral("a"), QStringLiteral("b")});
    TForm1& form = f.form();
    selectNode(form, 3, QString());
    ShowDeviceView(form, kCreate);
    FreeCards(form);
    QVERIFY(f.cardControls().isEmpty());
    // CardCount is left for the next create; a second call frees nothing twice
    // and an update with no cards brings none back.
    QCOMPARE(form.CardCount, 2);
    FreeCards(form);
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
    QCOMPARE(f.lines(1), QStringList(5, QString()));
}

QTEST_MAIN(DataViewTest)
#include "DataViewTest.moc"
