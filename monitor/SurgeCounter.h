#pragma once

#include "store/SurgeLogTable.h"

#include <QHash>
#include <QSet>
#include <optional>

// Turns the readings of each device's 16-bit surge counter into events. It
// compares with the last count this station read, never with node_record,
// which another program may have written. The first reading after a start is
// only a baseline: what happened before it is unknown. A rise is an event; a
// fall is a reset (device reset or replaced) with no surges, except a fall
// from near 65535 to near 0 that a rise through the wrap explains. A count of
// 65535 (what a device may answer on a fault) and a rise of more than
// kMaxRise are implausible: kept as such, never counted, the next readings
// compared with the last good count. The same implausible count read
// kConfirmations times in a row is taken as a new start, like a reset.
class SurgeCounter final
{
public:
    // A rise, straight or through 65535, counts when it is at most this; a
    // fall counts as a wrap only then.
    static constexpr int kMaxRise = 1024;
    static constexpr int kFault = 0xFFFF;
    static constexpr int kConfirmations = 3;

    struct Judgement
    {
        std::optional<SurgeEvent> event; // to record
        bool plausible = true;           // false: the count goes neither into the row nor the history
    };

    // What a good reading means. Nothing is kept until accept(): a step whose
    // write fails is judged again at the next reading.
    Judgement judge(int deviceId, int count, const QDateTime& time) const;
    // The reading is stored: later readings compare with it.
    void accept(int deviceId, int count, const QDateTime& time);
    // A failed read: the next event covers the time since the last good one.
    void readFailed(int deviceId);
    // Readings paused (monitoring stopped) for every device, or for those the
    // scope now polled leaves out: the next event of each covers the pause.
    void pause();
    void pauseOthers(const QSet<int>& polled);

private:
    struct Seen
    {
        int count = 0;
        QDateTime time;
        bool gap = false;
        int rejected = -1;  // the implausible count read last, -1 for none
        int rejections = 0; // how many times in a row
    };
    QHash<int, Seen> m_seen;
};
