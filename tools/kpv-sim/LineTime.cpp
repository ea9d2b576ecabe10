#include "tools/kpv-sim/LineTime.h"

#include <cmath>

namespace {
constexpr int maxTurnaroundMs = 60000;
} // namespace

LineTime::LineTime(const Settings& settings) : m_settings(settings) {}

double LineTime::characterMicros() const
{
    const int bits = 1 + m_settings.dataBits + (m_settings.parity == 'n' ? 0 : 1) + m_settings.stopBits;
    return bits * 1e6 / m_settings.baud;
}

std::chrono::microseconds LineTime::exchange(int address, int requestBytes, int replyBytes) const
{
    // Above 19200 baud RTU fixes the silence at 1750 us instead of shrinking it further.
    const double silence = m_settings.baud > 19200 ? 1750.0 : 3.5 * characterMicros();
    const double turnaround = 1000.0 * m_turnarounds.value(address, m_turnaroundMs);
    const double busy = (requestBytes + replyBytes) * characterMicros() + 2 * silence + turnaround;
    return std::chrono::microseconds(std::llround(busy));
}

bool LineTime::handles(const QString& commandLine)
{
    return commandLine.simplified().section(QLatin1Char(' '), 0, 0) == QLatin1String("turnaround");
}

bool LineTime::execute(const QString& commandLine, QStringList* lines)
{
    const QStringList words = commandLine.simplified().split(QLatin1Char(' '));
    bool ok = words.size() == 3;
    int address = 0; // all, including devices added later
    if (ok && words.at(1) != QLatin1String("all")) {
        address = words.at(1).toInt(&ok);
        ok = ok && address >= 1 && address <= 247;
    }
    int ms = 0;
    if (ok) {
        ms = words.at(2).toInt(&ok);
        ok = ok && ms >= 0 && ms <= maxTurnaroundMs;
    }
    if (!ok) {
        *lines = {QStringLiteral("error: turnaround needs an address (1 to 247) or all, and 0 to 60000 ms")};
        return false;
    }
    if (address == 0) {
        m_turnaroundMs = ms;
        m_turnarounds.clear();
    } else {
        m_turnarounds.insert(address, ms);
    }
    *lines = {QStringLiteral("ok ") + words.join(QLatin1Char(' '))};
    return true;
}
