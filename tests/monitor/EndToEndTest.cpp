// The whole monitoring path with the real link library against the bus
// simulator on a pseudo-terminal: log in, open the port in the serial dialog,
// start monitoring on the real timers, break two devices, check the tables.
#include "KpvSim.h"
#include "MainWindowFixture.h"

#include "link/TForm6.h"
#include "store/Query.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int kPort = 201;

const char* const kNodes[][5] = {
    // node_name, node_reg_add, con_data_type, lower, upper
    {"设备状态", "11", "开关量", "0", "65535"},
    {"浪涌保护器", "9", "开关量", "65535", "65535"},
    {"浪涌次数", "5", "模拟量", "0", "65535"},
};
} // namespace

class EndToEndTest final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void abnormalAndSilentDevicesAreRecorded();

private:
    QTemporaryDir m_portDir;
};

void EndToEndTest::initTestCase()
{
    QVERIFY(m_portDir.isValid());
    qputenv("SPDMON_PORT_DIR", m_portDir.path().toLocal8Bit());
}

void EndToEndTest::abnormalAndSilentDevicesAreRecorded()
{
    MainWindowFixture f;
    TestDatabase& db = f.db;
    db.addUser(QStringLiteral("op"), QStringLiteral("pw"), QStringLiteral("普通用户"));
    db.exec(QStringLiteral("INSERT INTO soft_record VALUES ('E2E', %1, 9600, 8, 1, 'n', 0, 100)").arg(kPort));
    for (int device = 1; device <= 3; ++device) {
        for (const auto& node : kNodes) {
            db.exec(
                QStringLiteral("INSERT INTO node_record (device_id, device_name, node_name, node_code, "
                               "node_reg_add, con_data_type, node_data_lower, node_data_upper, "
                               "node_alarm_type, install_date) VALUES (%1, 'KPV%1', '%2', 3, %3, '%4', %5, "
                               "%6, '0000(正常)/FFFF(异常)', '2026-01-01 00:00:00')")
                    .arg(device)
                    .arg(QString::fromUtf8(node[0]), QString::fromUtf8(node[1]), QString::fromUtf8(node[2]),
                         QString::fromUtf8(node[3]), QString::fromUtf8(node[4])));
        }
    }

    KpvSim sim;
    QVERIFY2(sim.start(kPort, {1, 2, 3}), "kpv-sim did not start");

    // Log in.
    f.form->Form2->Edit1->setText(QStringLiteral("op"));
    f.form->Form2->Edit2->setText(QStringLiteral("pw"));
    f.form->Form2->Button1Click();
    QCOMPARE(f.form->state.ComNum, kPort);
    f.showLoggedIn();

    // Open the port with the stored settings, as the dialog shows them.
    f.form->Form6->FormShow();
    QCOMPARE(f.form->Form6->ComboBox1->currentText(), QString::number(kPort));
    f.form->Form6->BitBtn1Click();
    QCOMPARE(f.form->state.PortState, QStringLiteral("打开"));
    QCOMPARE(f.form->statusText(1), QStringLiteral("串口%1:打开").arg(kPort));

    // Start: the first pass reads every node and finds all normal.
    f.form->BitBtn4Click();
    QCOMPARE(f.form->BitBtn4->text(), QStringLiteral("关闭监控"));
    const auto countWhere = [&db](const QString& condition) {
        QSqlQuery q(db.connection().database());
        q.exec(QStringLiteral("SELECT COUNT(*) FROM node_record WHERE ") + condition);
        return q.next() ? q.value(0).toInt() : -1;
    };
    QTRY_COMPARE_WITH_TIMEOUT(countWhere(QStringLiteral("alarm_status='正常'")), 9, 20000);
    QCOMPARE(countWhere(QStringLiteral("communication_status='通信正常'")), 9);
    QCOMPARE(db.count(QStringLiteral("alarm_record")), 0);

    QVERIFY(sim.command(QStringLiteral("abnormal 2")));
    QVERIFY(sim.command(QStringLiteral("silent 3")));
    QVERIFY(sim.command(QStringLiteral("surge 1 4")));

    QTRY_COMPARE_WITH_TIMEOUT(countWhere(QStringLiteral("device_id=3 AND communication_status='通信异常'")),
                              3, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(countWhere(QStringLiteral("device_id=2 AND alarm_status='告警'")), 2, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(
        countWhere(QStringLiteral("device_id=1 AND node_name='浪涌次数' AND con_data='4'")), 1, 30000);
    // A few more passes: nothing is logged twice.
    QTest::qWait(1500);
    f.form->BitBtn4Click();
    QCOMPARE(f.form->BitBtn4->text(), QStringLiteral("启动监控"));

    QVERIFY2(MessageBox::takeShown().isEmpty(), "no error box may have appeared");
    QSqlQuery q(db.connection().database());
    QVERIFY(q.exec(QStringLiteral("SELECT 告警纪录 FROM alarm_record ORDER BY 告警纪录")));
    QStringList records;
    while (q.next())
        records << q.value(0).toString();
    QCOMPARE(records, (QStringList{QStringLiteral("KPV2[2];  浪涌保护器:异常"),
                                   QStringLiteral("KPV2[2];  设备状态:异常")}));
    QCOMPARE(f.form->DBGrid1->model()->rowCount(), 2);

    // Device 2 answers: values and communication stay normal, its surge count normal.
    QCOMPARE(countWhere(QStringLiteral("device_id=2 AND communication_status='通信正常'")), 3);
    QCOMPARE(countWhere(QStringLiteral("device_id=2 AND node_name='浪涌次数' AND alarm_status='正常'")), 1);
    QCOMPARE(countWhere(QStringLiteral("device_id=2 AND con_data='异常' AND node_data=65535")), 2);
    // Device 3 lost communication but keeps its last readings.
    QCOMPARE(countWhere(QStringLiteral("device_id=3 AND alarm_status='正常'")), 3);
    QCOMPARE(
        countWhere(QStringLiteral("device_id=1 AND alarm_status='正常' AND communication_status='通信正常'")),
        3);
    QCOMPARE(countWhere(QStringLiteral("read_time IS NULL")), 0);

    // Nothing else written: the rows are the same ones, the settings row keeps its values.
    QCOMPARE(db.count(QStringLiteral("node_record")), 9);
    QCOMPARE(db.count(QStringLiteral("dd_user")), 1);
    QCOMPARE(db.count(QStringLiteral("soft_record")), 1);
    QVERIFY(
        q.exec(QStringLiteral("SELECT soft_name, com_num, com_baud, com_parity, moniter_time, node_read_time "
                              "FROM soft_record")) &&
        q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("E2E"));
    QCOMPARE(q.value(1).toInt(), kPort);
    QCOMPARE(q.value(2).toInt(), 9600);
    QCOMPARE(q.value(3).toString(), QStringLiteral("n"));
    QCOMPARE(q.value(4).toInt(), 0);
    QCOMPARE(q.value(5).toInt(), 100);

    f.form->Form6->BitBtn2Click();
}

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
