#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

typedef struct _modbus modbus_t;

// One serial port in use by the link library: its libmodbus context, its line
// settings and the recovery of a port that has gone away.
class RtuLink final
{
public:
    struct LineSettings
    {
        int baud;
        int dataBits;
        char parity; // 'n', 'o' or 'e'
        int stopBits;
    };

    static constexpr int maxRegisters = 40; // the callers' buffer holds 40 elements

    RtuLink(int port, const LineSettings& settings);
    ~RtuLink();
    RtuLink(const RtuLink&) = delete;
    RtuLink& operator=(const RtuLink&) = delete;

    static bool isValid(const LineSettings& settings);

    bool open();
    // function is 3 or 4. Returns the number of registers read or -1.
    int readRegisters(int function, int slave, int reg, int count, int* buffer, int delayMs);
    bool busy() const { return m_busy.load(); }
    // The kind (MBRTU_GOOD ... of modbus_rtu.h) the last read ended with.
    int lastFailure() const { return m_lastFailure.load(); }

private:
    bool connect();
    void disconnect();
    bool ensureConnected();
    long replyTimeoutMicros(int count, int delayMs) const;
    // Sends the request and takes its reply into values; returns the kind.
    int exchange(int function, int slave, int reg, int count, uint16_t* values, long timeoutMicros);

    const int m_port;
    const LineSettings m_settings;
    modbus_t* m_context = nullptr;
    std::mutex m_requestMutex;
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_lastFailure{0};
    std::chrono::steady_clock::time_point m_lastConnectAttempt;
};
