#pragma once

#include <QObject>
#include <QTimer>

// The pace of polling, kept on the station's thread so that a busy window
// delays only the window: a step is due every node read period, and none
// during the pause of the monitoring period that follows each pass. The step
// runs in a slot of stepDue on this thread, so one never overlaps another;
// ticks that come while it runs go by. Held, it lets no step fall due: tests
// then step by hand. At the line's pace (line mode) the next step is due as
// soon as the last one is done, the node read period unused.
class PollPacer final : public QObject
{
    Q_OBJECT
public:
    explicit PollPacer(QObject* parent = nullptr);

    // The station's settings file (~/.config/spdmon/spdmon.conf), and whether
    // it asks for the line's pace ([poll] pace=line).
    static QString settingsPath();
    static bool linePaceSet(const QString& path);

    void start(int nodeReadPeriodMs, int monitorPeriodS);
    void startLinePace(int monitorPeriodS);
    void stop();
    void setHeld(bool held) { m_held = held; }
    // Told after every step, paced or not: a pass that ended begins the pause.
    // At the line's pace a step that sent no request waits a little.
    void stepTaken(bool passEnded, bool requested = true);

signals:
    void stepDue();

private:
    void tick();
    void second();

    QTimer m_tick;
    // The pause is counted in seconds, as the window shows it: any period
    // the field takes fits.
    QTimer m_second;
    int m_monitorPeriod = 0;
    int m_pauseLeft = 0;
    bool m_held = false;
    bool m_linePace = false;
    bool m_running = false;
};
