#pragma once

class QDateTime;

// A device's remaining service life, counted down from its installation date
// over a fixed life of 1825 days (five years of 365 days).
namespace RemainingLife {

constexpr int kServiceLifeDays = 1825;

// Whole days between the two moments, in either direction, truncated.
// Local date and time as shown, without daylight-saving shifts.
int daysBetween(const QDateTime& a, const QDateTime& b);

// 100 on the day of installation, 80 after 365 days, 0 from 1807 days on. An
// installation date in the future counts like one as far in the past.
int percent(const QDateTime& installDate, const QDateTime& now);

} // namespace RemainingLife
