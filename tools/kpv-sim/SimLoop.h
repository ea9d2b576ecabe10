#pragma once

#include "tools/kpv-sim/KpvBus.h"
#include "tools/kpv-sim/RtuFramer.h"

#include <QByteArray>
#include <QList>
#include <chrono>

// Serves the bus on the pty master and takes commands from standard input
// until "quit" or a termination signal.
class SimLoop final
{
public:
    SimLoop(int masterFd, KpvBus& bus);

    // Runs one command as if typed, printing its result.
    bool runCommand(const QString& line);
    void run();

private:
    using Clock = std::chrono::steady_clock;

    struct PendingReply
    {
        Clock::time_point due;
        QByteArray bytes;
    };

    int pollTimeoutMs() const;
    void readRequests();
    void readCommands();
    void handleFrame(const QByteArray& frame);
    void sendDueReplies();
    void send(const QByteArray& bytes);

    const int m_masterFd;
    KpvBus& m_bus;
    RtuFramer m_framer;
    QList<PendingReply> m_pending;
    QByteArray m_commandBuffer;
    Clock::time_point m_lastByte;
    bool m_stdinOpen = true;
    bool m_quit = false;
};
