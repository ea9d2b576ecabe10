#pragma once

#include <cstdint>

// One way of reaching a bus, chosen when the port opens: the serial line,
// RTU frames through a TCP connection, or a Modbus TCP gateway. RtuLink keeps
// what is common (argument checks, one request at a time, the failure kind,
// reconnecting at most once a second) and asks the transport for the rest.
class Transport
{
public:
    virtual ~Transport() = default;

    // Connects within timeoutMs (a serial line opens at once); false with
    // openFailure() saying why.
    virtual bool connect(int timeoutMs) = 0;
    virtual void disconnect() = 0;
    virtual bool connected() const = 0;
    // Sends one read request (function 3 or 4) and takes its reply into
    // values; returns the kind (MBRTU_GOOD ... of modbus_rtu.h). Disconnects
    // itself when the line or connection turned out to be gone.
    virtual int exchange(int function, int slave, int reg, int count, uint16_t* values, int delayMs) = 0;
    // MBRTU_OPEN_... of modbus_rtu.h, for the last failed connect().
    virtual int openFailure() const = 0;
};
