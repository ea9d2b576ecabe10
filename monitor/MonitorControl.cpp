#include "monitor/MonitorControl.h"

#include "kit/MessageBox.h"
#include "store/AppError.h"
#include "store/FixedTexts.h"
#include "store/MainState.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

MonitorControl::MonitorControl(MainState& state, Query& query, const MonitorControls& controls,
                               std::function<void()> showSystem, QWidget* window)
    : QObject(window), m_state(state), m_query(query), m_controls(controls),
      m_showSystem(std::move(showSystem)), m_window(window)
{}

void MonitorControl::stop()
{
    m_state.Countdown = 0;
    m_controls.Edit1->setEnabled(true);
    stopPolling();
    m_controls.BitBtn3->setEnabled(true);
}

void MonitorControl::storePeriods(int monitorPeriod, int nodeReadPeriod)
{
    m_query.close();
    m_query.setSql(QStringLiteral("select * from soft_record "));
    m_query.open();
    m_query.edit(); // an empty table gets its first row here
    m_query.setField(QStringLiteral("moniter_time"), monitorPeriod);
    m_query.setField(QStringLiteral("node_read_time"), nodeReadPeriod);
    m_query.post();
    m_query.close();
}

void MonitorControl::start()
{
    const int nodeReadPeriod = Text::toInt(m_controls.Edit2->text());
    if (nodeReadPeriod > 10000 || nodeReadPeriod < 100) {
        MessageBox::show(QStringLiteral("节点读取时间范围:100~10000毫秒"), m_window);
        m_controls.Edit2->setFocus();
        return;
    }
    // Both periods are checked before anything changes, so a bad monitoring
    // period cannot leave monitoring stopped with its field disabled. It is
    // converted once, here: the pause after each pass uses the number kept.
    int monitorPeriod = 0;
    try {
        monitorPeriod = Text::toInt(Text::trimmed(m_controls.Edit1->text()));
    } catch (const AppError& e) {
        MessageBox::error(e.text(), m_window);
        m_controls.Edit1->setFocus();
        return;
    }
    // A negative pause would never count down: the poll would stop for good.
    if (monitorPeriod < 0) {
        MessageBox::show(QStringLiteral("监控周期不能为负数"), m_window);
        m_controls.Edit1->setFocus();
        return;
    }
    const int interval = Text::toInt(Text::trimmed(m_controls.Edit2->text()));

    m_showSystem();

    m_state.Countdown = 0;
    m_state.MonitorPeriod = monitorPeriod;
    m_controls.Edit1->setEnabled(false);
    storePeriods(monitorPeriod, interval);
    emit statusTextChanged(2, QStringLiteral("已经启动监控"));
    m_controls.Timer1->setInterval(interval);
    m_controls.Timer1->start();
    m_controls.BitBtn4->setText(MonitorCaption::kStop);
    m_controls.BitBtn3->setEnabled(false);
}

void MonitorControl::BitBtn4Click()
{
    if (m_state.PortState != PortState::kOpen) {
        MessageBox::show(QStringLiteral("请在串口设置中打开串口"), m_window);
        return;
    }
    if (m_controls.BitBtn4->text() != MonitorCaption::kStart)
        stop();
    else
        start();
}

void MonitorControl::stopPolling()
{
    m_controls.Timer1->stop();
    emit statusTextChanged(2, QStringLiteral("未启动监控"));
    m_controls.BitBtn4->setText(MonitorCaption::kStart);
}

void MonitorControl::Timer2Timer()
{
    const QString caption = m_controls.BitBtn4->text();
    if (caption == MonitorCaption::kStart) {
        emit statusTextChanged(3, QString());
    } else if (m_state.Countdown > 0) {
        --m_state.Countdown;
        emit statusTextChanged(3, QStringLiteral("读取设备数据倒计时:%1秒").arg(m_state.Countdown));
    } else if (caption == MonitorCaption::kStop) {
        emit statusTextChanged(3, QStringLiteral("正在读取设备数据"));
    }
}
