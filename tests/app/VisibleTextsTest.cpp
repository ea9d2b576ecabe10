// What every window shows before anyone types: titles, captions and the
// initial texts of its fields, as operators and their manuals know them. A
// renamed class or control must never change one of them.
#include "MainWindowFixture.h"

#include "admin/AlarmDialog.h"
#include "admin/OperationLogDialog.h"
#include "admin/SoftwareNameDialog.h"
#include "app/ActiveAlarmPanel.h"
#include "app/FirstStartDialog.h"
#include "device/DeviceDialog.h"
#include "history/HistoryWindow.h"
#include "link/SerialDialog.h"
#include "monitor/BusDiagnosticsDialog.h"
#include "users/PasswordDialog.h"
#include "users/UserDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <optional>

using namespace Qt::StringLiterals;

namespace {
// The text a control shows; nothing for a control without one.
std::optional<QString> shown(const QObject* object)
{
    if (const auto* label = qobject_cast<const QLabel*>(object))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(object))
        return button->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(object))
        return edit->text();
    if (const auto* box = qobject_cast<const QGroupBox*>(object))
        return box->title();
    if (const auto* combo = qobject_cast<const QComboBox*>(object))
        return combo->currentText();
    return {};
}
} // namespace

class VisibleTextsTest final : public QObject
{
    Q_OBJECT
private slots:
    // Per window: its title under its own name, then every named control that
    // shows a text, with the text it shows ("%1": the offered file).
    void everyTextAsEver_data()
    {
        QTest::addColumn<QString>("texts");
        QTest::newRow("mainWindow")
            << u"mainWindow=|usersButton=用户管理|softwareNameButton=软件名称|"
               u"devicesButton=设备管理|alarmsButton=告警管理|serialButton=串口设置|"
               u"monitorButton=启动监控|periodLabel=监控周期(秒)|periodEdit=Edit1|"
               u"readPeriodLabel=节点读取周期(毫秒)|readPeriodEdit=Edit2|historyButton=浪涌记录|"
               u"diagnosticsButton=通信诊断|operationLogButton=操作日志|normalLegend=设备正常|"
               u"alarmLegend=设备报警|commLossLegend=通信异常|treeCaption=设备列表|viewCaption=监控数据|"
               u"alarmLogCaption=告警日志|silenceButton=消音|acknowledgeButton=确认|"
               u"acknowledgeAllButton=全部确认|Panel0=|Panel1=|Panel2=|Panel3=|Panel4=V1.0"_s;
        QTest::newRow("loginDialog")
            << u"loginDialog=用户登陆|userLabel=用户名|userEdit=|passwordLabel=密    码|"
               u"passwordEdit=|loginButton=登陆|cancelButton=取消|hintLabel=登陆提示！"_s;
        QTest::newRow("userDialog")
            << u"userDialog=用户管理|userLabel=用户名|userEdit=|passwordLabel=密    码|"
               u"passwordEdit=|permissionLabel=权    限|permissionCombo=管理员|"
               u"addButton=添    加|saveButton=保    存|deleteButton=删    除|"
               u"modifyButton=修    改|cancelButton=取    消"_s;
        QTest::newRow("passwordDialog")
            << u"passwordDialog=Form4|passwordLabel=输入新密码|passwordEdit=|hintLabel=提示|"
               u"changeButton=确定"_s;
        QTest::newRow("deviceDialog")
            << u"deviceDialog=设备管理|addButton=添加|saveButton=保存|deleteButton=删除 |"
               u"exitButton=退出|nodeGroupBox=|nodeAddressLabel=485 ID|nodeAddressEdit=|"
               u"nodeDeviceNameLabel=设备名称|nodeDeviceNameEdit=|nodeNameLabel=节点名称|"
               u"nodeNameEdit=|functionCodeLabel=节点代码|functionCodeCombo=3|"
               u"registerLabel=节点地址|registerEdit=|dataTypeLabel=数据类型|dataTypeCombo=开关量|"
               u"alarmTypeLabel=报警类型|alarmTypeCombo=0000(正常)/FFFF(异常)|"
               u"lowerLimitLabel=报警下限|lowerLimitEdit=|upperLimitLabel=报警上限|"
               u"upperLimitEdit=|deviceGroupBox=|addressLabel=485 ID|addressEdit=|"
               u"deviceNameLabel=设备名称|deviceNameEdit=|installDateLabel=安装日期|"
               u"deviceTypeLabel=设备类型|deviceTypeCombo="_s;
        QTest::newRow("serialDialog")
            << u"serialDialog=串口设置|portLabel=串口号|portCombo=|baudLabel=波特率|"
               u"baudCombo=2400|dataBitsLabel=数据位|dataBitsCombo=8|stopBitsLabel=停止位|"
               u"stopBitsCombo=1|parityLabel=校     验|parityCombo=none|openButton=打开|"
               u"closeButton=断开"_s;
        QTest::newRow("alarmDialog")
            << u"alarmDialog=告警记录|deleteButton=册除当前记录|deleteAllButton=删除所有|"
               u"exitButton=退出|exportButton=导出"_s;
        QTest::newRow("softwareNameDialog")
            << u"softwareNameDialog=软件名称|nameLabel=软件名称:|nameEdit=|saveButton=保    存|"
               u"exitButton=退    出"_s;
        QTest::newRow("historyWindow")
            << u"historyWindow=浪涌记录|deviceCombo=|spanCombo=月|queryButton=查询|"
               u"exportButton=导出|summaryLabel="_s;
        QTest::newRow("busDiagnosticsDialog") << u"busDiagnosticsDialog=通信诊断|resetButton=清零"_s;
        QTest::newRow("operationLogDialog")
            << u"operationLogDialog=操作日志|exportButton=导出|exitButton=退出"_s;
        QTest::newRow("firstStartDialog")
            << u"firstStartDialog=spdmon — 新建站点数据库 (new station database)|"
               u"whereLabel=未找到数据库文件 (no database file found). 查找位置 (looked at):\n  %1\n\n"
               u"是否在此创建站点数据库 (create a station database here)?\n  %1|administratorEdit=|"
               u"passwordEdit=|passwordAgainEdit=|problemLabel=|createButton=创建 (Create)|quitButton=退出 (Quit)"_s;
    }

