#pragma once

#include <string>

// Added to a gateway's reply time-out for the network and the gateway's own
// turn-around (README).
constexpr long gatewayAllowanceMicros = 100000;

// Connects a TCP socket to host:port within timeoutMs, name lookup included;
// returns the descriptor (blocking, Nagle off) or -1 with *failure set to
// MBRTU_OPEN_NO_HOST, _REFUSED, _TIMEOUT or _UNREACHABLE.
int tcpConnect(const std::string& host, int port, int timeoutMs, int* failure);

// One program uses a gateway through one port number only: a second port
// naming the same host:port is refused while the first holds it.
bool claimEndpoint(const std::string& endpoint);
void releaseEndpoint(const std::string& endpoint);
