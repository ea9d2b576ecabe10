#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

class Query;

// One rise (or fall) of a device's surge counter between two good readings.
struct SurgeEvent
{
    int deviceId = 0;
    QString deviceName;
    QDateTime time;     // of the reading that saw the new count
    QDateTime gapStart; // the last good reading before a communication gap; invalid without one
    int countBefore = 0;
    int countAfter = 0;
    int surges = 0; // 0 for a reset or an implausible count
    bool reset = false;
    bool implausible = false; // countAfter was kept out of the count
};

// surge_event, the surge counter's history, through the caller's query.
// Times are stored in local time as shown, so a prefix of the stored text is
// its hour, day or month. A device id of 0 means every device. Every failure
// throws AppError.
class SurgeLogTable final
{
public:
    explicit SurgeLogTable(Query& query) : m_query(query) {}

    void add(const SurgeEvent& event);
    // The surges of the events in [from, to), times in their stored text
    // form: one range scan of an index, no sorting, for one bar of a chart.
    int surgesBetween(const QString& from, const QString& to, int deviceId);
    // Columns event_time, device_id, device_name, surges, count_before,
    // count_after, kind and gap_start of at most limit events in [from, to),
    // newest first; a limit of -1 means all of them.
    void openEvents(const QDateTime& from, const QDateTime& to, int deviceId, int limit);
    // Columns device_id, surges and events per device with events in
    // [from, to), by device id; read in order from the device index alone.
    void openTotals(const QDateTime& from, const QDateTime& to, int deviceId);
    // The surges per device address in the 30 days up to now; devices
    // without any are left out.
    QHash<int, int> lastThirtyDays(const QDateTime& now);

private:
    void open(const QDateTime& from, const QDateTime& to, int deviceId);

    Query& m_query;
};
