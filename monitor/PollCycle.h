#pragma once

#include <QString>
#include <functional>

class FieldBus;
class PollEvents;
class Query;
struct MainState;

// One node per poll tick: read its register through the bus, record the read
// time, confirm communication loss after three failures, judge the value and
// confirm an alarm after three abnormal readings, then move on through the
// scope. Works on the scope query and the shared state only (a pass ends in
// a pause of MonitorPeriod seconds); the window supplies the view refresh.
class PollCycle final
{
public:
    PollCycle(MainState& state, Query& scope, Query& alarmLog, FieldBus* bus);

    void setBus(FieldBus* bus) { m_bus = bus; }
    // Refreshes the view of the current selection in update mode.
    void setRefreshView(std::function<void()> refresh) { m_refreshView = std::move(refresh); }
    // Told of every written node row and alarm record; null for nobody.
    void setEvents(PollEvents* events) { m_events = events; }

    // A poll tick: nothing while the link is busy, otherwise one step.
    void pollTick();
    void PollStep();
    // Judges a successful reading of the current row; true means hold (the
    // same node is read again at the next tick).
    bool EvaluateAlarm(int value);
    // Appends one record to the alarm log and reopens the log's query;
    // returns the record's time as stored.
    QString AddAlarmRecord(const QString& text);

private:
    void writeField(const QString& column, const QVariant& value);
    void endPass();
    void refresh();
    void reportRow();
    void reportAlarm(const QString& time, const QString& text);

    MainState& m_state;
    Query& m_scope;
    Query& m_alarmLog;
    FieldBus* m_bus;
    std::function<void()> m_refreshView;
    PollEvents* m_events = nullptr;
};
