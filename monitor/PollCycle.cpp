#include "monitor/PollCycle.h"

#include "link/FieldBus.h"
#include "monitor/PollEvents.h"
#include "store/AppError.h"
#include "store/Clock.h"
#include "store/MainState.h"
#include "store/Query.h"
#include "store/StatusTexts.h"
#include "store/Text.h"

#include <array>

using namespace StatusTexts;

namespace {
constexpr int kConfirmations = 3;
} // namespace

PollCycle::PollCycle(MainState& state, Query& scope, Query& alarmLog, FieldBus* bus)
    : m_state(state), m_scope(scope), m_alarmLog(alarmLog), m_bus(bus)
{}

void PollCycle::pollTick()
{
    if (m_bus->comWork(m_state.ComNum) == 1)
        return;
    PollStep();
}

void PollCycle::writeField(const QString& column, const QVariant& value)
{
    m_scope.edit();
    m_scope.setField(column, value);
    m_scope.post();
}

void PollCycle::PollStep()
{
    if (m_state.Countdown != 0)
        return;
    // An empty scope has no row to read or write: the pass is over at once.
    if (!m_scope.isActive() || m_scope.recordCount() == 0) {
        endPass();
        refresh();
        return;
    }

    const int deviceId = m_scope.fieldInt(QStringLiteral("device_id"));
    const int regAdd = m_scope.fieldInt(QStringLiteral("node_reg_add"));
    const int code = m_scope.fieldInt(QStringLiteral("node_code"));

    // Room for 40 registers, zero-filled: the library may write more than one.
    std::array<int, 40> buffer{};
    int result = 0;
    if (code == 3)
        result = m_bus->fcn03(m_state.ComNum, deviceId, regAdd, 1, buffer.data());
    else if (code == 4)
        result = m_bus->fcn04(m_state.ComNum, deviceId, regAdd, 1, buffer.data());
    const int value = buffer[0];

    writeField(QStringLiteral("read_time"), Clock::now());

    if (result == -1) {
        if (m_scope.fieldText(QStringLiteral("communication_status")) == kCommNormal) {
            ++m_state.CommFailCount;
            if (m_state.CommFailCount < kConfirmations) {
                reportRow();
                return; // hold: the same node is read again
            }
            m_state.CommFailCount = 0;
            writeField(QStringLiteral("communication_status"), kCommAbnormal);
        }
    } else {
        m_scope.edit();
        m_scope.setField(QStringLiteral("communication_status"), kCommNormal);
        m_scope.setField(QStringLiteral("node_data"), value);
        m_scope.post();
        if (EvaluateAlarm(value)) {
            reportRow();
            return; // hold
        }
    }

    reportRow();
    m_scope.next();
    if (m_scope.eof())
        endPass();
    refresh();
}

void PollCycle::endPass()
{
    if (m_scope.isActive())
        m_scope.first();
    m_state.Countdown = m_state.MonitorPeriod;
}

void PollCycle::refresh()
{
    if (m_refreshView)
        m_refreshView();
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

bool PollCycle::EvaluateAlarm(int value)
{
    const QString alarmStatus = m_scope.fieldText(QStringLiteral("alarm_status"));
    const QString recordHead = m_scope.fieldText(QStringLiteral("device_name")) + QStringLiteral("[") +
                               m_scope.fieldText(QStringLiteral("device_id")) + QStringLiteral("];  ") +
                               m_scope.fieldText(QStringLiteral("node_name")) + QStringLiteral(":");

    // The alarm state and its record go in one transaction: a failure leaves
    // neither, and the row and the log show again what the file holds.
    const auto enterAlarm = [this](const QString& record) {
        Connection& connection = m_scope.connection();
        connection.beginTransaction();
        try {
            writeField(QStringLiteral("alarm_status"), kAlarm);
            const QString time = AddAlarmRecord(record);
            connection.commit();
            // Told only once the record is in the file for good.
            reportAlarm(time, record);
        } catch (const AppError&) {
            connection.rollback();
            m_scope.refreshCurrent();
            m_alarmLog.setSql(kAlarmLogSql);
            m_alarmLog.open();
            throw;
        }
    };

    if (m_scope.fieldText(QStringLiteral("con_data_type")) == NodeTexts::kSwitch) {
        const bool zeroIsNormal =
            m_scope.fieldText(QStringLiteral("node_alarm_type")) == NodeTexts::kZeroNormal;
        const bool abnormal = zeroIsNormal ? value != 0 : value == 0;
        if (!abnormal) {
            writeField(QStringLiteral("con_data"), kNormal);
            writeField(QStringLiteral("alarm_status"), kNormal);
            return false;
        }
        writeField(QStringLiteral("con_data"), kAbnormal);
        if (alarmStatus == kAlarm) {
            writeField(QStringLiteral("alarm_status"), kAlarm);
            return false;
        }
        ++m_state.AlarmConfirmCount;
        if (m_state.AlarmConfirmCount < kConfirmations)
            return true;
        m_state.AlarmConfirmCount = 0;
        enterAlarm(recordHead + kAbnormal);
        return false;
    }

    writeField(QStringLiteral("con_data"), QString::number(value));
    const int lower = m_scope.fieldInt(QStringLiteral("node_data_lower"));
    const int upper = m_scope.fieldInt(QStringLiteral("node_data_upper"));
    if (lower <= value && value <= upper) {
        writeField(QStringLiteral("alarm_status"), kNormal);
        return false;
    }
    if (alarmStatus == kAlarm)
        return false;
    ++m_state.AlarmConfirmCount;
    if (m_state.AlarmConfirmCount < kConfirmations)
        return true;
    m_state.AlarmConfirmCount = 0;
    enterAlarm(recordHead + m_scope.fieldText(QStringLiteral("con_data")) +
               QStringLiteral(";  信息:超限告警"));
    return false;
}

QString PollCycle::AddAlarmRecord(const QString& text)
{
    m_alarmLog.setSql(
        QStringLiteral("Insert into alarm_record ([告警时间],[告警纪录])\nvalues(:告警时间,:告警纪录)"));
    const QDateTime now = Clock::now();
    m_alarmLog.setDateTime(QStringLiteral("告警时间"), now);
    m_alarmLog.setText(QStringLiteral("告警纪录"), text);
    m_alarmLog.execSql();
    m_alarmLog.setSql(kAlarmLogSql);
    m_alarmLog.open();
    return Text::dateTimeText(now);
}
