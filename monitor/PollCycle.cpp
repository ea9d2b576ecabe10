#include "monitor/PollCycle.h"

#include "link/FieldBus.h"
#include "monitor/BusCounters.h"
#include "monitor/AlarmStates.h"
#include "monitor/PollEvents.h"
#include "store/AlarmLogTable.h"
#include "store/AppError.h"
#include "store/Clock.h"
#include "store/NodeTable.h"
#include "store/Query.h"
#include "store/StationState.h"
#include "store/StatusTexts.h"
#include "store/SurgeLogTable.h"
#include "store/Text.h"

#include <QElapsedTimer>
#include <array>
#include <utility>

using namespace StatusTexts;

namespace {
constexpr int kConfirmations = 3;
} // namespace

PollCycle::PollCycle(const LineSettings& line, PollState& poll, Query& scope, FieldBus* bus)
    : m_line(line), m_poll(poll), m_scope(scope), m_alarmInsert(scope.connection()), m_bus(bus),
      m_surgeInsert(scope.connection()), m_nodeCheck(scope.connection()),
      m_linePoll(scope, [this](const ReadRange& range, int* values, ReadFailure* failure) {
          return readRange(range, values, failure);
      })
{}

PollStepResult PollCycle::pollTick()
{
    m_result = {};
    if (m_bus->comWork(m_line.ComNum) != 1)
        PollStep();
    return m_result;
}

void PollCycle::PollStep()
{
    if (m_poll.Countdown != 0)
        return;
    // An empty scope has no row to read or write: the pass is over at once.
    if (!m_scope.isActive() || m_scope.recordCount() == 0) {
        endPass();
        refresh(-1, true);
        return;
    }

    const int deviceId = m_scope.fieldInt(QStringLiteral("device_id"));
    const int regAdd = m_scope.fieldInt(QStringLiteral("node_reg_add"));
    const int code = m_scope.fieldInt(QStringLiteral("node_code"));

    // Room for 40 registers, zero-filled: the library may write more than one.
    std::array<int, 40> buffer{};
    int result = 0;
    QElapsedTimer timer;
    timer.start();
    if (code == 3)
        result = m_bus->fcn03(m_line.ComNum, deviceId, regAdd, 1, buffer.data());
    else if (code == 4)
        result = m_bus->fcn04(m_line.ComNum, deviceId, regAdd, 1, buffer.data());
    const int value = buffer[0];
    if (m_counters && (code == 3 || code == 4))
        countRead(deviceId, result != -1, double(timer.nsecsElapsed()) / 1e6);

    // The step's columns are gathered in one edit and posted once at the end.
    m_scope.cancel();
    m_scope.edit();
    m_pendingAlarm.reset();
    m_surgeReading.reset();
    m_pendingSurge.reset();
    const QDateTime now = Clock::now();
    m_scope.setField(QStringLiteral("read_time"), now);
    const bool surgeCounter = m_scope.fieldText(QStringLiteral("node_name")) == NodeTexts::kSurgeCount;

    bool hold = false;
    std::optional<bool> lost; // a loss confirmed, or an answer; unknown otherwise
    if (result == -1) {
        if (surgeCounter)
            m_surgeCounter.readFailed(deviceId);
        if (m_scope.fieldText(QStringLiteral("communication_status")) == kCommNormal) {
            ++m_poll.CommFailCount;
            hold = m_poll.CommFailCount < kConfirmations; // the same node is read again
            if (!hold) {
                m_poll.CommFailCount = 0;
                m_scope.setField(QStringLiteral("communication_status"), kCommAbnormal);
                lost = true;
            }
        } else {
            // Never answered, or lost before: the card already shows the loss.
            lost = true;
        }
    } else {
        m_scope.setField(QStringLiteral("communication_status"), kCommNormal);
        // An implausible surge count stays out of the row as out of the
        // history: the row keeps the last good count.
        if (!surgeCounter || judgeSurgeCount(deviceId, value, now)) {
            m_scope.setField(QStringLiteral("node_data"), value);
            hold = EvaluateAlarm(value);
        }
        lost = false;
    }
    postStep(judgeAlarmStates(now, lost));
    reportRow();
    if (hold)
        return;

    const int polledRow = m_scope.recNo();
    m_scope.next();
    const bool passEnded = m_scope.eof();
    if (passEnded)
        endPass();
    refresh(polledRow, passEnded);
}

