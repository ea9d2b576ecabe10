#include "display/RemainingLife.h"

#include <QDateTime>
#include <cstdlib>

namespace RemainingLife {

namespace {
constexpr qint64 kMsecsPerDay = 24 * 60 * 60 * 1000;

qint64 msecsSinceEpochDay(const QDateTime& value)
{
    return value.date().toJulianDay() * kMsecsPerDay + value.time().msecsSinceStartOfDay();
}
} // namespace

int daysBetween(const QDateTime& a, const QDateTime& b)
{
    return int(std::llabs(msecsSinceEpochDay(a) - msecsSinceEpochDay(b)) / kMsecsPerDay);
}

int percent(const QDateTime& installDate, const QDateTime& now)
{
    const int days = daysBetween(now, installDate);
    if (days < kServiceLifeDays)
        return (kServiceLifeDays - days) * 100 / kServiceLifeDays;
    return 0;
}

} // namespace RemainingLife

