#pragma once

#include <string>
#include <vector>

// The gateway ports of ports.conf: one line a port, "COM5 = rtu-over-tcp
// 192.168.1.50:4001" or "COM6 = modbus-tcp gw.local:502"; '#' starts a
// comment line. Such a port number stands for the gateway instead of a comN
// link or the default serial device of that number.
class PortsConfig final
{
public:
    enum class Kind { RtuOverTcp, ModbusTcp };

    struct Gateway
    {
        int port; // COM number
        Kind kind;
        std::string host;
        int tcpPort;
    };

    struct Problem
    {
        int port; // the COM number the refused line names, 0 when it names none
        std::string text; // "<file> line <n>: <reason>"
    };

    // $XDG_CONFIG_HOME/spdmon/ports.conf, else ~/.config/spdmon/ports.conf.
    static std::string userPath();
    // A missing file holds no gateway and no problem.
    static PortsConfig load(const std::string& path);
    static PortsConfig parse(const std::string& text, const std::string& path);

    const std::vector<Gateway>& gateways() const { return m_gateways; }
    const std::vector<Problem>& problems() const { return m_problems; }
    const Gateway* gateway(int port) const;
    // The refusal of the line that names the port, or null.
    const Problem* problem(int port) const;

    // "192.168.1.50:4001 (RTU over TCP)"
    static std::string describe(const Gateway& gateway);

private:
    std::vector<Gateway> m_gateways;
    std::vector<Problem> m_problems;
};
