#pragma once

#include "store/StatusPanel.h"

#include <QObject>
#include <functional>

class QLineEdit;
class QPushButton;
class QWidget;
class OperationLog;
class Query;
struct LineSettings;
struct PollState;

// The main window's controls that starting and stopping work on.
struct MonitorControls final
{
    QLineEdit* periodEdit;      // monitoring period, seconds
    QLineEdit* readPeriodEdit;  // node read period, milliseconds
    QPushButton* serialButton;  // serial settings command
    QPushButton* monitorButton; // start/stop; its caption is the monitoring state
};

// Starting and stopping monitoring from the toolbar, and the countdown of the
// pause between passes in the status bar. The polling itself keeps its pace
// elsewhere (the station's thread): this only says when it starts, at which
// periods, and when it stops.
class MonitorControl final : public QObject
{
    Q_OBJECT
public:
    // showSystem makes the system the selection and its overview the view,
    // as a start of monitoring must; query stores the two periods.
    MonitorControl(const LineSettings& line, PollState& poll, Query& query, const MonitorControls& controls,
                   std::function<void()> showSystem, QWidget* window, OperationLog& log);

    void toggleMonitoring();
    void countdownTick();
    // The part of a stop that the device and alarm commands also do: no more
    // polling, the button and status bar say so, periodEdit takes input
    // again, and the operation log when polling ran. The serial command and
    // the countdown are left as they are.
    void stopPolling();

signals:
    void statusTextChanged(int panel, const QString& text);
    // Monitoring has just started at these periods (ms, s): counts kept for
    // it begin afresh.
    void started(int nodeReadPeriod, int monitorPeriod);
    void stopped();

private:
    void start();
    void stop();
    void storePeriods(int monitorPeriod, int nodeReadPeriod);

    const LineSettings& m_line;
    PollState& m_poll;
    Query& m_query;
    MonitorControls m_controls;
    std::function<void()> m_showSystem;
    QWidget* m_window;
    OperationLog& m_log;
};
