#pragma once

#include "link/RtuFrames.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

class Transport;

// One port in use by the link library: the transport chosen when it opened
// (serial line or gateway), one request at a time, and the recovery of a
// line or connection that has gone away.
class RtuLink final
{
public:
    using LineSettings = RtuLineSettings;

    static constexpr int maxRegisters = 40; // the callers' buffer holds 40 elements

    RtuLink(int port, const LineSettings& settings);
    ~RtuLink();
    RtuLink(const RtuLink&) = delete;
    RtuLink& operator=(const RtuLink&) = delete;

    static bool isValid(const LineSettings& settings);

    // Chooses the transport (ports.conf, else the serial device) and
    // connects; false with openFailure() saying why.
    bool open();
    int openFailure() const { return m_openFailure; }
    // function is 3 or 4. Returns the number of registers read or -1.
    int readRegisters(int function, int slave, int reg, int count, int* buffer, int delayMs);
    bool busy() const { return m_busy.load(); }
    // The kind (MBRTU_GOOD ... of modbus_rtu.h) the last read ended with.
    int lastFailure() const { return m_lastFailure.load(); }

private:
    bool ensureConnected();

    const int m_port;
    const LineSettings m_settings;
    std::unique_ptr<Transport> m_transport;
    std::mutex m_requestMutex;
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_lastFailure{0};
    int m_openFailure = 0;
    std::chrono::steady_clock::time_point m_lastConnectAttempt;
};
