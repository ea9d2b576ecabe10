#pragma once

#include "link/PortsConfig.h"
#include "link/RtuFrames.h"
#include "link/Transport.h"

#include <string>

typedef struct _modbus modbus_t;

// What both kinds of gateway share: the claim on host:port within this
// program, the bounded connect and a libmodbus context on our own socket.
// A kind says only which context frames its requests and how it exchanges.
class GatewayTransport : public Transport
{
public:
    GatewayTransport(const PortsConfig::Gateway& gateway, const RtuLineSettings& line);
    ~GatewayTransport() override;
    GatewayTransport(const GatewayTransport&) = delete;
    GatewayTransport& operator=(const GatewayTransport&) = delete;

    bool connect(int timeoutMs) override;
    void disconnect() override;
    bool connected() const override { return m_context != nullptr; }
    int openFailure() const override { return m_openFailure; }

protected:
    // A new context of the kind, not yet given a socket; null on failure.
    virtual modbus_t* newContext() const = 0;

    const PortsConfig::Gateway m_gateway;
    // The gateway's own line is not ours to set; its frame times still count
    // in the reply time-out.
    const RtuLineSettings m_line;
    modbus_t* m_context = nullptr;

private:
    const std::string m_endpoint;
    bool m_claimed = false;
    int m_openFailure = 0;
};
