#include "monitor/MonitorControl.h"

#include "app/MessageBox.h"
#include "app/TForm1.h"
#include "display/Cards.h"
#include "display/DataView.h"
#include "display/DeviceTree.h"
#include "display/SystemView.h"
#include "store/AppError.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace MonitorControl {

namespace {
const QString kStart = QStringLiteral("启动监控");
const QString kStop = QStringLiteral("关闭监控");
const QString kUpdate = QStringLiteral("更新");

void stop(TForm1& form)
{
    form.state.Countdown = 0;
    form.Edit1->setEnabled(true);
    stopPolling(form);
    form.BitBtn3->setEnabled(true);
}

void storePeriods(TForm1& form, int monitorPeriod, int nodeReadPeriod)
{
    Query& query = *form.ADOQuery5;
    query.close();
    query.setSql(QStringLiteral("select * from soft_record "));
    query.open();
    query.edit(); // an empty table gets its first row here
    query.setField(QStringLiteral("moniter_time"), monitorPeriod);
    query.setField(QStringLiteral("node_read_time"), nodeReadPeriod);
    query.post();
    query.close();
}

void start(TForm1& form)
{
    const int nodeReadPeriod = Text::toInt(form.Edit2->text());
    if (nodeReadPeriod > 10000 || nodeReadPeriod < 100) {
        MessageBox::show(QStringLiteral("节点读取时间范围:100~10000毫秒"), &form);
        form.Edit2->setFocus();
        return;
    }
    // Both periods are checked before anything changes, so a bad monitoring
    // period cannot leave monitoring stopped with its field disabled.
    int monitorPeriod = 0;
    try {
        monitorPeriod = Text::toInt(Text::trimmed(form.Edit1->text()));
    } catch (const AppError& e) {
        MessageBox::error(e.text(), &form);
        form.Edit1->setFocus();
        return;
    }
    const int interval = Text::toInt(Text::trimmed(form.Edit2->text()));

    form.state.SelectedKind = QStringLiteral("监控系统");
    form.StaticText3->setText(QStringLiteral("系统数据"));
    FreeCards(form);
    ShowSystemView(form, QStringLiteral("创建"));
    OpenScopeQuery(form, QStringLiteral("系统"));

    form.state.Countdown = 0;
    form.Edit1->setEnabled(false);
    storePeriods(form, monitorPeriod, interval);
    form.setStatusText(2, QStringLiteral("已经启动监控"));
    form.Timer1->setInterval(interval);
    form.Timer1->start();
    form.BitBtn4->setText(kStop);
    form.BitBtn3->setEnabled(false);
}
} // namespace

void BitBtn4Click(TForm1& form)
{
    if (form.state.PortState != QStringLiteral("打开")) {
        MessageBox::show(QStringLiteral("请在串口设置中打开串口"), &form);
        return;
    }
    if (form.BitBtn4->text() != kStart)
        stop(form);
    else
        start(form);
}

void stopPolling(TForm1& form)
{
    form.Timer1->stop();
    form.setStatusText(2, QStringLiteral("未启动监控"));
    form.BitBtn4->setText(kStart);
}

void Timer2Timer(TForm1& form)
{
    if (form.BitBtn4->text() == kStart) {
        form.setStatusText(3, QString());
    } else if (form.state.Countdown > 0) {
        --form.state.Countdown;
        form.setStatusText(3, QStringLiteral("读取设备数据倒计时:%1秒").arg(form.state.Countdown));
    } else if (form.BitBtn4->text() == kStop) {
        form.setStatusText(3, QStringLiteral("正在读取设备数据"));
    }
}

void refreshSelectedView(TForm1& form)
{
    const QString& kind = form.state.SelectedKind;
    if (kind == QStringLiteral("监控系统"))
        ShowSystemView(form, kUpdate);
    else if (kind == QStringLiteral("设备"))
        ShowDeviceView(form, kUpdate);
    else if (kind == QStringLiteral("节点"))
        ShowNodeView(form, kUpdate);
}

} // namespace MonitorControl
