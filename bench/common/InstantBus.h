#pragma once

#include "link/FieldBus.h"

// A bus that answers every read at once, so a benchmark measures the poll
// step and not the line.
class InstantBus final : public FieldBus
{
public:
    int comOpen(int, int, int, const QByteArray&, int) override { return 1; }
    void setDelay(int) override {}
    int comWork(int) override { return 0; }
    int fcn03(int, int slave, int reg, int, int* buffer) override
    {
        // A few abnormal devices keep the alarm path busy too.
        buffer[0] = (slave % 50 == 0 && reg != 5) ? 0xFFFF : 0;
        return 1;
    }
    int fcn04(int port, int slave, int reg, int count, int* buffer) override
    {
        return fcn03(port, slave, reg, count, buffer);
    }
    void comClose(int) override {}
    ReadFailure lastFailure(int) override { return ReadFailure::None; }
};
