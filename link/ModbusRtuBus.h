#pragma once

#include "link/FieldBus.h"

// The real bus: the link library libmodbus_rtu.so.
class ModbusRtuBus final : public FieldBus
{
public:
    int comOpen(int port, int baud, int dataBits, const QByteArray& parity, int stopBits) override;
    void setDelay(int delay) override;
    int comWork(int port) override;
    int fcn03(int port, int slave, int reg, int count, int* buffer) override;
    int fcn04(int port, int slave, int reg, int count, int* buffer) override;
    void comClose(int port) override;
    ReadFailure lastFailure(int port) override;
    int openFailure(int port) override;
};
