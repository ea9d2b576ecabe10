#include "link/GatewayTransport.h"

#include "link/TcpConnect.h"
#include "link/modbus_rtu.h"

#include <modbus/modbus.h>
#include <unistd.h>

GatewayTransport::GatewayTransport(const PortsConfig::Gateway& gateway, const RtuLineSettings& line)
    : m_gateway(gateway), m_line(line), m_endpoint(gateway.host + ":" + std::to_string(gateway.tcpPort))
{
}

GatewayTransport::~GatewayTransport()
{
    disconnect();
    if (m_claimed)
        releaseEndpoint(m_endpoint);
}

bool GatewayTransport::connect(int timeoutMs)
{
    if (!m_claimed && !(m_claimed = claimEndpoint(m_endpoint))) {
        m_openFailure = MBRTU_OPEN_IN_USE;
        return false;
    }
    const int fd = tcpConnect(m_gateway.host, m_gateway.tcpPort, timeoutMs, &m_openFailure);
    if (fd == -1)
        return false;
    m_context = newContext();
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

void GatewayTransport::disconnect()
{
    if (!m_context)
        return;
    modbus_close(m_context);
    modbus_free(m_context);
    m_context = nullptr;
}
