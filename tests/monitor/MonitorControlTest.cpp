#include "MainWindowFixture.h"
#include "ScriptedBus.h"

#include "store/Query.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {
struct MonitorFixture : MainWindowFixture
{
    MonitorFixture()
    {
        form->setBus(&bus);
        form->state.PortState = QStringLiteral("打开");
        form->Edit1->setText(QStringLiteral("5"));
        form->Edit2->setText(QStringLiteral("200"));
        for (int device : {1, 2}) {
            for (const char* node : {"设备状态", "浪涌保护器"}) {
                db.exec(
                    QStringLiteral("INSERT INTO node_record (device_id, device_name, node_name, node_code, "
                                   "node_reg_add, con_data_type, node_data_lower, node_data_upper, "
                                   "node_alarm_type, install_date) VALUES (%1, 'KPV%1', '%2', 3, 11, "
                                   "'开关量', 0, 65535, '0000(正常)/FFFF(异常)', '2026-01-01 00:00:00')")
                        .arg(device)
                        .arg(QString::fromUtf8(node)));
            }
        }
    }

    bool running() const { return form->BitBtn4->text() == QStringLiteral("关闭监控"); }

    ScriptedBus bus;
};
} // namespace

class MonitorControlTest final : public QObject
{
    Q_OBJECT
private slots:
    void refusedWhilePortNotOpen_data();
    void refusedWhilePortNotOpen();
    void nodeReadPeriodRange_data();
    void nodeReadPeriodRange();
    void badPeriodChangesNothing_data();
    void badPeriodChangesNothing();
    void startSwitchesToSystemAndStoresPeriods();
    void stopRestoresControls();
    void countdownTexts();
    void pollTimerReadsThroughTheBusAndRefreshesTheOverview();
    void restartAfterAlarmCommandEnablesControls();
    void failingStepReportsOnceWithoutNestedSteps();
};

void MonitorControlTest::refusedWhilePortNotOpen_data()
{
    QTest::addColumn<QString>("portState");
    QTest::newRow("closed") << "关闭";
    QTest::newRow("failed") << "失败";
    QTest::newRow("never set") << "";
}

void MonitorControlTest::refusedWhilePortNotOpen()
{
    QFETCH(QString, portState);
    MonitorFixture f;
    f.form->state.PortState = portState;
    f.form->BitBtn4Click();
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("请在串口设置中打开串口")});
    QVERIFY(!f.running());
    QVERIFY(!f.form->Timer1->isActive());
    // Also when it runs: stopping needs the port open too.
    f.form->BitBtn4->setText(QStringLiteral("关闭监控"));
    f.form->Timer1->start();
    f.form->BitBtn4Click();
    QVERIFY(f.form->Timer1->isActive());
}

void MonitorControlTest::nodeReadPeriodRange_data()
{
    QTest::addColumn<QString>("period");
    QTest::addColumn<bool>("starts");
    QTest::newRow("100") << "100" << true;
    QTest::newRow("10000") << "10000" << true;
    QTest::newRow("99") << "99" << false;
    QTest::newRow("10001") << "10001" << false;
}

void MonitorControlTest::nodeReadPeriodRange()
{
    QFETCH(QString, period);
    QFETCH(bool, starts);
    MonitorFixture f;
    f.showLoggedIn();
    f.form->Edit2->setText(period);
    f.form->BitBtn4Click();
    QCOMPARE(f.running(), starts);
    QCOMPARE(f.form->Timer1->isActive(), starts);
    if (starts) {
        QCOMPARE(f.form->Timer1->interval(), period.toInt());
        QVERIFY(MessageBox::takeShown().isEmpty());
    } else {
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("节点读取时间范围:100~10000毫秒")});
        QCOMPARE(QApplication::focusWidget(), f.form->Edit2);
        QVERIFY(f.form->Edit1->isEnabled());
        QCOMPARE(f.db.count(QStringLiteral("soft_record")), 0);
    }
}

void MonitorControlTest::badPeriodChangesNothing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("monitoring period with a dot") << "Edit1"
                                                  << "1.5";
    QTest::newRow("monitoring period empty") << "Edit1"
                                             << "";
    QTest::newRow("node read period with a dot") << "Edit2"
                                                 << "200.5";
    QTest::newRow("node read period empty") << "Edit2"
                                            << "";
}