QVector<PollStepResult> PollCycle::lineTick()
{
    m_lineRequested = false;
    if (m_bus->comWork(m_line.ComNum) == 1 || m_poll.Countdown != 0)
        return {};
    m_result = {};
    if (!m_scope.isActive() || m_scope.recordCount() == 0) {
        endPass();
        refresh(-1, true);
        return {m_result};
    }
    const QDateTime now = Clock::now();
    // Every device left in the pass lost and not due: the pass ends unread.
    if (!m_linePoll.nextDue(now)) {
        endPass();
        m_result.passEnded = true;
        return {m_result};
    }

    const ReadRange range = m_linePoll.current();
    std::array<int, ReadRanges::kMaxCount> values{};
    const LinePoll::Outcome outcome = m_linePoll.request(values.data(), now);
    m_lineRequested = true;
    if (outcome == LinePoll::Outcome::Refused)
        return {};
    bool hold = outcome == LinePoll::Outcome::Held;
    std::optional<bool> lost;
    if (outcome != LinePoll::Outcome::Held)
        lost = outcome == LinePoll::Outcome::Lost;
    QVector<PollStepResult> results = writeRange(range, values.data(), lost, hold);
    if (hold)
        return results;
    if (!m_linePoll.advance(now)) {
        endPass();
        // Each row was told as written: a pass of a few seconds must not cost
        // the window a refresh of every card.
        PollStepResult passEnd;
        passEnd.passEnded = true;
        results << passEnd;
    }
    return results;
}

bool PollCycle::readRange(const ReadRange& range, int* values, ReadFailure* failure)
{
    QElapsedTimer timer;
    timer.start();
    int result = 0;
    if (range.function == 3)
        result = m_bus->fcn03(m_line.ComNum, range.deviceId, range.start, range.count, values);
    else if (range.function == 4)
        result = m_bus->fcn04(m_line.ComNum, range.deviceId, range.start, range.count, values);
    if (m_counters && (range.function == 3 || range.function == 4))
        countRead(range.deviceId, result != -1, double(timer.nsecsElapsed()) / 1e6);
    *failure = result == -1 ? m_bus->lastFailure(m_line.ComNum) : ReadFailure::None;
    return result != -1;
}

