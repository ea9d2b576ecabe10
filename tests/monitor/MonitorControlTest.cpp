#include "ModalDriver.h"

#include "display/DataPanel.h"
#include "store/Query.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
struct MonitorFixture : MainWindowFixture
{
    MonitorFixture()
    {
        form->setBus(&bus);
        form->station.line.PortState = u"打开"_s;
        form->periodEdit->setText(u"5"_s);
        form->readPeriodEdit->setText(u"100"_s); // the shortest node read period
        for (int device : {1, 2})
            db.exec(u"INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add, "
                    "con_data_type, node_alarm_type) VALUES (%1, 'KPV%1', '设备状态', 3, 11, '开关量', "
                    "'0000(正常)/FFFF(异常)')"_s.arg(device));
    }

    bool running() const { return form->monitorButton->text() == u"关闭监控"_s; }
};
} // namespace

class MonitorControlTest final : public QObject
{
    Q_OBJECT
private slots:
    // Nothing changes: both periods are checked before anything else.
    void refusedStart_data()
    {
        QTest::addColumn<QString>("portState");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("focused");
        const QString open = u"打开"_s, port = u"请在串口设置中打开串口"_s;
        const QString range = u"节点读取时间范围:100~10000毫秒"_s;
        const QString invalid = u"'%1' is not a valid integer value"_s;
        QTest::newRow("port closed") << u"关闭"_s << 2 << u"200"_s << port << false;
        QTest::newRow("port never set") << QString() << 2 << u"200"_s << port << false;
        QTest::newRow("node read period 99") << open << 2 << u"99"_s << range << true;
        QTest::newRow("node read period 10001") << open << 2 << u"10001"_s << range << true;
        QTest::newRow("node read period 200.5")
            << open << 2 << u"200.5"_s << invalid.arg(u"200.5"_s) << false;
        QTest::newRow("monitoring period 1.5") << open << 1 << u"1.5"_s << invalid.arg(u"1.5"_s) << true;
        QTest::newRow("monitoring period empty") << open << 1 << QString() << invalid.arg(QString()) << true;
        QTest::newRow("monitoring period -5") << open << 1 << u"-5"_s << u"监控周期不能为负数"_s << true;
    }

