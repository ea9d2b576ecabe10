#pragma once

#include "link/PortsConfig.h"
#include "link/RtuFrames.h"
#include "link/Transport.h"

#include <string>

// RTU frames through a TCP connection to a transparent serial device server:
// libmodbus's RTU backend (framing by length, CRC) on a socket of our own.
class RtuOverTcpTransport final : public Transport
{
public:
    RtuOverTcpTransport(const PortsConfig::Gateway& gateway, const RtuLineSettings& line);
    ~RtuOverTcpTransport() override;
    RtuOverTcpTransport(const RtuOverTcpTransport&) = delete;
    RtuOverTcpTransport& operator=(const RtuOverTcpTransport&) = delete;

    bool connect(int timeoutMs) override;
    void disconnect() override;
    bool connected() const override { return m_context != nullptr; }
    int exchange(int function, int slave, int reg, int count, uint16_t* values, int delayMs) override;
    int openFailure() const override { return m_openFailure; }

private:
    const PortsConfig::Gateway m_gateway;
    const std::string m_endpoint;
    const RtuLineSettings m_line;
    modbus_t* m_context = nullptr;
    bool m_claimed = false;
    int m_openFailure = 0;
};
