#pragma once

#include "link/GatewayTransport.h"

// RTU frames through a TCP connection to a transparent serial device server:
// libmodbus's RTU backend (framing by length, CRC) on a socket of our own.
class RtuOverTcpTransport final : public GatewayTransport
{
public:
    using GatewayTransport::GatewayTransport;

    int exchange(int function, int slave, int reg, int count, uint16_t* values, int delayMs) override;

private:
    modbus_t* newContext() const override;
};