// Each node of the range gets the columns a single read of it would give,
// its abnormal readings counted on their own; all in one transaction.
QVector<PollStepResult> PollCycle::writeRange(const ReadRange& range, const int* values,
                                              std::optional<bool> lost, bool& hold)
{
    struct Written
    {
        qint64 rowId;
        std::optional<QString> record;
        QString time;
        qint64 alarmId;
        std::optional<SurgeEvent> surge;
        std::optional<SurgeReading> surgeReading;
    };
    QVector<Written> written;
    QVector<AlarmChange> changes;
    const QDateTime now = Clock::now();
    Connection& connection = m_scope.connection();
    connection.beginTransaction();
    try {
        for (const RangeNode& node : range.nodes) {
            const int row = m_scope.rowOfId(node.rowId, m_scope.recNo());
            if (row < 0)
                continue;
            m_scope.setRecNo(row);
            m_scope.cancel();
            m_scope.edit();
            m_pendingAlarm.reset();
            m_surgeReading.reset();
            m_pendingSurge.reset();
            m_scope.setField(QStringLiteral("read_time"), now);
            const bool surgeCounter =
                m_scope.fieldText(QStringLiteral("node_name")) == NodeTexts::kSurgeCount;
            if (lost == true) {
                if (surgeCounter)
                    m_surgeCounter.readFailed(range.deviceId);
                if (m_scope.fieldText(QStringLiteral("communication_status")) == kCommNormal)
                    m_scope.setField(QStringLiteral("communication_status"), kCommAbnormal);
            } else if (lost == false) {
                m_scope.setField(QStringLiteral("communication_status"), kCommNormal);
                const int value = values[node.reg - range.start];
                m_poll.AlarmConfirmCount = m_abnormalInRow.value(node.rowId);
                bool nodeHold = false;
                if (!surgeCounter || judgeSurgeCount(range.deviceId, value, now)) {
                    m_scope.setField(QStringLiteral("node_data"), value);
                    nodeHold = EvaluateAlarm(value);
                }
                if (nodeHold)
                    m_abnormalInRow.insert(node.rowId, m_poll.AlarmConfirmCount);
                else
                    m_abnormalInRow.remove(node.rowId);
                hold = hold || nodeHold;
            } else if (surgeCounter) {
                m_surgeCounter.readFailed(range.deviceId);
            }
            if (m_alarms)
                if (auto change = judgeNodeAlarm(now))
                    changes << *change;
            m_scope.post();
            Written one{node.rowId, m_pendingAlarm, {}, 0, m_pendingSurge, m_surgeReading};
            if (one.record) {
                one.time = AddAlarmRecord(*one.record);
                one.alarmId = m_alarmInsert.lastInsertId();
            }
            if (one.surge)
                SurgeLogTable(m_surgeInsert).add(*one.surge);
            written << one;
        }
        // The device's loss once, from its last node, when all of them are written.
        if (m_alarms && !written.isEmpty()) {
            if (auto change = judgeDeviceLoss(now, lost))
                changes << *change;
            m_alarms->write(changes);
        }
        connection.commit();
    } catch (const AppError&) {
        connection.rollback();
        m_pendingAlarm.reset();
        m_pendingSurge.reset();
        m_surgeReading.reset();
        for (const RangeNode& node : range.nodes) {
            const int row = m_scope.rowOfId(node.rowId, m_scope.recNo());
            if (row >= 0) {
                m_scope.setRecNo(row);
                m_scope.refreshCurrent();
            }
        }
        throw;
    }
    m_pendingAlarm.reset();
    m_pendingSurge.reset();
    if (m_alarms)
        m_alarms->apply(changes);
    QVector<PollStepResult> results;
    for (const Written& one : written) {
        m_surgeReading = one.surgeReading;
        acceptSurgeCount();
        const int row = m_scope.rowOfId(one.rowId, m_scope.recNo());
        m_scope.setRecNo(row);
        reportRow();
        m_result = {};
        if (one.record) {
            m_result.alarm = AlarmLine{one.alarmId, one.time, *one.record};
            reportAlarm(one.time, *one.record);
        }
        if (one.surge)
            reportSurge(*one.surge);
        refresh(row, false);
        results << m_result;
    }
    m_surgeReading.reset();
    return results;
}

// The node's alarm follows its row's alarm status; the device's loss of
// communication is raised by a confirmed loss, or by any failed reading of a
// row not shown answering, and ends only once none of the device's nodes is
// lost: one node that never answers must not raise it again on every pass.
QVector<AlarmChange> PollCycle::judgeAlarmStates(const QDateTime& readTime, std::optional<bool> lost)
{
    QVector<AlarmChange> changes;
    if (!m_alarms)
        return changes;
    if (auto change = judgeNodeAlarm(readTime))
        changes << *change;
    if (auto change = judgeDeviceLoss(readTime, lost))
        changes << *change;
    return changes;
}

std::optional<AlarmChange> PollCycle::judgeNodeAlarm(const QDateTime& readTime)
{
    const int deviceId = m_scope.fieldInt(QStringLiteral("device_id"));
    const bool alarm = m_scope.fieldText(QStringLiteral("alarm_status")) == kAlarm;
    // An alarm status stored before the states were kept has no record this step.
    const auto nodeText = [this]() {
        return m_pendingAlarm.value_or(nodeHead() + m_scope.fieldText(QStringLiteral("con_data")));
    };
    return m_alarms->judge({deviceId, m_scope.fieldText(QStringLiteral("node_name"))}, alarm, readTime,
                           nodeText);
}

