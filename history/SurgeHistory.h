#pragma once

#include <QDate>
#include <QStringList>
#include <QVector>

class Query;

// What the surge history window shows, without widgets: the period picked,
// the surges per hour, day or month over it, the events and the totals per
// device. Buckets follow the local time the events are stored in, so a day
// is a calendar day whatever the daylight-saving shift.
namespace SurgeHistory {

enum class Span { Day, Week, Month, Year, Custom };
enum class Bucket { Hour, Day, Month };

// Whole days [first, end) and the bucket size its chart uses.
struct Period
{
    QDate first;
    QDate end;
    Bucket bucket = Bucket::Day;
};

// The day, the week from Monday, the month or the year holding today; a
// custom period runs from the first to the last day given, both included,
// in hours up to two days, in days up to 92, in months beyond.
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
