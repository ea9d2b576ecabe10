#include "display/RemainingLife.h"

#include <QDateTime>
#include <cstdlib>

namespace RemainingLife {

namespace {
constexpr qint64 kMsecsPerDay = 24 * 60 * 60 * 1000;
} // namespace

qint64 moment(const QDate& date, const QTime& time)
{
    return date.toJulianDay() * kMsecsPerDay + time.msecsSinceStartOfDay();
}

qint64 moment(const QDateTime& value)
{
    return moment(value.date(), value.time());
}

int daysBetween(qint64 a, qint64 b)
{
    return int(std::llabs(a - b) / kMsecsPerDay);
}

int percent(qint64 installed, qint64 now)
{
    const int days = daysBetween(now, installed);
    if (days < kServiceLifeDays)
        return (kServiceLifeDays - days) * 100 / kServiceLifeDays;
    return 0;
}

qint64 nextChange(qint64 installed, qint64 now)
{
    const qint64 days = daysBetween(now, installed);
    // Counting up after the installation, down towards one in the future.
    return now >= installed ? installed + (days + 1) * kMsecsPerDay : installed - days * kMsecsPerDay + 1;
}

int percent(const QDateTime& installed, const QDateTime& now)
{
    return percent(moment(installed), moment(now));
}

} // namespace RemainingLife
