#pragma once

#include <QtGlobal>

class QDate;
class QDateTime;
class QTime;

// A device's remaining service life, counted down from its installation date
// over a fixed life of 1825 days (five years of 365 days).
namespace RemainingLife {

constexpr int kServiceLifeDays = 1825;

// A local date and time as a count of milliseconds, days and time of day as
// shown, without time-zone or daylight-saving shifts. Built from the parts so
// that the overview, which needs one per node row, never asks the time zone.
qint64 moment(const QDate& date, const QTime& time);
qint64 moment(const QDateTime& value);

// Whole days between two moments, in either direction, truncated.
int daysBetween(qint64 a, qint64 b);

// 100 on the day of installation, 80 after 365 days, 0 from 1807 days on. An
// installation date in the future counts like one as far in the past.
int percent(qint64 installed, qint64 now);
// The first moment after now at which percent(installed, ...) may differ
// from percent(installed, now).
qint64 nextChange(qint64 installed, qint64 now);
int percent(const QDateTime& installed, const QDateTime& now);

} // namespace RemainingLife