void MonitorControlTest::badPeriodChangesNothing()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    MonitorFixture f;
    f.showLoggedIn();
    f.form->state.SelectedKind = QStringLiteral("设备");
    f.form->StaticText3->setText(QStringLiteral("KPV1[地址:1]"));
    auto* edit = f.form->findChild<QLineEdit*>(field);
    edit->setText(text);
    f.form->BitBtn4Click();
    QCOMPARE(MessageBox::takeShown(),
             QStringList{QStringLiteral("'%1' is not a valid integer value").arg(text)});
    QVERIFY(!f.running());
    QVERIFY(f.form->Edit1->isEnabled());
    QVERIFY(f.form->BitBtn3->isEnabled());
    QCOMPARE(f.form->state.SelectedKind, QStringLiteral("设备"));
    QCOMPARE(f.form->StaticText3->text(), QStringLiteral("KPV1[地址:1]"));
    QCOMPARE(f.db.count(QStringLiteral("soft_record")), 0);
    if (field == QStringLiteral("Edit1"))
        QCOMPARE(QApplication::focusWidget(), edit);
}

void MonitorControlTest::startSwitchesToSystemAndStoresPeriods()
{
    MonitorFixture f;
    f.db.addSettings(QStringLiteral("T"), 1, 1000);
    f.form->state.SelectedKind = QStringLiteral("节点");
    f.form->Edit1->setText(QStringLiteral("30"));
    f.form->Edit2->setText(QStringLiteral("250"));
    f.form->BitBtn4Click();
    QVERIFY(f.running());
    QCOMPARE(f.form->state.SelectedKind, QStringLiteral("监控系统"));
    QCOMPARE(f.form->StaticText3->text(), QStringLiteral("系统数据"));
    QCOMPARE(f.form->CardCount, 2); // one card per device
    QCOMPARE(f.form->ADOQuery3->recordCount(), 4);
    QCOMPARE(f.form->ADOQuery3->recNo(), 0);
    QVERIFY(!f.form->Edit1->isEnabled());
    QVERIFY(!f.form->BitBtn3->isEnabled());
    QVERIFY(f.form->Edit2->isEnabled());
    QCOMPARE(f.form->statusText(2), QStringLiteral("已经启动监控"));
    QCOMPARE(f.form->Timer1->interval(), 250);
    QSqlQuery q(f.db.connection().database());
    QVERIFY(q.exec(QStringLiteral("SELECT moniter_time, node_read_time, soft_name FROM soft_record")) &&
            q.next());
    QCOMPARE(q.value(0).toInt(), 30);
    QCOMPARE(q.value(1).toInt(), 250);
    QCOMPARE(q.value(2).toString(), QStringLiteral("T"));
    QVERIFY(!q.next());
}

void MonitorControlTest::stopRestoresControls()
{
    MonitorFixture f;
    f.form->BitBtn4Click();
    QVERIFY(f.running());
    QCOMPARE(f.db.count(QStringLiteral("soft_record")), 1); // an empty table gets a row
    f.form->state.Countdown = 4;
    f.form->BitBtn4Click();
    QVERIFY(!f.running());
    QCOMPARE(f.form->state.Countdown, 0);
    QVERIFY(f.form->Edit1->isEnabled());
    QVERIFY(f.form->BitBtn3->isEnabled());
    QVERIFY(!f.form->Timer1->isActive());
    QCOMPARE(f.form->statusText(2), QStringLiteral("未启动监控"));
}

