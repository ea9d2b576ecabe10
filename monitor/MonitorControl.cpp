#include "monitor/MonitorControl.h"

#include "kit/MessageBox.h"
#include "store/AppError.h"
#include "store/FixedTexts.h"
#include "store/OperationLog.h"
#include "store/Query.h"
#include "store/SettingsTable.h"
#include "store/StationState.h"
#include "store/Text.h"

#include <QLineEdit>
#include <QPushButton>

MonitorControl::MonitorControl(const LineSettings& line, PollState& poll, Query& query,
                               const MonitorControls& controls, std::function<void()> showSystem,
                               QWidget* window, OperationLog& log)
    : QObject(window), m_line(line), m_poll(poll), m_query(query), m_controls(controls),
      m_showSystem(std::move(showSystem)), m_window(window), m_log(log)
{}

void MonitorControl::stop()
{
    m_poll.Countdown = 0;
    m_controls.serialButton->setEnabled(true);
    stopPolling();
}

void MonitorControl::storePeriods(int monitorPeriod, int nodeReadPeriod)
{
    SettingsTable(m_query).storePeriods(monitorPeriod, nodeReadPeriod);
}

void MonitorControl::start()
{
    const int nodeReadPeriod = Text::toInt(m_controls.readPeriodEdit->text());
    if (nodeReadPeriod > 10000 || nodeReadPeriod < 100) {
        MessageBox::show(QStringLiteral("节点读取时间范围:100~10000毫秒"), m_window);
        m_controls.readPeriodEdit->setFocus();
        return;
    }
    // Both periods are checked before anything changes, so a bad monitoring
    // period cannot leave monitoring stopped with its field disabled. It is
    // converted once, here: the pause after each pass uses the number kept.
    int monitorPeriod = 0;
    try {
        monitorPeriod = Text::toInt(Text::trimmed(m_controls.periodEdit->text()));
    } catch (const AppError& e) {
        MessageBox::error(e.text(), m_window);
        m_controls.periodEdit->setFocus();
        return;
    }
    // A negative pause would never count down: the poll would stop for good.
    if (monitorPeriod < 0) {
        MessageBox::show(QStringLiteral("监控周期不能为负数"), m_window);
        m_controls.periodEdit->setFocus();
        return;
    }
    const int interval = Text::toInt(Text::trimmed(m_controls.readPeriodEdit->text()));

    m_showSystem();

    m_poll.Countdown = 0;
    m_poll.MonitorPeriod = monitorPeriod;
    // A file another program holds throws here: monitoring stays stopped,
    // with periodEdit open to input.
    m_log.recordWith(QStringLiteral("启动监控"),
                     QStringLiteral("监控周期%1秒，节点读取周期%2毫秒").arg(monitorPeriod).arg(interval),
                     [&]() { storePeriods(monitorPeriod, interval); });
    m_controls.periodEdit->setEnabled(false);
    emit statusTextChanged(StatusPanel::kMonitoring, QStringLiteral("已经启动监控"));
    m_controls.monitorButton->setText(MonitorCaption::kStop);
    m_controls.serialButton->setEnabled(false);
    emit started(interval, monitorPeriod);
}

void MonitorControl::toggleMonitoring()
{
    if (m_line.PortState != PortState::kOpen) {
        MessageBox::show(QStringLiteral("请在串口设置中打开串口"), m_window);
        return;
    }
    if (m_controls.monitorButton->text() != MonitorCaption::kStart)
        stop();
    else
        start();
}

void MonitorControl::stopPolling()
{
    const bool polling = m_controls.monitorButton->text() == MonitorCaption::kStop;
    emit stopped();
    m_controls.periodEdit->setEnabled(true);
    emit statusTextChanged(StatusPanel::kMonitoring, QStringLiteral("未启动监控"));
    m_controls.monitorButton->setText(MonitorCaption::kStart);
    if (polling)
        m_log.record(QStringLiteral("停止监控"));
}

void MonitorControl::countdownTick()
{
    const QString caption = m_controls.monitorButton->text();
    if (caption == MonitorCaption::kStart) {
        emit statusTextChanged(StatusPanel::kCountdown, QString());
    } else if (m_poll.Countdown > 0) {
        --m_poll.Countdown;
        emit statusTextChanged(StatusPanel::kCountdown,
                               QStringLiteral("读取设备数据倒计时:%1秒").arg(m_poll.Countdown));
    } else if (caption == MonitorCaption::kStop) {
        emit statusTextChanged(StatusPanel::kCountdown, QStringLiteral("正在读取设备数据"));
    }
}
