#pragma once

#include "link/PortsConfig.h"
#include "link/RtuFrames.h"
#include "link/Transport.h"

#include <string>

// A Modbus TCP gateway: libmodbus's TCP client, the device's bus address as
// the unit id.
class ModbusTcpTransport final : public Transport
{
public:
    ModbusTcpTransport(const PortsConfig::Gateway& gateway, const RtuLineSettings& line);
    ~ModbusTcpTransport() override;
    ModbusTcpTransport(const ModbusTcpTransport&) = delete;
    ModbusTcpTransport& operator=(const ModbusTcpTransport&) = delete;

    bool connect(int timeoutMs) override;
    void disconnect() override;
    bool connected() const override { return m_context != nullptr; }
    int exchange(int function, int slave, int reg, int count, uint16_t* values, int delayMs) override;
    int openFailure() const override { return m_openFailure; }

private:
    const PortsConfig::Gateway m_gateway;
    const std::string m_endpoint;
    // The gateway's own line is not ours to set; its frame times still count
    // in the reply time-out.
    const RtuLineSettings m_line;
    modbus_t* m_context = nullptr;
    bool m_claimed = false;
    int m_openFailure = 0;
};