void MonitorControlTest::countdownTexts()
{
    MonitorFixture f;
    f.form->setStatusText(3, QStringLiteral("x"));
    f.form->Timer2Timer();
    QCOMPARE(f.form->statusText(3), QString());

    f.form->BitBtn4Click();
    f.form->Timer2Timer();
    QCOMPARE(f.form->statusText(3), QStringLiteral("正在读取设备数据"));
    f.form->state.Countdown = 3;
    f.form->Timer2Timer();
    QCOMPARE(f.form->statusText(3), QStringLiteral("读取设备数据倒计时:2秒"));
    f.form->Timer2Timer();
    f.form->Timer2Timer();
    QCOMPARE(f.form->statusText(3), QStringLiteral("读取设备数据倒计时:0秒"));
    QCOMPARE(f.form->state.Countdown, 0);
    f.form->Timer2Timer();
    QCOMPARE(f.form->statusText(3), QStringLiteral("正在读取设备数据"));

    // Stopped during a pause: the panel empties at the next second.
    f.form->state.Countdown = 3;
    f.form->BitBtn4Click();
    f.form->Timer2Timer();
    QCOMPARE(f.form->statusText(3), QString());
}

void MonitorControlTest::pollTimerReadsThroughTheBusAndRefreshesTheOverview()
{
    MonitorFixture f;
    f.form->state.ComNum = 12;
    f.bus.answer(2, 0xFFFF);
    f.form->BitBtn4Click();
    for (int i = 0; i < 4; ++i)
        f.form->Timer1Timer();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(f.bus.calls.size(), 4);
    QCOMPARE(f.bus.calls.first().port, 12);
    // Device 2's first node read abnormal: held on it, device 1 read through.
    QCOMPARE(f.bus.calls.at(2).slave, 2);
    QCOMPARE(f.bus.calls.at(3).slave, 2);
    QCOMPARE(f.form->state.AlarmConfirmCount, 2);
    f.form->Timer1Timer();
    QCOMPARE(f.form->DBGrid1->model()->rowCount(), 1);
    QCOMPARE(f.form->DBGrid1->model()->index(0, 1).data().toString(),
             QStringLiteral("KPV2[2];  浪涌保护器:异常"));
    // Device 2's other node, never read yet, keeps its header yellow; once it
    // answers, the node in alarm turns it red, without new controls.
    QCOMPARE(f.form->CardHeaders[1]->palette().color(QPalette::Base), QColor(255, 255, 0));
    f.bus.queue(2, 0);
    f.form->Timer1Timer();
    QCOMPARE(f.form->CardCount, 2);
    const QPalette palette = f.form->CardHeaders[1]->palette();
    QCOMPARE(palette.color(QPalette::Base), QColor(231, 0, 0));
}

void MonitorControlTest::restartAfterAlarmCommandEnablesControls()
{
    MonitorFixture f;
    f.form->state.LoggedInPermission = QStringLiteral("管理员");
    f.form->BitBtn4Click();
    whenModalOpens([](QDialog*) {});
    f.form->BitBtn5Click();
    QVERIFY(!f.running());
    QVERIFY(!f.form->BitBtn3->isEnabled());
    QVERIFY(!f.form->Edit1->isEnabled());
    f.form->BitBtn4Click();
    QVERIFY(f.running());
    f.form->BitBtn4Click();
    QVERIFY(f.form->BitBtn3->isEnabled());
    QVERIFY(f.form->Edit1->isEnabled());
}

void MonitorControlTest::failingStepReportsOnceWithoutNestedSteps()
{
    // The poll timer fires inside the error box's event loop; here the nested
    // tick comes from inside the failing step itself.
    MonitorFixture f;
    f.form->BitBtn4Click();
    f.db.exec(QStringLiteral("CREATE TRIGGER readonly BEFORE UPDATE ON node_record "
                             "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"));
    struct NestingBus final : FieldBus
    {
        TForm1* form = nullptr;
        int reads = 0;
        int comOpen(int, int, int, const QByteArray&, int) override { return 1; }
        void setDelay(int) override {}
        int comWork(int) override { return 0; }
        int fcn03(int, int, int, int, int*) override
        {
            if (++reads == 1)
                form->Timer1Timer();
            return 1;
        }
        int fcn04(int, int, int, int, int*) override { return 1; }
        void comClose(int) override {}
    } bus;
    bus.form = f.form.get();
    f.form->setBus(&bus);
    f.form->Timer1Timer();
    QCOMPARE(bus.reads, 1);
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("disk I/O error")});
    // The next tick tries again.
    f.form->Timer1Timer();
    QCOMPARE(bus.reads, 2);
}

QTEST_MAIN(MonitorControlTest)
#include "MonitorControlTest.moc"
