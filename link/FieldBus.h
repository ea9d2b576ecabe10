#pragma once

#include <QByteArray>

// How the last read on a port ended (see mbrtuLastFailure).
enum class ReadFailure { None, NoReply, BadReply, ExceptionReply };

// The operations of the serial link library as the program uses them.
// Windows and the poll step talk to the bus only through this, so tests can
// script the answers.
class FieldBus
{
public:
    virtual ~FieldBus() = default;
    virtual int comOpen(int port, int baud, int dataBits, const QByteArray& parity, int stopBits) = 0;
    virtual void setDelay(int delay) = 0;
    virtual int comWork(int port) = 0;
    // Reads one register into buffer[0]; -1 when there was no valid answer.
    virtual int fcn03(int port, int slave, int reg, int count, int* buffer) = 0;
    virtual int fcn04(int port, int slave, int reg, int count, int* buffer) = 0;
    virtual void comClose(int port) = 0;
    virtual ReadFailure lastFailure(int port) = 0;
    // Why the last comOpen of the port failed: MBRTU_OPEN_... of link/modbus_rtu.h.
    virtual int openFailure(int /*port*/) { return 0; }
};
