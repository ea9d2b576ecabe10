#include "monitor/StepQueue.h"

#include <QMutexLocker>
#include <utility>

bool StepQueue::put(const PollStepResult& step, bool asked)
{
    const QMutexLocker lock(&m_mutex);
    PollSteps& waiting = m_waiting;
    const bool wasEmpty = waiting.taken == 0;
    ++waiting.taken;
    waiting.asked += asked ? 1 : 0;
    if (!step.error.isEmpty())
        waiting.error = step.error;
    if (step.alarm && !waiting.reloadAlarmLog) {
        waiting.alarms << *step.alarm;
        if (waiting.alarms.size() > m_limit) {
            waiting.alarms.clear();
            waiting.reloadAlarmLog = true;
        }
    }
    waiting.pauseBegun = step.passEnded;
    if (step.refresh && (step.passEnded || step.polled.row < 0 || step.polled.fileChanged))
        waiting.fullRefresh = true;
    if (step.refresh && !waiting.fullRefresh) {
        const auto known = m_rowOfId.constFind(step.polled.rowId);
        if (known == m_rowOfId.cend()) {
            m_rowOfId.insert(step.polled.rowId, int(waiting.rows.size()));
            waiting.rows << step.polled;
        } else {
            PolledRow& row = waiting.rows[*known];
            row.row = step.polled.row;
            for (auto it = step.polled.written.cbegin(); it != step.polled.written.cend(); ++it)
                row.written.insert(it.key(), it.value());
        }
        waiting.fullRefresh = waiting.rows.size() > m_limit;
    }
    if (waiting.fullRefresh) {
        waiting.rows.clear();
        m_rowOfId.clear();
    }
    return wasEmpty;
}

PollSteps StepQueue::take()
{
    const QMutexLocker lock(&m_mutex);
    m_rowOfId.clear();
    return std::exchange(m_waiting, PollSteps());
}
