#include "store/Clock.h"

#include <mutex>

namespace {
// Read by the station's thread and the window's, set by tests on either.
std::mutex fixedMutex;

QDateTime& fixedNow()
{
    static QDateTime value;
    return value;
}
} // namespace

QDateTime Clock::now()
{
    const std::lock_guard lock(fixedMutex);
    return fixedNow().isValid() ? fixedNow() : QDateTime::currentDateTime();
}

void Clock::setFixed(const QDateTime& value)
{
    const std::lock_guard lock(fixedMutex);
    fixedNow() = value;
}
