#pragma once

#include "link/GatewayTransport.h"

// A Modbus TCP gateway: libmodbus's TCP client, the device's bus address as
// the unit id.
class ModbusTcpTransport final : public GatewayTransport
{
public:
    using GatewayTransport::GatewayTransport;

    int exchange(int function, int slave, int reg, int count, uint16_t* values, int delayMs) override;

private:
    modbus_t* newContext() const override;
};
