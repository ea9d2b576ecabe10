#include "monitor/SurgeCounter.h"

namespace {
constexpr int kCounterRange = 65536;
} // namespace

SurgeCounter::Judgement SurgeCounter::judge(int deviceId, int count, const QDateTime& time) const
{
    const auto seen = m_seen.constFind(deviceId);
    // A fault pattern is no starting point either.
    if (seen == m_seen.constEnd())
        return {std::nullopt, count != kFault};
    if (seen->count == count)
        return {};
    SurgeEvent event;
    event.deviceId = deviceId;
    event.time = time;
    event.countBefore = seen->count;
    event.countAfter = count;
    if (seen->gap)
        event.gapStart = seen->time;
    const int rise = count > seen->count ? count - seen->count : kCounterRange - seen->count + count;
    if (count == kFault || (count > seen->count && rise > kMaxRise)) {
        if (count != kFault && count == seen->rejected && seen->rejections + 1 >= kConfirmations) {
            event.reset = true;
            return {event, true};
        }
        event.implausible = true;
        // Told once per run of the same count, not at every reading.
        return {count == seen->rejected ? std::nullopt : std::optional<SurgeEvent>(event), false};
    }
    if (rise <= kMaxRise)
        event.surges = rise;
    else
        event.reset = true;
    return {event, true};
}

void SurgeCounter::accept(int deviceId, int count, const QDateTime& time)
{
    if (judge(deviceId, count, time).plausible) {
        m_seen.insert(deviceId, {count, time, false});
        return;
    }
    const auto seen = m_seen.find(deviceId);
    if (seen == m_seen.end())
        return;
    seen->rejections = count == seen->rejected ? seen->rejections + 1 : 1;
    seen->rejected = count;
    seen->gap = true;
}

void SurgeCounter::readFailed(int deviceId)
{
    const auto seen = m_seen.find(deviceId);
    if (seen != m_seen.end())
        seen->gap = true;
}

void SurgeCounter::pause()
{
    pauseOthers({});
}

void SurgeCounter::pauseOthers(const QSet<int>& polled)
{
    for (auto seen = m_seen.begin(); seen != m_seen.end(); ++seen) {
        if (!polled.contains(seen.key()))
            seen->gap = true;
    }
}
