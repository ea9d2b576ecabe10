#include "monitor/PollPacer.h"

PollPacer::PollPacer(QObject* parent) : QObject(parent), m_tick(this), m_second(this)
{
    m_second.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &PollPacer::tick);
    connect(&m_second, &QTimer::timeout, this, &PollPacer::second);
}

void PollPacer::start(int nodeReadPeriodMs, int monitorPeriodS)
{
    stop();
    m_monitorPeriod = monitorPeriodS;
    m_tick.start(nodeReadPeriodMs);
}

void PollPacer::stop()
{
    m_tick.stop();
    m_second.stop();
    m_pauseLeft = 0;
}

void PollPacer::stepTaken(bool passEnded)
{
    if (!passEnded || !m_tick.isActive() || m_monitorPeriod <= 0)
        return;
    m_pauseLeft = m_monitorPeriod;
    m_second.start();
}

void PollPacer::tick()
{
    if (!m_held && m_pauseLeft == 0)
        emit stepDue();
}

void PollPacer::second()
{
    if (--m_pauseLeft <= 0) {
        m_pauseLeft = 0;
        m_second.stop();
    }
}
