// The whole monitoring path with the real link library against the bus
// simulator on a pseudo-terminal or behind each kind of network gateway: log
// in, open the port in the serial dialog, start monitoring on the real timers,
// break the devices (and the gateway), check the tables; in line mode too,
// with device 1 refusing ranges.
#include "KpvSim.h"
#include "MainWindowFixture.h"

#include "display/DataPanel.h"
#include "link/SerialDialog.h"
#include "monitor/BusDiagnosticsDialog.h"
#include "monitor/PollPacer.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class EndToEndTest final : public QObject
{
    Q_OBJECT
private slots:
    void abnormalAndSilentDevicesAreRecorded_data();
    void abnormalAndSilentDevicesAreRecorded();
};

void EndToEndTest::abnormalAndSilentDevicesAreRecorded_data()
{
    QTest::addColumn<QString>("kind"); // of the port: a pty, else a gateway named in ports.conf
    QTest::addColumn<bool>("lineMode");
    for (const char* kind : {"pty", "rtu-over-tcp", "modbus-tcp"})
        QTest::newRow(kind) << QString::fromLatin1(kind) << false;
    QTest::newRow("pty, line mode") << u"pty"_s << true;
    QTest::newRow("modbus-tcp, line mode") << u"modbus-tcp"_s << true;
}

