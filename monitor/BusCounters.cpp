#include "monitor/BusCounters.h"

#include "store/Text.h"

#include <algorithm>

QString DeviceCounters::summary() const
{
    const auto ms = [](double value) {
        return value < 0 ? QStringLiteral("-") : QString::number(value, 'f', 1);
    };
    return QStringLiteral("请求 %1，正常 %2，无应答 %3，错误应答 %4，异常应答 %5\n"
                          "响应时间(毫秒) 最近 %6 最小 %7 平均 %8 最大 %9\n"
                          "最近正常应答 %10，连续失败 %11")
        .arg(requests)
        .arg(good)
        .arg(noReply)
        .arg(badReply)
        .arg(exceptionReply)
        .arg(ms(lastMs), ms(minMs), ms(meanMs()), ms(maxMs),
             lastGood.isNull() ? QStringLiteral("-") : Text::dateTimeText(lastGood))
        .arg(consecutiveFailures);
}

void BusCounters::record(int deviceId, ReadFailure failure, double milliseconds, const QDateTime& at)
{
    DeviceCounters& counters = m_devices[deviceId];
    counters.deviceId = deviceId;
    counters.rangesRefused = m_refusing.contains(deviceId);
    ++counters.requests;
    ++counters.consecutiveFailures;
    switch (failure) {
    case ReadFailure::None:
        ++counters.good;
        counters.lastMs = milliseconds;
        counters.minMs = counters.minMs < 0 ? milliseconds : std::min(counters.minMs, milliseconds);
        counters.maxMs = std::max(counters.maxMs, milliseconds);
        counters.totalMs += milliseconds;
        counters.lastGood = at;
        counters.consecutiveFailures = 0;
        break;
    case ReadFailure::NoReply:
        ++counters.noReply;
        break;
    case ReadFailure::BadReply:
        ++counters.badReply;
        break;
    case ReadFailure::ExceptionReply:
        ++counters.exceptionReply;
        break;
    }
    emit deviceChanged(counters);
}

void BusCounters::rangesRefused(int deviceId)
{
    m_refusing.insert(deviceId);
    DeviceCounters& counters = m_devices[deviceId];
    counters.deviceId = deviceId;
    counters.rangesRefused = true;
    emit deviceChanged(counters);
}

void BusCounters::reset()
{
    m_devices.clear();
    emit cleared();
}
