// What every window shows before anyone types: titles, captions and the
// initial texts of its fields, as operators and their manuals know them. A
// renamed class or control must never change one of them.
#include "MainWindowFixture.h"

#include "app/FirstStartDialog.h"


using namespace Qt::StringLiterals;

class VisibleTextsTest final : public QObject
{
    Q_OBJECT
private slots:
    // Per window: its title under its own name, then every named control that
    // shows a text, with that text ("%1": the file offered).
    void everyTextAsEver_data()
    {
        QTest::addColumn<QString>("texts");
        // clang-format off: one window a line
        QTest::newRow("mainWindow") << u"mainWindow=|usersButton=用户管理|softwareNameButton=软件名称|devicesButton=设备管理|alarmsButton=告警管理|serialButton=串口设置|monitorButton=启动监控|periodLabel=监控周期(秒)|periodEdit=Edit1|readPeriodLabel=节点读取周期(毫秒)|readPeriodEdit=Edit2|historyButton=浪涌记录|diagnosticsButton=通信诊断|operationLogButton=操作日志|normalLegend=设备正常|alarmLegend=设备报警|commLossLegend=通信异常|treeCaption=设备列表|viewCaption=监控数据|alarmLogCaption=告警日志|silenceButton=消音|acknowledgeButton=确认|acknowledgeAllButton=全部确认|Panel4=V1.0|lineModeLabel=线路模式"_s;
        QTest::newRow("loginDialog") << u"loginDialog=用户登陆|userLabel=用户名|passwordLabel=密    码|loginButton=登陆|cancelButton=取消|hintLabel=登陆提示！"_s;
        QTest::newRow("userDialog") << u"userDialog=用户管理|userLabel=用户名|passwordLabel=密    码|permissionLabel=权    限|permissionCombo=管理员|addButton=添    加|saveButton=保    存|deleteButton=删    除|modifyButton=修    改|cancelButton=取    消"_s;
        QTest::newRow("passwordDialog") << u"passwordDialog=Form4|passwordLabel=输入新密码|hintLabel=提示|changeButton=确定"_s;
        QTest::newRow("deviceDialog") << u"deviceDialog=设备管理|addButton=添加|saveButton=保存|deleteButton=删除 |exitButton=退出|nodeAddressLabel=485 ID|nodeDeviceNameLabel=设备名称|nodeNameLabel=节点名称|functionCodeLabel=节点代码|functionCodeCombo=3|registerLabel=节点地址|dataTypeLabel=数据类型|dataTypeCombo=开关量|alarmTypeLabel=报警类型|alarmTypeCombo=0000(正常)/FFFF(异常)|lowerLimitLabel=报警下限|upperLimitLabel=报警上限|addressLabel=485 ID|deviceNameLabel=设备名称|installDateLabel=安装日期|deviceTypeLabel=设备类型"_s;
        QTest::newRow("serialDialog") << u"serialDialog=串口设置|portLabel=串口号|baudLabel=波特率|baudCombo=2400|dataBitsLabel=数据位|dataBitsCombo=8|stopBitsLabel=停止位|stopBitsCombo=1|parityLabel=校     验|parityCombo=none|openButton=打开|closeButton=断开"_s;
        QTest::newRow("alarmDialog") << u"alarmDialog=告警记录|deleteButton=册除当前记录|deleteAllButton=删除所有|exitButton=退出|exportButton=导出"_s;
        QTest::newRow("softwareNameDialog") << u"softwareNameDialog=软件名称|nameLabel=软件名称:|saveButton=保    存|exitButton=退    出"_s;
        QTest::newRow("historyWindow") << u"historyWindow=浪涌记录|spanCombo=月|queryButton=查询|exportButton=导出"_s;
        QTest::newRow("busDiagnosticsDialog") << u"busDiagnosticsDialog=通信诊断|resetButton=清零"_s;
        QTest::newRow("operationLogDialog") << u"operationLogDialog=操作日志|exportButton=导出|exitButton=退出"_s;
        QTest::newRow("firstStartDialog") << u"firstStartDialog=spdmon — 新建站点数据库 (new station database)|whereLabel=未找到数据库文件 (no database file found). 查找位置 (looked at):\n  %1\n\n是否在此创建站点数据库 (create a station database here)?\n  %1|createButton=创建 (Create)|quitButton=退出 (Quit)"_s;
        // clang-format on
    }

    void everyTextAsEver()
    {
        QFETCH(QString, texts);
        MainWindowFixture f;
        const QString offered = u"/station/table.db"_s;
        FirstStartDialog first(DatabaseSearch{offered, false, {offered}});
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const QWidget* window = nullptr;
        for (const QWidget* each : QApplication::topLevelWidgets())
            window = each->objectName() == tag ? each : window;
        QVERIFY(window);
        QStringList shown{tag + u'=' + window->windowTitle()};
        for (const QWidget* c : window->findChildren<QWidget*>(QRegularExpression(u"^(?!qt_)."_s))) {
            QString text;
            for (const char* name : {"text", "title", "currentText"})
                text += c->property(name).toString();
            if (!text.isEmpty() && !c->inherits("QDateTimeEdit")) // a date is no fixed text
                shown << c->objectName() + u'=' + text;
        }
        // A new control belongs in the list as well, with its text.
        QCOMPARE(shown, texts.replace(u"%1"_s, offered).split(u'|'));
    }
};

QTEST_MAIN(VisibleTextsTest)
#include "VisibleTextsTest.moc"