void EndToEndTest::abnormalAndSilentDevicesAreRecorded()
{
    QFETCH(QString, kind);
    QFETCH(bool, lineMode);
    constexpr int kPort = 201;
    QTemporaryDir portDir;
    QVERIFY(portDir.isValid());
    qputenv("SPDMON_PORT_DIR", portDir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", portDir.path().toLocal8Bit());
    if (lineMode)
        QSettings(PollPacer::settingsPath(), QSettings::IniFormat).setValue(u"poll/pace"_s, u"line"_s);
    MainWindowFixture f;
    f.db.addUser(u"op"_s, u"pw"_s, u"普通用户"_s);
    f.db.exec(u"INSERT INTO soft_record VALUES ('E2E', %1, 9600, 8, 1, 'n', 0, 100)"_s.arg(kPort));
    for (int device = 1; device <= 3; ++device)
        f.db.exec(u"INSERT INTO node_record (device_id, device_name, node_code, node_alarm_type, node_name, "
                  "node_reg_add, con_data_type, node_data_lower, node_data_upper) VALUES "
                  "(%1, 'KPV%1', 3, '%2', '设备状态', 11, '开关量', 0, 65535), "
                  "(%1, 'KPV%1', 3, '%2', '浪涌保护器', 9, '开关量', 0, 65535), "
                  "(%1, 'KPV%1', 3, '%2', '浪涌次数', 5, '模拟量', 0, 3)"_s.arg(QString::number(device),
                                                                                u"0000(正常)/FFFF(异常)"_s));
    const QString settingsSql =
        u"SELECT soft_name || '|' || com_num || '|' || com_baud || '|' || com_data_bit || "
        "'|' || com_stop_bit || '|' || com_parity || '|' || moniter_time || '|' || "
        "node_read_time FROM soft_record"_s;
    const QStringList settings = f.db.column(settingsSql);

    KpvSim sim;
    if (kind == u"pty"_s) {
        QVERIFY2(sim.start(kPort, {1, 2, 3}), "kpv-sim did not start");
    } else {
        const quint16 tcpPort = sim.startGateways({1, 2, 3}).value(kind);
        QFile conf(portDir.filePath(u"spdmon/ports.conf"_s));
        QVERIFY2(tcpPort && QDir(portDir.path()).mkpath(u"spdmon"_s) && conf.open(QIODevice::WriteOnly),
                 "no gateway");
        conf.write(u"COM%1 = %2 127.0.0.1:%3\n"_s.arg(kPort).arg(kind).arg(tcpPort).toUtf8());
    }
    QVERIFY(sim.command(u"strict 1"_s));

    f.logInAndOpenPort(u"op"_s, u"pw"_s);
    QCOMPARE(f.form->statusText(StatusPanel::kPort), u"串口%1:打开"_s.arg(kPort));

    // Start: the first pass reads every node and finds all normal.
    f.form->toggleMonitoring();
    QCOMPARE(!f.form->findChild<QLabel*>(u"lineModeLabel"_s)->isHidden(), lineMode);
    const QString normalSql = u"SELECT COUNT(*) FROM node_record WHERE alarm_status='正常' "
                              "AND communication_status='通信正常'"_s;
    QTRY_COMPARE_WITH_TIMEOUT(f.db.column(normalSql), QStringList{u"9"_s}, 20000);

    // A gateway switched off takes every device with it: the loss is confirmed
    // as on a cut cable. Switched on, the port connects again by itself.
    if (kind != u"pty"_s) {
        const QString lossSql =
            u"SELECT device_id || state FROM alarm_state WHERE node_name = '' ORDER BY device_id"_s;
        const auto losses = [](const QString& state) {
            return QStringList{"1" + state, "2" + state, "3" + state};
        };
        QVERIFY(sim.command(u"gateway down"_s));
        QTRY_COMPARE_WITH_TIMEOUT(
            f.db.column(u"SELECT COUNT(*) FROM node_record WHERE communication_status='通信异常'"_s),
            QStringList{u"9"_s}, 20000);
        QCOMPARE(f.db.column(lossSql), losses(u"active_unacknowledged"_s));
        QTRY_COMPARE(f.form->panel().CardHeaders[0]->palette().color(QPalette::Base), QColor(255, 255, 0));
        QVERIFY(sim.command(u"gateway up"_s));
        QTRY_COMPARE_WITH_TIMEOUT(f.db.column(lossSql), losses(u"returned_unacknowledged"_s), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(f.db.column(normalSql), QStringList{u"9"_s}, 20000);
    }

    QVERIFY(sim.command(u"abnormal 2"_s));
    QVERIFY(sim.command(u"silent 3"_s));
    QVERIFY(sim.command(u"surge 1 4"_s));
    // A silent device keeps its last readings.
    const QString nodeSql =
        u"SELECT device_id || '|' || node_name || '|' || communication_status || '|' || "
        "alarm_status || '|' || con_data || '|' || node_data FROM node_record ORDER BY rowid"_s;
    const QStringList expected{
        u"1|设备状态|通信正常|正常|正常|0"_s,       u"1|浪涌保护器|通信正常|正常|正常|0"_s,
        u"1|浪涌次数|通信正常|告警|4|4"_s,          u"2|设备状态|通信正常|告警|异常|65535"_s,
        u"2|浪涌保护器|通信正常|告警|异常|65535"_s, u"2|浪涌次数|通信正常|正常|0|0"_s,
        u"3|设备状态|通信异常|正常|正常|0"_s,       u"3|浪涌保护器|通信异常|正常|正常|0"_s,
        u"3|浪涌次数|通信异常|正常|0|0"_s};
    QTRY_COMPARE_WITH_TIMEOUT(f.db.column(nodeSql), expected, 30000);
    // The overview follows: alarm red, communication loss yellow.
    QTRY_COMPARE(f.form->panel().CardHeaders[1]->palette().color(QPalette::Base), QColor(231, 0, 0));
    QTRY_COMPARE(f.form->panel().CardHeaders[2]->palette().color(QPalette::Base), QColor(255, 255, 0));
    const qint64 before = f.form->diagnosticsDialog->counters(2).requests;
    QTest::qWait(1500); // a few more passes: nothing is logged twice
    // At the line's pace device 2 is asked every pass, not once in four tenths of a second.
    QVERIFY(!lineMode || f.form->diagnosticsDialog->counters(2).requests - before > 8);
    f.form->toggleMonitoring(); // stop

    QVERIFY2(MessageBox::takeShown().isEmpty(), "no error box may have appeared");
    QCOMPARE(f.db.column(u"SELECT 告警纪录 FROM alarm_record ORDER BY 告警纪录"_s),
             (QStringList{u"KPV1[1];  浪涌次数:4;  信息:超限告警"_s, u"KPV2[2];  浪涌保护器:异常"_s,
                          u"KPV2[2];  设备状态:异常"_s}));
    QCOMPARE(f.form->alarmLogGrid->model()->rowCount(), 3);
    const QAbstractItemModel* counters = f.form->diagnosticsDialog->countersGrid->model();
    QCOMPARE(counters->match(counters->index(0, 12), Qt::DisplayRole, u"逐点读取"_s).size(), int(lineMode));
    // Nothing else written.
    QCOMPARE(f.db.column(nodeSql), expected);
    QCOMPARE(f.db.column(u"SELECT COUNT(*) FROM node_record WHERE read_time IS NULL"_s), QStringList{u"0"_s});
    QCOMPARE(f.db.column(settingsSql), settings);
    QCOMPARE(f.db.count(u"dd_user"_s), 1);

    f.form->serialDialog->closePort();
}

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
