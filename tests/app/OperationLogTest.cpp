// Every operation leaves its row in the operation log, the change and its row
// are written together, and only administrators read the log.
#include "ModalDriver.h"

#include "admin/AlarmDialog.h"
#include "admin/SoftwareNameDialog.h"
#include "device/DeviceDialog.h"
#include "kit/QueryModel.h"
#include "link/SerialDialog.h"
#include "store/Clock.h"
#include "store/FixedTexts.h"
#include "users/PasswordDialog.h"
#include "users/UserDialog.h"

#include <QFileDialog>
#include <functional>

using namespace Qt::StringLiterals;
using Operation = std::function<void(MainWindow&)>;
Q_DECLARE_METATYPE(Operation)

namespace {
void logIn(MainWindow& w, const QString& password)
{
    w.loginDialog->userEdit->setText(u"admin"_s);
    w.loginDialog->passwordEdit->setText(password);
    w.loginDialog->logIn();
}

void fillNode(DeviceDialog& d, const QString& name)
{
    d.DialogKind = SelectionKind::kNode;
    for (auto [edit, text] : {std::pair(d.nodeAddressEdit, u"3"_s),
                              {d.nodeDeviceNameEdit, u"KPV3"_s},
                              {d.nodeNameEdit, name},
                              {d.registerEdit, u"20"_s},
                              {d.lowerLimitEdit, u"0"_s},
                              {d.upperLimitEdit, u"9"_s}})
        edit->setText(text);
    d.functionCodeCombo->setEditText(u"3"_s);
    d.dataTypeCombo->setEditText(u"模拟量"_s);
}
} // namespace

