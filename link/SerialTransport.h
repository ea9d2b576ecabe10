#pragma once

#include "link/RtuFrames.h"
#include "link/Transport.h"

// The RS-485 line on a serial device (PORTS.md: how the number becomes one).
class SerialTransport final : public Transport
{
public:
    SerialTransport(int port, const RtuLineSettings& line);
    ~SerialTransport() override;
    SerialTransport(const SerialTransport&) = delete;
    SerialTransport& operator=(const SerialTransport&) = delete;

    bool connect(int timeoutMs) override;
    void disconnect() override;
    bool connected() const override { return m_context != nullptr; }
    int exchange(int function, int slave, int reg, int count, uint16_t* values, int delayMs) override;
    int openFailure() const override;

private:
    const int m_port;
    const RtuLineSettings m_line;
    modbus_t* m_context = nullptr;
};