std::optional<AlarmChange> PollCycle::judgeDeviceLoss(const QDateTime& readTime, std::optional<bool> lost)
{
    const int deviceId = m_scope.fieldInt(QStringLiteral("device_id"));
    if (lost == false && m_alarms->isRaised({deviceId, QString()}))
        lost = NodeTable(m_nodeCheck).othersLost(deviceId, m_scope.rowId(m_scope.recNo()));
    if (!lost)
        return std::nullopt;
    const auto lossText = [this]() { return deviceHead() + QStringLiteral(";  ") + kCommAbnormal; };
    return m_alarms->judge({deviceId, QString()}, *lost, readTime, lossText);
}

// "name[address]", the head of every alarm text.
QString PollCycle::deviceHead() const
{
    return m_scope.fieldText(QStringLiteral("device_name")) + QLatin1Char('[') +
           m_scope.fieldText(QStringLiteral("device_id")) + QLatin1Char(']');
}

QString PollCycle::nodeHead() const
{
    return deviceHead() + QStringLiteral(";  ") + m_scope.fieldText(QStringLiteral("node_name")) +
           QLatin1Char(':');
}

// One write, so one commit: a new alarm's state and its record, the changes
// of alarm states, a surge count and its event go in one transaction. A
// failure leaves the row, the log, the states and the surge history wholly as
// they were, and the row as the file holds it; the count is judged again at
// the next reading.
void PollCycle::postStep(const QVector<AlarmChange>& changes)
{
    const std::optional<QString> record = std::exchange(m_pendingAlarm, std::nullopt);
    const std::optional<SurgeEvent> surge = std::exchange(m_pendingSurge, std::nullopt);
    if (!record && !surge && changes.isEmpty()) {
        m_scope.post();
        acceptSurgeCount();
        return;
    }
    Connection& connection = m_scope.connection();
    QString time;
    try {
        connection.beginTransaction();
        try {
            m_scope.post();
            if (record)
                time = AddAlarmRecord(*record);
            if (surge)
                SurgeLogTable(m_surgeInsert).add(*surge);
            if (m_alarms)
                m_alarms->write(changes);
            connection.commit();
        } catch (const AppError&) {
            connection.rollback();
            throw;
        }
    } catch (const AppError&) {
        m_scope.refreshCurrent();
        throw;
    }
    acceptSurgeCount();
    // Told only once the record and the states are in the file for good.
    if (m_alarms)
        m_alarms->apply(changes);
    if (record) {
        m_result.alarm = AlarmLine{m_alarmInsert.lastInsertId(), time, *record};
        reportAlarm(time, *record);
    }
    if (surge)
        reportSurge(*surge);
}

void PollCycle::countRead(int deviceId, bool good, double milliseconds)
{
    ReadFailure failure = good ? ReadFailure::None : m_bus->lastFailure(m_line.ComNum);
    // A failed read the bus calls good would otherwise count as a reply.
    if (!good && failure == ReadFailure::None)
        failure = ReadFailure::NoReply;
    m_counters->record(deviceId, failure, milliseconds, Clock::now());
}

void PollCycle::endPass()
{
    if (m_scope.isActive())
        m_scope.first();
    m_poll.Countdown = m_poll.MonitorPeriod;
}

// Only the columns a step writes: the window keeps another program's edits
// of the others.
void PollCycle::refresh(int polledRow, bool passEnded)
{
    m_result.refresh = true;
    m_result.passEnded = passEnded;
    if (polledRow < 0 || !m_scope.isActive())
        return;
    m_result.polled.row = polledRow;
    m_result.polled.rowId = m_scope.rowId(polledRow);
    const QStringList columns = m_scope.columnNames();
    const QVector<QVariant> values = m_scope.heldRow(polledRow);
    for (const QString& column : NodeTable::polledColumns()) {
        const int index = int(columns.indexOf(column));
        if (index >= 0)
            m_result.polled.written.insert(column, values.value(index));
    }
}

// A listener's fault must not fail a step whose rows are already written.
void PollCycle::reportRow()
{
    if (!m_events)
        return;
    try {
        QVariantMap row;
        for (const QString& column : m_scope.columnNames())
            row.insert(column, m_scope.fieldValue(column));
        m_events->nodeWritten(row);
    } catch (...) {
    }
}