    void everyTextAsEver()
    {
        QFETCH(QString, texts);
        MainWindowFixture f;
        MainWindow& w = *f.form;
        const QString offered = u"/station/table.db"_s;
        FirstStartDialog first(DatabaseSearch{offered, false, {offered}});
        const QList<QWidget*> windows{&w,
                                      w.loginDialog,
                                      w.userDialog,
                                      w.passwordDialog,
                                      w.deviceDialog,
                                      w.serialDialog,
                                      w.alarmDialog,
                                      w.softwareNameDialog,
                                      w.historyWindow,
                                      w.diagnosticsDialog,
                                      w.operationLogDialog,
                                      &first};
        for (QWidget* window : windows) {
            if (window->objectName() != QLatin1String(QTest::currentDataTag()))
                continue;
            QStringList shownTexts{window->objectName() + u'=' + window->windowTitle()};
            for (const QWidget* child : window->findChildren<QWidget*>()) {
                const std::optional<QString> text = shown(child);
                if (text && !child->objectName().isEmpty() && !child->objectName().startsWith(u"qt_"_s))
                    shownTexts << child->objectName() + u'=' + *text;
            }
            // A new control belongs in the list as well, with its text.
            QCOMPARE(shownTexts, texts.replace(u"%1"_s, offered).split(u'|'));
            return;
        }
        QFAIL("no such window");
    }
};

QTEST_MAIN(VisibleTextsTest)
#include "VisibleTextsTest.moc"
