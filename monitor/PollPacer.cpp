#include "monitor/PollPacer.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
// At the line's pace: how long a step that asked nothing of the line, or a
// hold, lets the thread rest before the next.
constexpr int kIdleMs = 50;
} // namespace

PollPacer::PollPacer(QObject* parent) : QObject(parent), m_tick(this), m_second(this)
{
    m_second.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &PollPacer::tick);
    connect(&m_second, &QTimer::timeout, this, &PollPacer::second);
}

QString PollPacer::settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/spdmon/spdmon.conf");
}

bool PollPacer::linePaceSet(const QString& path)
{
    return QSettings(path, QSettings::IniFormat).value(QStringLiteral("poll/pace")).toString() ==
           QStringLiteral("line");
}

void PollPacer::start(int nodeReadPeriodMs, int monitorPeriodS)
{
    stop();
    m_monitorPeriod = monitorPeriodS;
    m_running = true;
    m_tick.setSingleShot(false);
    m_tick.start(nodeReadPeriodMs);
}

void PollPacer::startLinePace(int monitorPeriodS)
{
    stop();
    m_monitorPeriod = monitorPeriodS;
    m_running = true;
    m_linePace = true;
    m_tick.setSingleShot(true);
    m_tick.start(0);
}

void PollPacer::stop()
{
    m_tick.stop();
    m_second.stop();
    m_pauseLeft = 0;
    m_running = false;
    m_linePace = false;
}

void PollPacer::stepTaken(bool passEnded, bool requested)
{
    if (!m_running)
        return;
    if (passEnded && m_monitorPeriod > 0) {
        m_pauseLeft = m_monitorPeriod;
        m_second.start();
        if (m_linePace)
            m_tick.stop();
        return;
    }
    // A step asked by hand between two of the pace's own leaves the pending one be.
    if (m_linePace && !m_tick.isActive())
        m_tick.start(requested ? 0 : kIdleMs);
}

void PollPacer::tick()
{
    if (!m_held && m_pauseLeft == 0)
        emit stepDue();
    else if (m_linePace)
        m_tick.start(kIdleMs);
}

void PollPacer::second()
{
    if (--m_pauseLeft <= 0) {
        m_pauseLeft = 0;
        m_second.stop();
        if (m_linePace)
            m_tick.start(0);
    }
}
