#pragma once

#include "link/FieldBus.h"
#include "monitor/LinePoll.h"
#include "monitor/ReadRanges.h"
#include "monitor/SurgeCounter.h"
#include "store/PollStepResult.h"
#include "store/Query.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>
#include <optional>

class BusCounters;
class AlarmStates;
class QDateTime;
struct AlarmChange;
class FieldBus;
class PollEvents;
struct LineSettings;
struct PollState;

// One node per poll tick: read its register through the bus, record the read
// time, confirm communication loss after three failures, judge the value and
// confirm an alarm after three abnormal readings, keep each rise of a surge
// counter as an event (SurgeCounter), then move on through the scope. Works
// on the scope query and the shared state only (a pass ends in a pause of
// MonitorPeriod seconds); each step says what it did, for the window to
// refresh what changed.
class PollCycle final
{
public:
    PollCycle(const LineSettings& line, PollState& poll, Query& scope, FieldBus* bus);

    void setBus(FieldBus* bus) { m_bus = bus; }
    // Told of every written node row and alarm record; null for nobody.
    void setEvents(PollEvents* events) { m_events = events; }
    // Told how each read went; null for nobody.
    void setCounters(BusCounters* counters)
    {
        m_counters = counters;
        m_linePoll.setCounters(counters);
    }
    // Keeps the alarm states in step with the readings; null keeps none.
    void setAlarmStates(AlarmStates* alarms) { m_alarms = alarms; }

    // A poll tick: nothing while the link is busy, otherwise one step. Says
    // which row of the scope the step wrote and whether that ended the pass;
    // throws AppError when the step's write failed.
    PollStepResult pollTick();
    void PollStep();
    // Line mode: one request reads a range of a device's registers (see
    // ReadRanges) and every node of it is written as a single read would
    // write it, in one transaction; one result per node written, the last
    // ending the pass when it did. Nothing while the link is busy.
    QVector<PollStepResult> lineTick();
    // Whether the last line tick sent a request.
    bool lineRequested() const { return m_lineRequested; }
    // Judges a successful reading of the current row; true means hold (the
    // same node is read again at the next tick).
    bool EvaluateAlarm(int value);
    // Monitoring stopped: the next surge event of every device covers the
    // pause. And the scope was opened anew: of the devices it leaves out.
    void readingsPaused();
    void scopeOpened();
    // Inserts one record into the alarm log; returns the record's time as
    // stored. The step tells of the line once its write is committed.
    QString AddAlarmRecord(const QString& text);

private:
    void countRead(int deviceId, bool good, double milliseconds);
    void postStep();
    QVector<AlarmChange> judgeAlarmStates(const QDateTime& readTime, std::optional<bool> lost);
    std::optional<AlarmChange> judgeNodeAlarm(const QDateTime& readTime);
    std::optional<AlarmChange> judgeDeviceLoss(const QDateTime& readTime, std::optional<bool> lost);
    bool readRange(const ReadRange& range, int* values, ReadFailure* failure);
    QVector<PollStepResult> writeRange(const ReadRange& range, const int* values, std::optional<bool> lost,
                                       bool& hold);
    QString deviceHead() const;
    QString nodeHead() const;
    void postStep(const QVector<AlarmChange>& changes);
    void endPass();
    void refresh(int polledRow, bool passEnded);
    void reportRow();
    void reportAlarm(const QString& time, const QString& text);
    void reportSurge(const SurgeEvent& event);
    // False when the count is implausible.
    bool judgeSurgeCount(int deviceId, int count, const QDateTime& time);
    void acceptSurgeCount();

    const LineSettings& m_line;
    PollState& m_poll;
    Query& m_scope;
    Query m_alarmInsert;
    FieldBus* m_bus;
    PollStepResult m_result;               // of the step under way
    std::optional<QString> m_pendingAlarm; // the record of an alarm this step enters
    Query m_surgeInsert;
    SurgeCounter m_surgeCounter;
    // A good reading of a surge counter this step stores, and the event it makes.
    struct SurgeReading
    {
        int deviceId;
        int count;
        QDateTime time;
    };
    std::optional<SurgeReading> m_surgeReading;
    std::optional<SurgeEvent> m_pendingSurge;
    Query m_nodeCheck; // whether other nodes of a device are lost
    PollEvents* m_events = nullptr;
    BusCounters* m_counters = nullptr;
    AlarmStates* m_alarms = nullptr;

    // Line mode: its requests, and abnormal readings in a row by node row id.
    LinePoll m_linePoll;
    bool m_lineRequested = false;
    QHash<qint64, int> m_abnormalInRow;
};
