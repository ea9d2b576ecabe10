#include "monitor/SurgeCounter.h"

namespace {
constexpr int kCounterRange = 65536;
} // namespace

std::optional<SurgeEvent> SurgeCounter::judge(int deviceId, int count, const QDateTime& time) const
{
    const auto seen = m_seen.constFind(deviceId);
    if (seen == m_seen.constEnd() || seen->count == count)
        return std::nullopt;
    SurgeEvent event;
    event.deviceId = deviceId;
    event.time = time;
    event.countBefore = seen->count;
    event.countAfter = count;
    if (seen->gap)
        event.gapStart = seen->time;
    if (count > seen->count) {
        event.surges = count - seen->count;
    } else if (kCounterRange - seen->count + count <= kWrapWindow) {
        event.surges = kCounterRange - seen->count + count;
    } else {
        event.reset = true;
    }
    return event;
}

void SurgeCounter::accept(int deviceId, int count, const QDateTime& time)
{
    m_seen.insert(deviceId, {count, time, false});
}

void SurgeCounter::readFailed(int deviceId)
{
    const auto seen = m_seen.find(deviceId);
    if (seen != m_seen.end())
        seen->gap = true;
}
