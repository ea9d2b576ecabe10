#include "link/modbus_rtu.h"

#include "link/RtuLink.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace {

std::mutex tableMutex;
std::map<int, std::shared_ptr<RtuLink>> openLinks;
// 64 ms is what the settings dialog sets; a caller that never sets it still
// gets an allowance that suits real slaves.
std::atomic<int> delayMs{64};
// The failure of each port's last opening (MBRTU_OPEN_...), under tableMutex.
std::map<int, int> openFailures;

int failOpen(int port, int failure)
{
    const std::lock_guard<std::mutex> lock(tableMutex);
    openFailures[port] = failure;
    return -1;
}

std::shared_ptr<RtuLink> findLink(int port)
{
    const std::lock_guard<std::mutex> lock(tableMutex);
    const auto it = openLinks.find(port);
    return it == openLinks.end() ? nullptr : it->second;
}

// Removes the port's link from the table; the caller destroys it outside the
// lock, after any request still running on it has finished.
std::shared_ptr<RtuLink> takeLink(int port)
{
    const std::lock_guard<std::mutex> lock(tableMutex);
    const auto it = openLinks.find(port);
    if (it == openLinks.end())
        return nullptr;
    std::shared_ptr<RtuLink> link = std::move(it->second);
    openLinks.erase(it);
    return link;
}

int readRegisters(int function, int port, int slave, int reg, int count, int* buffer)
{
    const std::shared_ptr<RtuLink> link = findLink(port);
    return link ? link->readRegisters(function, slave, reg, count, buffer, delayMs.load()) : -1;
}

} // namespace

extern "C" {

int mbrtuComOpen(int port, int baud, int dataBits, const char* parity, int stopBits)
{
    // Reopening closes the old descriptor first, so that a failed reopen
    // leaves the port closed rather than open with stale settings.
    takeLink(port).reset();
    if (port < 1 || !parity || parity[0] == '\0' || parity[1] != '\0')
        return failOpen(port, MBRTU_OPEN_NO_DEVICE);
    const RtuLink::LineSettings settings{baud, dataBits, parity[0], stopBits};
    if (!RtuLink::isValid(settings))
        return failOpen(port, MBRTU_OPEN_NO_DEVICE);
    auto link = std::make_shared<RtuLink>(port, settings);
    if (!link->open())
        return failOpen(port, link->openFailure());
    const std::lock_guard<std::mutex> lock(tableMutex);
    openFailures.erase(port);
    openLinks[port] = std::move(link);
    return 1;
}

void mbrtuSetDelay(int delay)
{
    delayMs = delay;
}

int mbrtuComWork(int port)
{
    const std::shared_ptr<RtuLink> link = findLink(port);
    return link && link->busy() ? 1 : 0;
}

int mbrtufcn03(int port, int slave, int reg, int count, int* buffer)
{
    return readRegisters(3, port, slave, reg, count, buffer);
}

int mbrtufcn04(int port, int slave, int reg, int count, int* buffer)
{
    return readRegisters(4, port, slave, reg, count, buffer);
}

void mbrtuComClose(int port)
{
    takeLink(port).reset();
}

int mbrtuLastFailure(int port)
{
    const std::shared_ptr<RtuLink> link = findLink(port);
    return link ? link->lastFailure() : MBRTU_NO_REPLY;
}

int mbrtuOpenFailure(int port)
{
    const std::lock_guard<std::mutex> lock(tableMutex);
    const auto it = openFailures.find(port);
    return it == openFailures.end() ? MBRTU_OPEN_GOOD : it->second;
}

} // extern "C"
