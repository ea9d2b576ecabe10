#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <chrono>

// How long an exchange keeps an RS-485 line busy: the request and the reply
// at the line's character length, the 3.5-character silence after each and
// the device's turnaround between them. kpv-sim answers that late with
// --line-time, so that polling on a pty takes as long as on a real bus.
class LineTime final
{
public:
    struct Settings
    {
        int baud = 9600;
        int dataBits = 8;
        char parity = 'n'; // n, o or e
        int stopBits = 1;
    };

    static constexpr int defaultTurnaroundMs = 5;

    explicit LineTime(const Settings& settings);

    // From the end of receiving the request to the end of sending the reply
    // the line is busy for the request, its silence, the turnaround, the
    // reply and its silence.
    std::chrono::microseconds exchange(int address, int requestBytes, int replyBytes) const;
    // "turnaround <addr> <ms>": false when the line is some other command.
    static bool handles(const QString& commandLine);
    // Runs a command handles() took: ok and the lines to print.
    bool execute(const QString& commandLine, QStringList* lines);

private:
    double characterMicros() const;

    Settings m_settings;
    int m_turnaroundMs = defaultTurnaroundMs;
    QHash<int, int> m_turnarounds; // by address, where set apart from the rest
};