class OperationLogTest final : public QObject
{
    Q_OBJECT
private slots:
    void everyOperationLeavesItsRow_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("rows"); // user|action|details, one per row
        QTest::newRow("log-in") << Operation([](MainWindow& w) { logIn(w, u"secret"_s); })
                                << u"admin|登录|管理员"_s;
        QTest::newRow("failed log-in")
            << Operation([](MainWindow& w) { logIn(w, u"nope"_s); }) << u"admin|登录失败|用户或密码错误"_s;
        QTest::newRow("log-out") << Operation([](MainWindow& w) {
            delete std::exchange(w.loginDialog, nullptr);
            w.show();
            w.close();
        }) << u"op|退出登录|"_s;
        QTest::newRow("delete one alarm time")
            << Operation([](MainWindow& w) { w.alarmDialog->deleteRecord(); })
            << u"op|删除告警记录|2 条，2026-03-01 09:00:00"_s;
        QTest::newRow("delete all alarms")
            << Operation([](MainWindow& w) { w.alarmDialog->deleteAll(); })
            << u"op|删除告警记录|3 条，2026-03-01 09:00:00 至 2026-03-02 10:00:00"_s;
        QTest::newRow("add device") << Operation([](MainWindow& w) {
            w.deviceDialog->startAdding();
            w.deviceDialog->addressEdit->setText(u"7"_s);
            w.deviceDialog->deviceNameEdit->setText(u"七号柜"_s);
            w.deviceDialog->deviceTypeCombo->setCurrentText(u"KPV"_s);
            w.deviceDialog->save();
        }) << u"op|添加设备|设备7 七号柜"_s;
        QTest::newRow("change device") << Operation([](MainWindow& w) {
            w.deviceDialog->DialogKind = SelectionKind::kDevice;
            w.deviceDialog->DialogDeviceId = 3;
            w.deviceDialog->addressEdit->setText(u"4"_s);
            w.deviceDialog->deviceNameEdit->setText(u"KPV4"_s);
            w.deviceDialog->save();
        }) << u"op|修改设备|设备3 -> 设备4 KPV4"_s;
        QTest::newRow("delete device") << Operation([](MainWindow& w) {
            w.deviceDialog->DialogKind = SelectionKind::kDevice;
            w.deviceDialog->DialogDeviceId = 3;
            w.deviceDialog->deletePicked();
        }) << u"op|删除设备|设备3 2 个节点"_s;
        QTest::newRow("add node") << Operation([](MainWindow& w) {
            fillNode(*w.deviceDialog, u"新节点"_s);
            w.deviceDialog->save();
        }) << u"op|添加节点|设备3 新节点"_s;
        QTest::newRow("change node") << Operation([](MainWindow& w) {
            fillNode(*w.deviceDialog, u"浪涌次数"_s);
            w.deviceDialog->save();
        }) << u"op|修改节点|设备3 浪涌次数"_s;
        QTest::newRow("delete node") << Operation([](MainWindow& w) {
            w.deviceDialog->DialogKind = SelectionKind::kNode;
            w.deviceDialog->DialogDeviceId = 3;
            w.deviceDialog->DialogNodeName = u"浪涌次数"_s;
            w.deviceDialog->deletePicked();
        }) << u"op|删除节点|设备3 浪涌次数"_s;
        QTest::newRow("add account") << Operation([](MainWindow& w) {
            w.userDialog->startAdding();
            w.userDialog->userEdit->setText(u"new"_s);
            w.userDialog->passwordEdit->setText(u"pw"_s);
            w.userDialog->permissionCombo->setCurrentText(u"普通用户"_s);
            w.userDialog->saveAccount();
        }) << u"op|添加用户|new 普通用户"_s;
        QTest::newRow("change account") << Operation([](MainWindow& w) {
            w.userDialog->FormShow();
            w.userDialog->pickAccount(w.userDialog->accountModel->index(1, 0));
            w.userDialog->startModifying();
            w.userDialog->userEdit->setText(u"op2"_s);
            w.userDialog->saveAccount();
        }) << u"op|修改用户|op -> op2 普通用户"_s;
        QTest::newRow("delete account") << Operation([](MainWindow& w) {
            w.userDialog->userEdit->setText(u"op"_s);
            w.userDialog->deleteAccount();
        }) << u"op|删除用户|op"_s;
        QTest::newRow("change password") << Operation([](MainWindow& w) {
            w.passwordDialog->passwordEdit->setText(u"new"_s);
            w.passwordDialog->changePassword();
        }) << u"op|修改密码|"_s;
        QTest::newRow("port open and close") << Operation([](MainWindow& w) {
            for (auto [combo, text] : {std::pair(w.serialDialog->portCombo, u"COM5"_s),
                                       {w.serialDialog->baudCombo, u"9600"_s},
                                       {w.serialDialog->dataBitsCombo, u"8"_s},
                                       {w.serialDialog->stopBitsCombo, u"1"_s},
                                       {w.serialDialog->parityCombo, u"N"_s}})
                combo->setEditText(text);
            w.serialDialog->openPort();
            w.serialDialog->closePort();
        }) << u"op|打开串口|串口5 9600 8N1 op|关闭串口|串口5"_s;
        QTest::newRow("monitoring start and stop") << Operation([](MainWindow& w) {
            w.station.line.PortState = PortState::kOpen;
            w.periodEdit->setText(u"5"_s);
            w.readPeriodEdit->setText(u"100"_s);
            w.toggleMonitoring();
            w.toggleMonitoring();
        }) << u"op|启动监控|监控周期5秒，节点读取周期100毫秒 op|停止监控|"_s;
        QTest::newRow("name change") << Operation([](MainWindow& w) {
            w.softwareNameDialog->nameEdit->setText(u"一号站"_s);
            w.softwareNameDialog->saveName();
        }) << u"op|修改软件名称|监控软件 -> 一号站"_s;
    }

    void everyOperationLeavesItsRow()
    {
        QFETCH(Operation, operation);
        MainWindowFixture f;
        f.db.addUser(u"admin"_s, u"secret"_s, u"管理员"_s);
        f.db.addUser(u"op"_s, u"pw"_s, u"普通用户"_s);
        f.db.exec(
            u"INSERT INTO alarm_record VALUES ('2026-03-01 09:00:00', 'a'), ('2026-03-01 09:00:00', 'b'), "
            "('2026-03-02 10:00:00', 'c')"_s);
        f.db.exec(
            u"INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add, "
            "con_data_type, node_data_lower, node_data_upper) VALUES (3, 'KPV3', '浪涌次数', 3, 5, '模拟量', "
            "0, 9), (3, 'KPV3', '设备状态', 3, 11, '模拟量', 0, 9)"_s);
        f.form->setBus(&f.bus);
        f.form->reloadAlarmLog();
        Session& s = f.station.session;
        std::tie(s.LoggedInUser, s.LoggedInPassword, s.SoftwareName) =
            std::tuple(u"op"_s, u"pw"_s, u"监控软件"_s);
        operation(*f.form);
        MessageBox::takeShown();
        QTEST(tableText(f.db, u"用户名 || '|' || 操作 || '|' || 详情"_s, u"operation_log"_s), "rows");
    }

    void changeAndRowTogetherAndOnlyAdministratorsRead()
    {
        MainWindowFixture f;
        Clock::setFixed(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
        f.db.exec(
            u"CREATE TRIGGER refused BEFORE INSERT ON operation_log BEGIN SELECT RAISE(ABORT, 'full'); END"_s);
        f.form->softwareNameDialog->nameEdit->setText(u"一号站"_s);
        f.form->softwareNameDialog->saveName();
        QCOMPARE(f.db.count(u"soft_record"_s), 0); // undone with its row
        QVERIFY(MessageBox::takeShown().join(u' ').contains(u"full"_s));
        f.db.exec(u"DROP TRIGGER refused"_s);
        f.form->softwareNameDialog->saveName();
        QTest::mouseClick(f.form->operationLogButton, Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown(), QStringList{u"用户权限不够"_s});
        f.station.session.LoggedInPermission = u"管理员"_s;
        const QString path = f.db.dir() + u"/log.csv"_s;
        drive(f.form->operationLogButton, [&](QDialog& d) {
            QCOMPARE(child<QTableView>(d, "logGrid")->model()->rowCount(), 1);
            QTimer::singleShot(0, [path]() {
                auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                files->selectFile(path);
                QMetaObject::invokeMethod(files, "accept");
            });
            press(d, "exportButton");
        });
        Clock::setFixed(QDateTime());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 "\xEF\xBB\xBF操作时间,用户名,操作,详情\r\n2026-03-04 05:06:07,,修改软件名称, -> 一号站\r\n");
    }
};

QTEST_MAIN(OperationLogTest)
#include "OperationLogTest.moc"
