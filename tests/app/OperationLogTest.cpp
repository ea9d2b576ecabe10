// Every operation leaves its row in the operation log, a change and its row
// are written together, and only administrators read the log.
#include "ModalDriver.h"

#include "admin/AlarmDialog.h"
#include "admin/SoftwareNameDialog.h"
#include "device/DeviceDialog.h"
#include "kit/QueryModel.h"
#include "link/SerialDialog.h"
#include "store/FixedTexts.h"
#include "users/PasswordDialog.h"
#include "users/UserDialog.h"

#include <QFileDialog>

using namespace Qt::StringLiterals;

class OperationLogTest final : public QObject
{
    Q_OBJECT
private slots:
    void everyOperationLeavesItsRow()
    {
        MainWindowFixture f;
        f.db.addUser(u"admin"_s, u"secret"_s, u"管理员"_s);
        f.db.addUser(u"op"_s, u"pw"_s, u"普通用户"_s);
        f.db.addSettings(u"监控软件"_s, 5, 100);
        f.db.exec(
            u"INSERT INTO alarm_record VALUES ('2026-03-01 09:00:00', 'a'), ('2026-03-01 09:00:00', 'b'), "
            "('2026-03-02 10:00:00', 'c'), ('2026-03-03 11:00:00', 'd')"_s);
        MainWindow& w = *f.form;
        w.setBus(&f.bus);
        w.reloadAlarmLog();
        for (const QString& password : {u"nope"_s, u"secret"_s}) {
            w.loginDialog->userEdit->setText(u"admin"_s);
            w.loginDialog->passwordEdit->setText(password);
            w.loginDialog->logIn();
        }
        w.alarmDialog->deleteRecord();
        w.alarmDialog->deleteAll();
        DeviceDialog& d = *w.deviceDialog;
        d.startAdding();
        d.addressEdit->setText(u"3"_s);
        d.deviceNameEdit->setText(u"KPV3"_s);
        d.deviceTypeCombo->setCurrentText(u"KPV"_s);
        d.save();
        std::tie(d.DialogKind, d.DialogDeviceId, d.DialogNodeName) =
            std::tuple(SelectionKind::kNode, 3, u"浪涌次数"_s);
        d.ShowFieldsForKind(SelectionKind::kNode);
        d.nodeNameEdit->setText(u"新节点"_s);
        d.save();
        std::tie(d.DialogKind, d.DialogDeviceId, d.DialogNodeName) =
            std::tuple(SelectionKind::kNode, 3, u"浪涌次数"_s);
        d.deletePicked();
        std::tie(d.DialogKind, d.DialogDeviceId) = std::tuple(SelectionKind::kDevice, 3);
        d.addressEdit->setText(u"4"_s);
        d.deviceNameEdit->setText(u"KPV4"_s);
        d.save();
        std::tie(d.DialogKind, d.DialogDeviceId) = std::tuple(SelectionKind::kDevice, 4);
        d.deletePicked();
        UserDialog& u = *w.userDialog;
        u.FormShow();
        u.pickAccount(u.accountModel->index(1, 0));
        u.startModifying();
        u.userEdit->setText(u"op2"_s);
        u.saveAccount();
        u.startAdding();
        for (auto [edit, text] : {std::pair(u.userEdit, u"new"_s), {u.passwordEdit, u"pw"_s}})
            edit->setText(text);
        u.permissionCombo->setCurrentText(u"普通用户"_s);
        u.saveAccount();
        u.userEdit->setText(u"new"_s);
        u.deleteAccount();
        w.passwordDialog->passwordEdit->setText(u"new"_s);
        w.passwordDialog->changePassword();
        SerialDialog& s = *w.serialDialog;
        s.FormShow();
        // An opening whose row cannot be written is undone: the port closed again.
        const QString refuse =
            u"CREATE TRIGGER refused BEFORE INSERT ON operation_log BEGIN SELECT RAISE(ABORT, 'full'); END"_s;
        f.db.exec(refuse);
        s.openPort();
        QCOMPARE(std::tuple(f.bus.opens, f.bus.closes, w.station.line.PortState),
                 std::tuple(1, 1, u"关闭"_s));
        f.db.exec(u"DROP TRIGGER refused"_s);
        s.openPort();
        s.openPort(); // the line already open: no row
        w.toggleMonitoring();
        w.toggleMonitoring();
        s.closePort();
        s.openPort();
        w.toggleMonitoring();
        w.softwareNameDialog->nameEdit->setText(u"一号站"_s);
        w.softwareNameDialog->saveName();
        f.showLoggedIn();
        w.close(); // while monitoring
        QCOMPARE(
            tableText(f.db, u"用户名 || '|' || 操作 || '|' || 详情"_s, u"operation_log"_s),
            u"admin|登录失败|用户或密码错误 admin|登录|管理员 "
            "admin|删除告警记录|2 条，2026-03-01 09:00:00 "
            "admin|删除告警记录|2 条，2026-03-02 10:00:00 至 2026-03-03 11:00:00 "
            "admin|添加设备|设备3 KPV3 admin|添加节点|设备3 新节点 功能码3 寄存器5 模拟量 告警类型 "
            "下限0 上限65535 admin|删除节点|设备3 浪涌次数 功能码3 寄存器5 模拟量 告警类型0000(正常)/FFFF(异常) "
            "下限0 上限65535 "
            "admin|修改设备|设备3 KPV3 安装日期2000-01-01 -> 设备4 KPV4 安装日期2000-01-01 "
            "admin|删除设备|设备4 KPV4 安装日期2000-01-01 3 个节点 "
            "admin|修改用户|op 普通用户 -> op2 普通用户 admin|添加用户|new 普通用户 admin|删除用户|new "
            "admin|修改密码| admin|打开串口|串口3 9600 8n1 admin|启动监控|监控周期5秒，节点读取周期100毫秒 "
            "admin|停止监控| admin|关闭串口|串口3 admin|打开串口|串口3 9600 8n1 "
            "admin|启动监控|监控周期5秒，节点读取周期100毫秒 admin|修改软件名称|监控软件 -> 一号站 "
            "admin|停止监控| admin|关闭串口|串口3 admin|退出登录|"_s);
        // Times stored as every other stored time is.
        QVERIFY(!f.db.count(u"operation_log WHERE 操作时间 NOT GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] "
                            "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'"_s));
        // A change whose row cannot be written is undone with it.
        f.db.exec(refuse);
        w.softwareNameDialog->nameEdit->setText(u"二号站"_s);
        w.softwareNameDialog->saveName();
        QCOMPARE(tableText(f.db, u"soft_name"_s, u"soft_record"_s), u"一号站"_s);
        QVERIFY(MessageBox::takeShown().join(u' ').contains(u"full"_s));

        // Only administrators read the log, and export it with its own columns.
        f.station.session.LoggedInPermission = u"普通用户"_s;
        QTest::mouseClick(w.operationLogButton, Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown(), QStringList{u"用户权限不够"_s});
        f.station.session.LoggedInPermission = u"管理员"_s;
        const QString path = f.db.dir() + u"/log.csv"_s;
        drive(w.operationLogButton, [&](QDialog& dialog) {
            QCOMPARE(child<QTableView>(dialog, "logGrid")->model()->rowCount(), 23);
            QTimer::singleShot(0, [path]() {
                auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                files->selectFile(path);
                QMetaObject::invokeMethod(files, "accept");
            });
            press(dialog, "exportButton");
        });
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readLine(), "\xEF\xBB\xBF操作时间,用户名,操作,详情\r\n");
    }
};

QTEST_MAIN(OperationLogTest)
#include "OperationLogTest.moc"