void PollCycle::reportAlarm(const QString& time, const QString& text)
{
    if (!m_events)
        return;
    try {
        m_events->alarmRecorded(time, text);
    } catch (...) {
    }
}

bool PollCycle::judgeSurgeCount(int deviceId, int count, const QDateTime& time)
{
    m_surgeReading = SurgeReading{deviceId, count, time};
    const SurgeCounter::Judgement judgement = m_surgeCounter.judge(deviceId, count, time);
    m_pendingSurge = judgement.event;
    if (m_pendingSurge)
        m_pendingSurge->deviceName = m_scope.fieldText(QStringLiteral("device_name"));
    return judgement.plausible;
}

void PollCycle::readingsPaused()
{
    m_surgeCounter.pause();
    m_linePoll.forgetPass();
}

void PollCycle::scopeOpened()
{
    // Line mode plans its requests anew on the new scope.
    m_linePoll.forgetPass();
    QSet<int> polled;
    const int column = int(m_scope.columnNames().indexOf(QStringLiteral("device_id")));
    for (int row = 0; row < m_scope.recordCount(); ++row)
        polled.insert(m_scope.heldRow(row).value(column).toInt());
    m_surgeCounter.pauseOthers(polled);
}

void PollCycle::acceptSurgeCount()
{
    if (m_surgeReading)
        m_surgeCounter.accept(m_surgeReading->deviceId, m_surgeReading->count, m_surgeReading->time);
}

void PollCycle::reportSurge(const SurgeEvent& event)
{
    // An implausible count is kept for the operator, never passed on as a count.
    if (!m_events || event.implausible)
        return;
    try {
        m_events->surgeRecorded(event);
    } catch (...) {
    }
}

bool PollCycle::EvaluateAlarm(int value)
{
    const QString alarmStatus = m_scope.fieldText(QStringLiteral("alarm_status"));
    const QString recordHead = nodeHead();

    // Posted with the rest of the step, its record in the same transaction.
    const auto enterAlarm = [this](const QString& record) {
        m_scope.setField(QStringLiteral("alarm_status"), kAlarm);
        m_pendingAlarm = record;
    };

    if (m_scope.fieldText(QStringLiteral("con_data_type")) == NodeTexts::kSwitch) {
        const bool zeroIsNormal =
            m_scope.fieldText(QStringLiteral("node_alarm_type")) == NodeTexts::kZeroNormal;
        const bool abnormal = zeroIsNormal ? value != 0 : value == 0;
        if (!abnormal) {
            m_scope.setField(QStringLiteral("con_data"), kNormal);
            m_scope.setField(QStringLiteral("alarm_status"), kNormal);
            return false;
        }
        m_scope.setField(QStringLiteral("con_data"), kAbnormal);
        if (alarmStatus == kAlarm) {
            m_scope.setField(QStringLiteral("alarm_status"), kAlarm);
            return false;
        }
        ++m_poll.AlarmConfirmCount;
        if (m_poll.AlarmConfirmCount < kConfirmations)
            return true;
        m_poll.AlarmConfirmCount = 0;
        enterAlarm(recordHead + kAbnormal);
        return false;
    }

    m_scope.setField(QStringLiteral("con_data"), QString::number(value));
    const int lower = m_scope.fieldInt(QStringLiteral("node_data_lower"));
    const int upper = m_scope.fieldInt(QStringLiteral("node_data_upper"));
    if (lower <= value && value <= upper) {
        m_scope.setField(QStringLiteral("alarm_status"), kNormal);
        return false;
    }
    if (alarmStatus == kAlarm)
        return false;
    ++m_poll.AlarmConfirmCount;
    if (m_poll.AlarmConfirmCount < kConfirmations)
        return true;
    m_poll.AlarmConfirmCount = 0;
    enterAlarm(recordHead + m_scope.fieldText(QStringLiteral("con_data")) +
               QStringLiteral(";  信息:超限告警"));
    return false;
}

QString PollCycle::AddAlarmRecord(const QString& text)
{
    const QDateTime now = Clock::now();
    AlarmLogTable(m_alarmInsert).add(now, text);
    return Text::dateTimeText(now);
}
