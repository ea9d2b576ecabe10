#include "link/ModbusTcpTransport.h"

#include "link/TcpConnect.h"
#include "link/modbus_rtu.h"

#include <cerrno>
#include <modbus/modbus.h>
#include <unistd.h>

namespace {

// The kind of a failed read from libmodbus's errno.
int failureKind(int error)
{
    // The gateway answering for a device that did not (path unavailable,
    // target failed to respond) is the silence of a serial line.
    if (error == MODBUS_ENOBASE + MODBUS_EXCEPTION_GATEWAY_PATH ||
        error == MODBUS_ENOBASE + MODBUS_EXCEPTION_GATEWAY_TARGET)
        return MBRTU_NO_REPLY;
    if (error > MODBUS_ENOBASE && error < MODBUS_ENOBASE + MODBUS_EXCEPTION_MAX)
        return MBRTU_EXCEPTION_REPLY;
    if (error == EMBBADCRC || error == EMBBADDATA || error == EMBBADEXC || error == EMBUNKEXC ||
        error == EMBMDATA || error == EMBBADSLAVE)
        return MBRTU_BAD_REPLY;
    return MBRTU_NO_REPLY;
}

} // namespace

modbus_t* ModbusTcpTransport::newContext() const
{
    // The connection is ours (bounded, any address family); the context
    // only speaks Modbus TCP on it.
    return modbus_new_tcp("127.0.0.1", m_gateway.tcpPort);
}

int ModbusTcpTransport::exchange(int function, int slave, int reg, int count, uint16_t* values, int delayMs)
{
    // A late reply to an earlier request is read away; libmodbus also checks
    // each reply's transaction id.
    modbus_flush(m_context);
    const long timeout = rtuReplyTimeoutMicros(m_line, count, delayMs) + gatewayAllowanceMicros;
    modbus_set_response_timeout(m_context, uint32_t(timeout / 1000000), uint32_t(timeout % 1000000));
    modbus_set_slave(m_context, slave);
    const int read = function == 3 ? modbus_read_registers(m_context, reg, count, values)
                                   : modbus_read_input_registers(m_context, reg, count, values);
    if (read == count)
        return MBRTU_GOOD;
    const int error = read == -1 ? errno : EMBBADDATA;
    if (lineLost(error))
        disconnect();
    return failureKind(error);
}
