#pragma once

#include <string>
#include <vector>

// Maps port numbers to device files. Port N ("COMN") is the link "comN" in a
// per-user directory when that link exists, otherwise a fixed default:
// COM1-32 /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31.
class PortDirectory final
{
public:
    struct Link
    {
        int port;
        std::string target; // as stored in the link, not canonicalised
    };

    explicit PortDirectory(std::string directory);

    // $SPDMON_PORT_DIR, else $XDG_CONFIG_HOME/spdmon/dosdevices, else
    // ~/.config/spdmon/dosdevices.
    static std::string userDirectory();
    static std::string defaultDevicePath(int port);
    // Inverse of defaultDevicePath(); 0 when the path has no default number.
    static int defaultPortNumber(const std::string& devicePath);

    const std::string& directory() const { return m_directory; }
    std::string linkPath(int port) const;
    bool hasLink(int port) const;
    // The file to open for the port, or empty when the number has none.
    std::string devicePath(int port) const;
    // Every "comN" symbolic link of the directory, in ascending port order.
    std::vector<Link> links() const;

private:
    std::string m_directory;
};
