#pragma once

#include "link/FieldBus.h"
#include "monitor/ReadRanges.h"
#include "store/Query.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QVector>
#include <functional>

class BusCounters;

// Line mode's requests: a pass of range requests over the scope (ReadRanges)
// and what is known of each device for the run, so that a failed request is
// confirmed before a loss is shown, a lost device is asked only now and then,
// and a device that refuses ranges is read node by node from then on. The
// rows the requests give are written by the poll cycle.
class LinePoll final
{
public:
    // Sends one request; true when it was answered, the failure set otherwise.
    using Read = std::function<bool(const ReadRange& range, int* values, ReadFailure* failure)>;

    // How the request due went: the nodes it covers are written as answered,
    // held (asked again at the next step, nothing written of the request but
    // its read time), lost; or nothing is written, the device refusing ranges.
    enum class Outcome { Answered, Held, Lost, Refused };

    LinePoll(Query& scope, Read read);

    // Told of each device that refuses ranges; null for nobody.
    void setCounters(BusCounters* counters) { m_counters = counters; }

    // Moves to the request due at now, the pass planned first when it is not
    // yet; false at the end of the pass, which is then forgotten.
    bool nextDue(const QDateTime& now);
    // The one nextDue moved to.
    const ReadRange& current() const { return m_ranges.at(m_index); }
    Outcome request(int* values, const QDateTime& now);
    // Past a request written; as nextDue.
    bool advance(const QDateTime& now);
    // The next step plans the pass anew.
    void forgetPass() { m_ranges.clear(); }

private:
    void plan();
    // A node of the request is shown answering (its loss not confirmed).
    bool shownAnswering(const ReadRange& range) const;
    bool refused(const ReadRange& range, ReadFailure failure);
    void refuseRanges(int deviceId);

    Query& m_scope;
    Read m_read;
    BusCounters* m_counters = nullptr;
    QVector<ReadRange> m_ranges; // empty until the pass is planned
    int m_index = 0;
    QHash<int, int> m_failsInRow;      // failed requests in a row, by device
    QHash<int, QDateTime> m_lostAsked; // devices lost: when last asked
    QSet<int> m_rangesWork;            // devices that answered a range
    QSet<int> m_refusing;              // devices read node by node
};