    void refusedStart()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(bool, focused);
        MonitorFixture f;
        f.showLoggedIn();
        QFETCH(QString, portState);
        f.form->station.line.PortState = portState;
        f.form->station.selection.SelectedKind = u"设备"_s;
        f.form->viewCaption->setText(u"KPV1[地址:1]"_s);
        QLineEdit* edit = field == 1 ? f.form->periodEdit : f.form->readPeriodEdit;
        edit->setText(text);
        f.form->toggleMonitoring();
        QTEST(MessageBox::takeShown().join(u'\n'), "message");
        QVERIFY(!f.running() && !f.station.polling() && f.form->periodEdit->isEnabled());
        QCOMPARE(f.form->station.selection.SelectedKind + f.form->viewCaption->text(), u"设备KPV1[地址:1]"_s);
        QCOMPARE(f.db.count(u"soft_record"_s), 0);
        if (focused)
            QCOMPARE(QApplication::focusWidget(), edit);
    }

    void startAndStop()
    {
        MonitorFixture f;
        f.db.addSettings(u"T"_s, 1, 1000);
        f.form->station.selection.SelectedKind = u"节点"_s;
        f.form->periodEdit->setText(u"30 "_s); // pasted with a blank
        f.form->readPeriodEdit->setText(u"10000"_s);
        f.form->toggleMonitoring();
        QVERIFY(f.running());
        QVERIFY(f.step() && f.step()); // the pass ends in the pause converted at start
        QVERIFY(MessageBox::takeShown().isEmpty());
        // Countdown, selection, cards (one per device), rows, status, timer, enabled fields, settings.
        const auto dump = [&f]() {
            MainWindow& w = *f.form;
            QString text;
            QTextStream(&text) << w.station.poll.Countdown << ' ' << w.station.selection.SelectedKind << ' '
                               << w.viewCaption->text() << ' ' << w.panel().CardCount << ' '
                               << w.station.scopeRowIds().size() << ' '
                               << w.statusText(StatusPanel::kMonitoring) << ' ' << w.station.readPeriod()
                               << ' ' << w.periodEdit->isEnabled() << w.serialButton->isEnabled() << ' '
                               << tableText(f.db, u"soft_name||'|'||moniter_time||'|'||node_read_time"_s,
                                            u"soft_record"_s);
            return text;
        };
        QCOMPARE(dump(), u"30 监控系统 系统数据 2 2 已经启动监控 10000 00 T|30|10000"_s);

        f.form->station.line.PortState = u"关闭"_s; // stopping needs the port open too
        f.form->toggleMonitoring();
        QCOMPARE(MessageBox::takeShown(), QStringList{u"请在串口设置中打开串口"_s});
        QVERIFY(f.running());
        f.form->station.line.PortState = u"打开"_s;
        f.form->station.poll.Countdown = 4;
        f.form->toggleMonitoring();
        QVERIFY(!f.running());
        QCOMPARE(dump(), u"0 监控系统 系统数据 2 2 未启动监控 0 11 T|30|10000"_s);
    }

    // Another program holds the file: the start cannot be recorded, and the
    // monitoring period stays open to input.
    void lockedFileStart()
    {
        MonitorFixture f;
        Connection other(u"other"_s);
        other.open(f.db.path());
        QSqlQuery hold(other.database());
        QVERIFY(hold.exec(u"BEGIN IMMEDIATE"_s));
        f.form->toggleMonitoring();
        QCOMPARE(MessageBox::takeShown(), QStringList{u"database is locked"_s});
        QVERIFY(!f.running() && !f.station.polling() && f.form->periodEdit->isEnabled());
        QVERIFY(hold.exec(u"COMMIT"_s));
    }

    void countdownTexts()
    {
        MonitorFixture f;
        f.form->toggleMonitoring();
        QStringList texts;
        for (int tick = 0; tick < 5; ++tick) {
            if (tick == 1)
                f.form->station.poll.Countdown = 3;
            f.form->countdownTick();
            texts << f.form->statusText(StatusPanel::kCountdown);
        }
        QCOMPARE(texts.join(u'|'), u"正在读取设备数据|读取设备数据倒计时:2秒|读取设备数据倒计时:1秒|"
                                   "读取设备数据倒计时:0秒|正在读取设备数据"_s);

        // Stopped during a pause: the panel empties at the next second.
        f.form->station.poll.Countdown = 3;
        f.form->toggleMonitoring();
        f.form->countdownTick();
        QCOMPARE(f.form->statusText(StatusPanel::kCountdown), QString());
    }

    // Another program holds the file: each tick gives up within a second, one
    // box reports it while polling goes on, and the node is read again.
    void lockedFileReportsOnceAndPollingGoesOn()
    {
        MonitorFixture f;
        f.station.holdPace(true); // the test ticks by hand while waiting for each step
        f.form->toggleMonitoring();
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setDatabaseName(f.db.path());
        QVERIFY(other.open());
        QSqlQuery hold(other);
        QVERIFY(hold.exec(u"BEGIN IMMEDIATE"_s));
        QVERIFY(f.step() && f.step());
        QVERIFY(hold.exec(u"COMMIT"_s));
        QVERIFY(f.step() && f.step());
        QCOMPARE(MessageBox::takeShown(), QStringList{u"database is locked"_s});
        QList<int> slaves;
        for (const ScriptedBus::Call& call : f.bus.calls)
            slaves << call.slave;
        QCOMPARE(slaves, (QList<int>{1, 1, 1, 2}));
        QSqlQuery read(u"SELECT COUNT(*) FROM node_record WHERE read_time IS NOT NULL"_s,
                       f.db.connection().database());
        QVERIFY(read.next());
        QCOMPARE(read.value(0).toInt(), 2);
    }
};

QTEST_MAIN(MonitorControlTest)
#include "MonitorControlTest.moc"
