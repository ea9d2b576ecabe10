// The system overview on its widgets: one card per device, header colours,
// lines, and refreshes in place. What each card holds is checked in
// DisplayLogicTest.
#include "DisplayFixture.h"

#include "display/Cards.h"
#include "display/SystemView.h"
#include "store/Clock.h"

class SystemViewTest final : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Clock::setFixed(QDateTime()); }

    void cardsByAddressUpdatedInPlace()
    {
        const QDateTime now(QDate(2024, 6, 15), QTime(12, 0));
        Clock::setFixed(now);
        DisplayFixture f;
        const auto add = [&f, &now](int device, const QString& name, const QString& alarm = "正常") {
            NodeRow row{device, QString("KPV%1").arg(device), name, "5"};
            row.installDate = now.addDays(-365);
            row.readTime = now;
            row.alarm = alarm;
            row.communication = device == 12 ? "通信异常" : "通信正常";
            insertNode(f.connection(), row);
        };
        for (const QString& name : texts("c|a|b"))
            add(30, name);
        add(12, "x");
        for (const QString& name : texts("设备状态|浪涌保护器|浪涌次数"))
            add(7, name);
        f.db.exec("INSERT INTO surge_event (device_id, event_time, count_before, count_after, surges, kind) "
                  "VALUES (7, '2024-05-17 12:00:00', 0, 3, 3, 'surge'), (7, '2024-05-15 12:00:00', 0, 5, 5, "
                  "'surge')");
        MainWindow& form = *f.form;
        ShowSystemView(form.panel(), "创建");
        const QList<QWidget*> before = f.cardControls();
        QCOMPARE(before.size(), 6);
        const auto card = [&f](int n) { return QStringList{f.header(n)->text()} + f.lines(n); };
        QCOMPARE(card(1), texts("KPV7[地址:7]|浪涌保护器:5|浪涌次数:5|设备状态:5|设备剩余寿命:80%\n"
                                "近30天浪涌:3|2024-06-15 12:00:00"));
        QCOMPARE(card(2), texts("KPV12[地址:12]|x:???|设备剩余寿命:80%|2024-06-15 12:00:00"));
        QCOMPARE(card(3), texts("KPV30[地址:30]|a:5|b:5|c:5|设备剩余寿命:80%|2024-06-15 12:00:00"));
        QCOMPARE((QList<QColor>{f.headerColour(1), f.headerColour(2), f.headerColour(3)}),
                 (QList<QColor>{Colours::normal, Colours::commLoss, Colours::normal}));

        f.db.exec("UPDATE node_record SET alarm_status='告警', con_data='9' WHERE node_name='浪涌次数'");
        f.db.exec("UPDATE node_record SET communication_status='通信正常' WHERE device_id=12");
        add(40, "a", "告警"); // a device added since the create gets no card from an update
        Clock::setFixed(now.addDays(365));
        ChildWatch watch(form.cardFrame->host());
        ShowSystemView(form.panel(), "更新");
        QCOMPARE(watch.changes, 0);
        QCOMPARE(f.cardControls(), before);
        QCOMPARE(form.panel().CardCount, 3);
        QCOMPARE(card(1), texts("KPV7[地址:7]|浪涌保护器:5|浪涌次数:9(告警)|设备状态:5|设备剩余寿命:60%|2024-"
                                "06-15 12:00:00"));
        QCOMPARE(card(2).at(1), "x:5");
        // Every refresh starts from green: a recovered device loses its colour.
        QCOMPARE((QList<QColor>{f.headerColour(1), f.headerColour(2)}),
                 (QList<QColor>{Colours::alarm, Colours::normal}));
    }

    // The longest names a device may have (20 bytes of the Chinese code page),
    // marked unacknowledged, with a count in every line: all of it in sight.
    void longestTextsFitTheirCards_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("ten Chinese characters") << "配电室一号楼东侧机柜";
        QTest::newRow("twenty letters") << "Distribution Room 12";
    }
    void longestTextsFitTheirCards()
    {
        QFETCH(QString, name);
        DisplayFixture f;
        for (const QString& node : texts("设备状态|浪涌保护器|浪涌次数")) {
            NodeRow row{247, name, node, "65535"};
            row.alarm = "告警";
            row.installDate = row.readTime = QDateTime::currentDateTime();
            insertNode(f.connection(), row);
        }
        f.db.exec("INSERT INTO surge_event (device_id, event_time, count_before, count_after, surges, kind) "
                  "VALUES (247, datetime('now', 'localtime', '-1 day'), 0, 65535, 65535, 'surge')");
        MainWindow& form = *f.form;
        ShowSystemView(form.panel(), "创建");
        Cards::setUnacknowledgedMark(form.panel(), 1, true);
        const QLineEdit* header = f.header(1);
        QCOMPARE(header->text(), name + "[地址:247]");
        QVERIFY(header->font().pointSizeF() >= 7);
        // QLineEdit keeps two pixels either side of its text.
        QVERIFY2(QFontMetrics(header->font()).horizontalAdvance(header->text()) <= header->width() - 4,
                 qPrintable(header->font().toString()));
        const QWidget* mark = form.cardFrame->host()->findChild<QWidget*>("unacknowledgedMark");
        QVERIFY(mark && !mark->isHidden() && !mark->geometry().intersects(header->geometry()));
        QVERIFY(QFontMetrics(mark->font()).horizontalAdvance("未确认") <= mark->contentsRect().width());
        const QListWidget* list = f.list(1);
        QVERIFY(list->item(3)->text().endsWith("近30天浪涌:65535"));
        for (int i = 0; i < list->count(); ++i) {
            QVERIFY(list->visualItemRect(list->item(i)).bottom() < list->viewport()->height());
            for (const QString& line : list->item(i)->text().split('\n'))
                QVERIFY2(QFontMetrics(list->font()).horizontalAdvance(line) < list->viewport()->width() - 4,
                         qPrintable(line));
        }
    }
};

QTEST_MAIN(SystemViewTest)
#include "SystemViewTest.moc"
