#pragma once

#include <cstdint>

typedef struct _modbus modbus_t;

// What the serial line and RTU over TCP share: the RTU exchange on a libmodbus
// RTU context and its reply time-out.
struct RtuLineSettings
{
    int baud;
    int dataBits;
    char parity; // 'n', 'o' or 'e'
    int stopBits;
};

// Errors after which the descriptor is useless: adapter unplugged, pty
// master gone, connection closed, or the read saw end of file.
bool lineLost(int error);

// The frame times of request and reply at the line's settings plus delayMs.
long rtuReplyTimeoutMicros(const RtuLineSettings& line, int count, int delayMs);

// Sends the read request and takes its reply into values; returns the kind
// (MBRTU_GOOD ...). After a failure, lineLost(errno) says whether the line is gone.
int rtuExchange(modbus_t* context, int function, int slave, int reg, int count, uint16_t* values,
                long timeoutMicros);
