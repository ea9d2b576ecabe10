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

ModbusTcpTransport::ModbusTcpTransport(const PortsConfig::Gateway& gateway, const RtuLineSettings& line)
    : m_gateway(gateway), m_endpoint(gateway.host + ":" + std::to_string(gateway.tcpPort)), m_line(line)
{
}

ModbusTcpTransport::~ModbusTcpTransport()
{
    disconnect();
    if (m_claimed)
        releaseEndpoint(m_endpoint);
}

bool ModbusTcpTransport::connect(int timeoutMs)
{
    if (!m_claimed && !(m_claimed = claimEndpoint(m_endpoint))) {
        m_openFailure = MBRTU_OPEN_IN_USE;
        return false;
    }
    const int fd = tcpConnect(m_gateway.host, m_gateway.tcpPort, timeoutMs, &m_openFailure);
    if (fd == -1)
        return false;
    // The connection is ours (bounded, any address family); the context
    // only speaks Modbus TCP on it.
    m_context = modbus_new_tcp("127.0.0.1", m_gateway.tcpPort);
    if (!m_context) {
        ::close(fd);
        m_openFailure = MBRTU_OPEN_UNREACHABLE;
        return false;
    }
    modbus_set_error_recovery(m_context, MODBUS_ERROR_RECOVERY_NONE);
    modbus_set_byte_timeout(m_context, 0, 0);
    modbus_set_socket(m_context, fd);
    return true;
}

void ModbusTcpTransport::disconnect()
{
    if (!m_context)
        return;
    modbus_close(m_context);
    modbus_free(m_context);
    m_context = nullptr;
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
