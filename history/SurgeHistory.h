#pragma once

#include <QDate>
#include <QStringList>
#include <QVector>

class Query;

// What the surge history window shows, without widgets: the period picked,
// the surges per hour, day, month or year over it, the events and the totals per
// device. Buckets follow the local time the events are stored in, so a day
// is a calendar day whatever the daylight-saving shift.
namespace SurgeHistory {

enum class Span { Day, Week, Month, Year, Custom };
enum class Bucket { Hour, Day, Month, Year };

// Whole days [first, end) and the bucket size its chart uses.
struct Period
{
    QDate first;
    QDate end;
    Bucket bucket = Bucket::Day;
};

// The days a custom period may start and end on: a clock set wrong writes
// no earlier time than 1970, and the chart stays at most 130 bars.
inline const QDate kFirstDay(1970, 1, 1);
inline const QDate kLastDay(2099, 12, 31);

// The day, the week from Monday, the month or the year holding today; a
// custom period runs from the first to the last day given, both included
// and kept within kFirstDay to kLastDay, in hours up to two days, in days up
// to 92, in months up to eight years and in years beyond.
Period period(Span span, const QDate& today, const QDate& customFirst = {}, const QDate& customLast = {});

struct Bar
{
    QString label;
    int surges = 0;
};

// One bar per bucket of the period, empty ones included; deviceId 0 for all.
QVector<Bar> bars(Query& query, const Period& period, int deviceId);

// The events' columns as shown and exported.
QStringList eventHeader();
// At most limit events of the period, newest first, as texts (-1 for all).
QVector<QStringList> events(Query& query, const Period& period, int deviceId, int limit);

struct DeviceTotal
{
    int deviceId = 0;
    int surges = 0;
    int events = 0;
};
// Per device with events in the period, by address.
QVector<DeviceTotal> totals(Query& query, const Period& period, int deviceId);

} // namespace SurgeHistory
