#include "link/RtuLink.h"

#include "link/ModbusTcpTransport.h"
#include "link/PortsConfig.h"
#include "link/RtuOverTcpTransport.h"
#include "link/SerialTransport.h"
#include "link/modbus_rtu.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr std::array<int, 8> supportedBauds{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr auto reconnectInterval = std::chrono::seconds(1);
// Opening waits for a gateway at most this long; reconnecting during polling
// at most as long as a silent device or two, so steps go on.
constexpr int openTimeoutMs = 3000;
constexpr int reconnectTimeoutMs = 300;

class BusyScope final
{
public:
    explicit BusyScope(std::atomic<bool>& flag) : m_flag(flag) { m_flag = true; }
    ~BusyScope() { m_flag = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::atomic<bool>& m_flag;
};

} // namespace

RtuLink::RtuLink(int port, const LineSettings& settings) : m_port(port), m_settings(settings) {}

RtuLink::~RtuLink() = default;

bool RtuLink::isValid(const LineSettings& settings)
{
    return std::find(supportedBauds.begin(), supportedBauds.end(), settings.baud) != supportedBauds.end() &&
           settings.dataBits >= 5 && settings.dataBits <= 8 &&
           (settings.parity == 'n' || settings.parity == 'o' || settings.parity == 'e') &&
           (settings.stopBits == 1 || settings.stopBits == 2);
}

bool RtuLink::open()
{
    std::lock_guard<std::mutex> lock(m_requestMutex);
    m_transport.reset();
    // Read on every opening, so that an edited file counts at the next 打开.
    const PortsConfig ports = PortsConfig::load(PortsConfig::userPath());
    for (const PortsConfig::Problem& problem : ports.problems())
        std::fprintf(stderr, "spdmon: %s\n", problem.text.c_str());
    if (const PortsConfig::Gateway* gateway = ports.gateway(m_port)) {
        if (gateway->kind == PortsConfig::Kind::ModbusTcp)
            m_transport = std::make_unique<ModbusTcpTransport>(*gateway, m_settings);
        else
            m_transport = std::make_unique<RtuOverTcpTransport>(*gateway, m_settings);
    } else if (ports.problem(m_port)) {
        // The operator meant a gateway: no serial device of that number instead.
        m_openFailure = MBRTU_OPEN_BAD_LINE;
        return false;
    } else {
        m_transport = std::make_unique<SerialTransport>(m_port, m_settings);
    }
    m_lastConnectAttempt = std::chrono::steady_clock::now();
    if (m_transport->connect(openTimeoutMs))
        return true;
    m_openFailure = m_transport->openFailure();
    return false;
}

int RtuLink::readRegisters(int function, int slave, int reg, int count, int* buffer, int delayMs)
{
    if ((function != 3 && function != 4) || slave < 1 || slave > 247 || reg < 0 || count < 1 ||
        count > maxRegisters || reg + count > 0x10000 || !buffer) {
        m_lastFailure = MBRTU_NO_REPLY;
        return -1;
    }
    // Calls from two threads on one port: the second one is refused, not queued,
    // so that no caller is held for more than one reply time-out.
    std::unique_lock<std::mutex> lock(m_requestMutex, std::try_to_lock);
    if (!lock.owns_lock())
        return -1;
    const BusyScope busy(m_busy);
    m_lastFailure = MBRTU_NO_REPLY;
    if (!ensureConnected())
        return -1;

    std::array<uint16_t, maxRegisters> values{};
    const int kind = m_transport->exchange(function, slave, reg, count, values.data(), delayMs);
    m_lastFailure = kind;
    if (kind != MBRTU_GOOD)
        return -1;
    std::copy_n(values.begin(), count, buffer);
    return count;
}

bool RtuLink::ensureConnected()
{
    if (!m_transport)
        return false;
    if (m_transport->connected())
        return true;
    if (std::chrono::steady_clock::now() - m_lastConnectAttempt < reconnectInterval)
        return false;
    m_lastConnectAttempt = std::chrono::steady_clock::now();
    return m_transport->connect(reconnectTimeoutMs);
}
