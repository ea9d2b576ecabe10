#include "link/ModbusRtuBus.h"

#include "link/modbus_rtu.h"

int ModbusRtuBus::comOpen(int port, int baud, int dataBits, const QByteArray& parity, int stopBits)
{
    return mbrtuComOpen(port, baud, dataBits, parity.constData(), stopBits);
}

void ModbusRtuBus::setDelay(int delay)
{
    mbrtuSetDelay(delay);
}

int ModbusRtuBus::comWork(int port)
{
    return mbrtuComWork(port);
}

int ModbusRtuBus::fcn03(int port, int slave, int reg, int count, int* buffer)
{
    return mbrtufcn03(port, slave, reg, count, buffer);
}

int ModbusRtuBus::fcn04(int port, int slave, int reg, int count, int* buffer)
{
    return mbrtufcn04(port, slave, reg, count, buffer);
}

void ModbusRtuBus::comClose(int port)
{
    mbrtuComClose(port);
}

ReadFailure ModbusRtuBus::lastFailure(int port)
{
    switch (mbrtuLastFailure(port)) {
    case MBRTU_GOOD:
        return ReadFailure::None;
    case MBRTU_BAD_REPLY:
        return ReadFailure::BadReply;
    case MBRTU_EXCEPTION_REPLY:
        return ReadFailure::ExceptionReply;
    default:
        return ReadFailure::NoReply;
    }
}

int ModbusRtuBus::openFailure(int port)
{
    return mbrtuOpenFailure(port);
}
