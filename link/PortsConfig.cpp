#include "link/PortsConfig.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

namespace {

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Plain decimal digits, at most five of them; -1 otherwise.
int number(const std::string& text)
{
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return -1;
    return std::stoi(text);
}

// "COM5" in any case; 0 when the text is no port name.
int portName(const std::string& text)
{
    if (text.size() < 4 || !std::equal(text.begin(), text.begin() + 3, "COM",
                                       [](char a, char b) { return std::toupper(a) == b; }))
        return 0;
    const int port = number(text.substr(3));
    return port > 0 ? port : 0;
}

} // namespace

std::string PortsConfig::userPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // The XDG rules say a relative value is to be ignored.
    if (config && config[0] == '/')
        return std::string(config) + "/spdmon/ports.conf";
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid()))
            home = entry->pw_dir ? entry->pw_dir : "";
    }
    return home.empty() ? std::string() : home + "/.config/spdmon/ports.conf";
}

PortsConfig PortsConfig::load(const std::string& path)
{
    std::ifstream file(path);
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return parse(text.str(), path);
}

PortsConfig PortsConfig::parse(const std::string& text, const std::string& path)
{
    PortsConfig config;
    std::istringstream in(text);
    std::string raw;
    for (int line = 1; std::getline(in, raw); ++line) {
        const std::string content = trimmed(raw);
        if (content.empty() || content.front() == '#')
            continue;
        const auto equals = content.find('=');
        const int port = equals == std::string::npos ? 0 : portName(trimmed(content.substr(0, equals)));
        const auto refuse = [&](const std::string& reason) {
            config.m_problems.push_back({port, path + " line " + std::to_string(line) + ": " + reason});
        };
        if (port == 0) {
            refuse("no port name COM<number> before '='");
            continue;
        }
        std::istringstream words(content.substr(equals + 1));
        std::string kindWord, endpoint, rest;
        words >> kindWord >> endpoint >> rest;
        if (kindWord != "rtu-over-tcp" && kindWord != "modbus-tcp") {
            refuse("unknown kind '" + kindWord + "' (rtu-over-tcp or modbus-tcp)");
            continue;
        }
        const auto colon = endpoint.rfind(':');
        std::string host = endpoint.substr(0, colon);
        // [2001:db8::1]:502 for an IPv6 address
        if (host.size() > 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
        if (colon == std::string::npos || colon + 1 == endpoint.size()) {
            refuse("no port after the host (host:port)");
            continue;
        }
        const int tcpPort = number(endpoint.substr(colon + 1));
        if (tcpPort < 1 || tcpPort > 65535) {
            refuse("port outside 1-65535");
            continue;
        }
        if (host.empty() || !rest.empty()) {
            refuse(host.empty() ? "no host before the port" : "more than kind and host:port");
            continue;
        }
        if (config.gateway(port)) {
            refuse("COM" + std::to_string(port) + " given again");
            continue;
        }
        const Kind kind = kindWord == "modbus-tcp" ? Kind::ModbusTcp : Kind::RtuOverTcp;
        config.m_gateways.push_back({port, kind, host, tcpPort});
    }
    return config;
}

const PortsConfig::Gateway* PortsConfig::gateway(int port) const
{
    const auto it = std::find_if(m_gateways.begin(), m_gateways.end(),
                                 [port](const Gateway& gateway) { return gateway.port == port; });
    return it == m_gateways.end() ? nullptr : &*it;
}

const PortsConfig::Problem* PortsConfig::problem(int port) const
{
    const auto it = std::find_if(m_problems.begin(), m_problems.end(),
                                 [port](const Problem& problem) { return problem.port == port; });
    return port < 1 || it == m_problems.end() ? nullptr : &*it;
}

std::string PortsConfig::describe(const Gateway& gateway)
{
    const bool v6 = gateway.host.find(':') != std::string::npos;
    return (v6 ? "[" + gateway.host + "]" : gateway.host) + ":" + std::to_string(gateway.tcpPort) +
           (gateway.kind == Kind::ModbusTcp ? " (Modbus TCP)" : " (RTU over TCP)");
}
