#pragma once

#include "tools/kpv-sim/DeviceTable.h"
#include "tools/kpv-sim/KpvBus.h"
#include "tools/kpv-sim/LineTime.h"
#include "tools/kpv-sim/RtuFramer.h"
#include "tools/kpv-sim/TcpEndpoint.h"

#include <QByteArray>
#include <QList>
#include <chrono>
#include <optional>

// Serves the bus on the pty master (none: -1) and on the TCP endpoints added,
// and takes commands from standard input until "quit" or a termination
// signal. With a device table, devices added to it meanwhile join the bus
// before a command runs and when a request names an address not simulated yet.
// With a line time, each reply leaves when the exchange would end on the line;
// without, at once. "trace on" prints a line for each request received, for
// whoever measures the station's passes.
class SimLoop final
{
public:
    SimLoop(int masterFd, KpvBus& bus, const DeviceTable* devices, LineTime* lineTime);

    // Serves the bus there as well; "gateway down" and "gateway up" switch it.
    void addEndpoint(TcpEndpoint& endpoint) { m_endpoints.append(&endpoint); }

    // The line "help" adds to KpvBus::commandHelp().
    static QString gatewayHelp();
    // Runs one command as if typed, printing its result.
    bool runCommand(const QString& line);
    void run();

private:
    using Clock = std::chrono::steady_clock;

    struct PendingReply
    {
        Clock::time_point due;
        QByteArray bytes;
        TcpEndpoint::Deliver deliver;
    };

    void addDevicesFromTable();
    // When the loop must wake up; never when none.
    std::optional<Clock::time_point> wakeAt() const;
    void readRequests();
    void readCommands();
    // lastByte: when the request's last byte came, where its exchange on the line began.
    void handleFrame(const QByteArray& frame, const TcpEndpoint::Deliver& deliver,
                     Clock::time_point lastByte);
    KpvBus::CommandResult switchGateways(const QString& state);
    void sendDueReplies();
    void send(const QByteArray& bytes);

    const int m_masterFd;
    KpvBus& m_bus;
    const DeviceTable* const m_devices;
    LineTime* const m_lineTime;
    QList<TcpEndpoint*> m_endpoints;
    const TcpEndpoint::Deliver m_toPty;
    RtuFramer m_framer;
    QList<PendingReply> m_pending;
    QByteArray m_commandBuffer;
    Clock::time_point m_lastByte;
    bool m_trace = false;
    bool m_stdinOpen = true;
    bool m_quit = false;
};
