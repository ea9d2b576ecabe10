#include "link/PortDirectory.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct DefaultRange
{
    int firstPort;
    std::string_view prefix;
};

constexpr int rangeSize = 32;
constexpr std::array<DefaultRange, 3> defaultRanges{{
    {1, "/dev/ttyS"},
    {33, "/dev/ttyUSB"},
    {65, "/dev/ttyACM"},
}};

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeDirectory()
{
    std::string home = environment("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid()))
            home = entry->pw_dir ? entry->pw_dir : "";
    }
    return home;
}

// Parses a plain decimal number without sign or leading zero; -1 otherwise.
int parseNumber(std::string_view text)
{
    if (text.empty() || text.size() > 4 || (text.size() > 1 && text.front() == '0'))
        return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

PortDirectory::PortDirectory(std::string directory) : m_directory(std::move(directory)) {}

std::string PortDirectory::userDirectory()
{
    const std::string overridden = environment("SPDMON_PORT_DIR");
    if (!overridden.empty())
        return overridden;
    std::string config = environment("XDG_CONFIG_HOME");
    // The XDG rules say a relative value is to be ignored.
    if (config.empty() || config.front() != '/') {
        const std::string home = homeDirectory();
        if (home.empty())
            return {};
        config = home + "/.config";
    }
    return config + "/spdmon/dosdevices";
}

std::string PortDirectory::defaultDevicePath(int port)
{
    for (const DefaultRange& range : defaultRanges) {
        if (port >= range.firstPort && port < range.firstPort + rangeSize)
            return std::string(range.prefix) + std::to_string(port - range.firstPort);
    }
    return {};
}

int PortDirectory::defaultPortNumber(const std::string& devicePath)
{
    const std::string_view path(devicePath);
    for (const DefaultRange& range : defaultRanges) {
        if (path.substr(0, range.prefix.size()) != range.prefix)
            continue;
        const int index = parseNumber(path.substr(range.prefix.size()));
        if (index >= 0 && index < rangeSize)
            return range.firstPort + index;
    }
    return 0;
}

std::string PortDirectory::linkPath(int port) const
{
    if (m_directory.empty() || port < 1)
        return {};
    return m_directory + "/com" + std::to_string(port);
}

bool PortDirectory::hasLink(int port) const
{
    const std::string path = linkPath(port);
    std::error_code error;
    // symlink_status so that a dangling link still counts: it names the port,
    // and opening it must fail rather than fall back to another device.
    return !path.empty() && fs::exists(fs::symlink_status(path, error));
}

std::string PortDirectory::devicePath(int port) const
{
    if (hasLink(port))
        return linkPath(port);
    return defaultDevicePath(port);
}

std::vector<PortDirectory::Link> PortDirectory::links() const
{
    std::vector<Link> result;
    std::error_code error;
    if (m_directory.empty())
        return result;
    for (fs::directory_iterator it(m_directory, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, 3, "com") != 0)
            continue;
        const int port = parseNumber(std::string_view(name).substr(3));
        std::error_code linkError;
        if (port < 1 || !it->is_symlink(linkError))
            continue;
        const fs::path target = fs::read_symlink(it->path(), linkError);
        if (!linkError)
            result.push_back({port, target.string()});
    }
    std::sort(result.begin(), result.end(), [](const Link& a, const Link& b) { return a.port < b.port; });
    return result;
}
