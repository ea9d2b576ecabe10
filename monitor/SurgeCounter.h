#pragma once

#include "store/SurgeLogTable.h"

#include <QHash>
#include <optional>

// Turns the readings of each device's 16-bit surge counter into events. It
// compares with the last count this station read, never with node_record,
// which another program may have written. The first reading after a start is
// only a baseline: what happened before it is unknown. A rise is an event; a
// fall is a reset (device reset or replaced) with no surges, except a fall
// from near 65535 to near 0 that a rise through the wrap explains.
class SurgeCounter final
{
public:
    // A fall counts as a wrap when the rise through 65535 is at most this.
    static constexpr int kWrapWindow = 1024;

    // The event a good reading makes, if any. Nothing is kept until accept():
    // a step whose write fails is judged again at the next reading.
    std::optional<SurgeEvent> judge(int deviceId, int count, const QDateTime& time) const;
    // The reading is stored: later readings compare with it.
    void accept(int deviceId, int count, const QDateTime& time);
    // A failed read: the next event covers the time since the last good one.
    void readFailed(int deviceId);

private:
    struct Seen
    {
        int count = 0;
        QDateTime time;
        bool gap = false;
    };
    QHash<int, Seen> m_seen;
};
