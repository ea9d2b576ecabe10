#include "monitor/LinePoll.h"

#include "monitor/BusCounters.h"
#include "store/StatusTexts.h"

#include <array>
#include <cstdio>
#include <utility>

namespace {
constexpr int kConfirmations = 3;
} // namespace

LinePoll::LinePoll(Query& scope, Read read) : m_scope(scope), m_read(std::move(read)) {}

// A lost device is asked at most once every ten seconds, so that a few dead
// devices do not slow the whole line; but a request of it whose nodes are not
// all shown lost yet goes on, or a device read node by node would keep its
// other nodes shown answering (and unread) while it is lost.
bool LinePoll::nextDue(const QDateTime& now)
{
    constexpr qint64 kLostInterval = 10 * 1000;
    if (m_ranges.isEmpty())
        plan();
    for (; m_index < m_ranges.size(); ++m_index) {
        const ReadRange& range = m_ranges.at(m_index);
        const auto lost = m_lostAsked.constFind(range.deviceId);
        if (lost == m_lostAsked.cend() || lost->msecsTo(now) >= kLostInterval || shownAnswering(range))
            return true;
    }
    m_ranges.clear();
    return false;
}

bool LinePoll::advance(const QDateTime& now)
{
    ++m_index;
    return nextDue(now);
}

LinePoll::Outcome LinePoll::request(int* values, const QDateTime& now)
{
    const ReadRange range = current();
    const int deviceId = range.deviceId;
    ReadFailure failure = ReadFailure::None;
    if (m_read(range, values, &failure)) {
        m_failsInRow.remove(deviceId);
        m_lostAsked.remove(deviceId);
        if (range.count > 1)
            m_rangesWork.insert(deviceId);
        return Outcome::Answered;
    }
    // A failed request counts once for the device, and only while a node it
    // covers is shown answering; the loss of all of them is confirmed at the
    // third in a row, the request held until then.
    const bool answering = shownAnswering(range);
    const bool refusedAtOnce =
        range.count > 1 && failure == ReadFailure::ExceptionReply && !m_rangesWork.contains(deviceId);
    if (!refusedAtOnce && answering && ++m_failsInRow[deviceId] < kConfirmations)
        return Outcome::Held;
    m_failsInRow.remove(deviceId);
    if (range.count > 1 && refused(range, failure)) {
        refuseRanges(deviceId);
        return Outcome::Refused;
    }
    m_lostAsked.insert(deviceId, now);
    return Outcome::Lost;
}

bool LinePoll::shownAnswering(const ReadRange& range) const
{
    const int status = int(m_scope.columnNames().indexOf(QStringLiteral("communication_status")));
    for (const RangeNode& node : range.nodes) {
        const int row = m_scope.rowOfId(node.rowId, m_scope.recNo());
        if (row >= 0 && m_scope.heldRow(row).value(status) == StatusTexts::kCommNormal)
            return true;
    }
    return false;
}

void LinePoll::plan()
{
    const QStringList columns = m_scope.columnNames();
    const int device = int(columns.indexOf(QStringLiteral("device_id")));
    const int code = int(columns.indexOf(QStringLiteral("node_code")));
    const int reg = int(columns.indexOf(QStringLiteral("node_reg_add")));
    QVector<RangeNode> nodes;
    for (int row = 0; row < m_scope.recordCount(); ++row) {
        const QVector<QVariant> values = m_scope.heldRow(row);
        nodes.append({m_scope.rowId(row), values.value(device).toInt(), values.value(code).toInt(),
                      values.value(reg).toInt()});
    }
    m_ranges = ReadRanges::build(nodes, m_refusing);
    m_index = 0;
}

// Refused: an exception reply to a range, or no reply to one while a single
// read answers. Asked once before a loss is confirmed, not of a device that
// answered a range or is known lost, so that silent devices cost no more.
bool LinePoll::refused(const ReadRange& range, ReadFailure failure)
{
    if (m_rangesWork.contains(range.deviceId))
        return false;
    if (failure == ReadFailure::ExceptionReply)
        return true;
    if (failure != ReadFailure::NoReply || m_lostAsked.contains(range.deviceId))
        return false;
    const RangeNode& first = range.nodes.first();
    std::array<int, ReadRanges::kMaxCount> single{};
    ReadFailure singleFailure = ReadFailure::None;
    return m_read({range.deviceId, range.function, first.reg, 1, {first}}, single.data(), &singleFailure);
}

// Read node by node from now on, its requests anew from its first.
void LinePoll::refuseRanges(int deviceId)
{
    m_refusing.insert(deviceId);
    if (m_counters)
        m_counters->rangesRefused(deviceId);
    std::fprintf(stderr, "device %d refuses to read several registers at once: read node by node\n",
                 deviceId);
    const int done = m_index;
    plan();
    m_index = done;
    while (m_index > 0 && m_ranges.at(m_index - 1).deviceId == deviceId)
        --m_index;
}
