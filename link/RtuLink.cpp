#include "link/RtuLink.h"

#include "link/PortDirectory.h"
#include "link/modbus_rtu.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <modbus/modbus.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>

namespace {

constexpr std::array<int, 8> supportedBauds{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr auto reconnectInterval = std::chrono::seconds(1);

// Request of a register read: address, function, start, count, CRC.
constexpr int requestBytes = 8;
// Reply: address, function, byte count, 2 bytes per register, CRC.
constexpr int replyBytes(int count)
{
    return 5 + 2 * count;
}

// Errors after which the descriptor is useless: adapter unplugged, pty
// master gone, or the read saw end of file.
bool portLost(int error)
{
    return error == EIO || error == ENXIO || error == EBADF || error == ENODEV || error == ECONNRESET;
}

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

RtuLink::~RtuLink()
{
    disconnect();
}

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
    disconnect();
    return connect();
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

    // Bytes left over from an earlier exchange must not be taken for this reply.
    modbus_flush(m_context);
    std::array<uint16_t, maxRegisters> values{};
    const int kind = exchange(function, slave, reg, count, values.data(), replyTimeoutMicros(count, delayMs));
    m_lastFailure = kind;
    if (kind != MBRTU_GOOD) {
        if (portLost(errno))
            disconnect();
        else
            modbus_flush(m_context); // drop the rest of a bad or late reply
        return -1;
    }
    std::copy_n(values.begin(), count, buffer);
    return count;
}

// libmodbus reports a reply cut short as a time-out, like silence; waiting
// for the first byte here first tells the two apart.
int RtuLink::exchange(int function, int slave, int reg, int count, uint16_t* values, long timeoutMicros)
{
    const std::array<uint8_t, 6> request{uint8_t(slave),      uint8_t(function),   uint8_t(reg >> 8),
                                         uint8_t(reg & 0xFF), uint8_t(count >> 8), uint8_t(count & 0xFF)};
    modbus_set_slave(m_context, slave);
    if (modbus_send_raw_request(m_context, request.data(), int(request.size())) == -1)
        return MBRTU_NO_REPLY;
    const auto sent = std::chrono::steady_clock::now();
    pollfd reply{modbus_get_socket(m_context), POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(&reply, 1, int((timeoutMicros + 999) / 1000));
    while (ready == -1 && errno == EINTR);
    if (ready != 1 || !(reply.revents & POLLIN)) {
        // Silence, or a hang-up: the port has gone away. The caller tells the
        // two apart by errno, which must not be left from an earlier call.
        errno = ready == 1 ? EIO : ready == 0 ? ETIMEDOUT : errno;
        return MBRTU_NO_REPLY;
    }
    const auto waited =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - sent);
    const long left = std::max(0L, timeoutMicros - long(waited.count()));
    modbus_set_response_timeout(m_context, uint32_t(left / 1000000), uint32_t(left % 1000000));
    std::array<uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> frame{};
    const int length = modbus_receive_confirmation(m_context, frame.data());
    if (length == -1 && portLost(errno))
        return MBRTU_NO_REPLY;
    // Address, function, then the exception code or the byte count.
    errno = 0; // a bad reply leaves the port usable
    if (length < 5 || frame[0] != slave)
        return MBRTU_BAD_REPLY;
    if (frame[1] == (function | 0x80))
        return MBRTU_EXCEPTION_REPLY;
    if (frame[1] != function || frame[2] != 2 * count || length != replyBytes(count))
        return MBRTU_BAD_REPLY;
    for (int i = 0; i < count; ++i)
        values[i] = uint16_t(frame[3 + 2 * i] << 8 | frame[4 + 2 * i]);
    return MBRTU_GOOD;
}

bool RtuLink::connect()
{
    m_lastConnectAttempt = std::chrono::steady_clock::now();
    // Resolved on every attempt: the comN link may have been pointed elsewhere.
    const std::string device = PortDirectory(PortDirectory::userDirectory()).devicePath(m_port);
    if (device.empty())
        return false;
    const char parity = m_settings.parity == 'o' ? 'O' : m_settings.parity == 'e' ? 'E' : 'N';
    modbus_t* context =
        modbus_new_rtu(device.c_str(), m_settings.baud, parity, m_settings.dataBits, m_settings.stopBits);
    if (!context)
        return false;
    // libmodbus's own recovery sleeps and reconnects inside a request, which
    // could hold the caller for seconds; failures are handled here instead.
    modbus_set_error_recovery(context, MODBUS_ERROR_RECOVERY_NONE);
    // No byte time-out: the response time-out then bounds the whole reply,
    // including one that stops half-way.
    modbus_set_byte_timeout(context, 0, 0);
    if (modbus_connect(context) == -1) {
        modbus_free(context);
        return false;
    }
    // A tty opens any number of times, so a second station on the port would
    // read the first one's replies. flock keeps out other programs that
    // lock, root included; TIOCEXCL keeps out unprivileged ones that do not.
    // The flag belongs to the tty, not to the descriptor: it is set only once
    // the lock is ours, so a refused open leaves the owner's flag alone.
    const int fd = modbus_get_socket(context);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        modbus_close(context); // also restores the owner's line settings
        modbus_free(context);
        return false;
    }
    m_context = context;
    return true;
}

void RtuLink::disconnect()
{
    if (!m_context)
        return;
    // The flag outlives this descriptor while someone else still holds the
    // tty (the simulator keeps its pty open), which would lock the port even
    // against our own reopen. On a port that has gone away it fails, and
    // there is nothing left to clear.
    ioctl(modbus_get_socket(m_context), TIOCNXCL);
    modbus_close(m_context);
    modbus_free(m_context);
    m_context = nullptr;
}

bool RtuLink::ensureConnected()
{
    if (m_context)
        return true;
    if (std::chrono::steady_clock::now() - m_lastConnectAttempt < reconnectInterval)
        return false;
    return connect();
}

long RtuLink::replyTimeoutMicros(int count, int delayMs) const
{
    const long bitsPerChar =
        1 + m_settings.dataBits + (m_settings.parity == 'n' ? 0 : 1) + m_settings.stopBits;
    const long frameBits = (requestBytes + replyBytes(count)) * bitsPerChar;
    const long frameMicros = (frameBits * 1000000 + m_settings.baud - 1) / m_settings.baud;
    return frameMicros + std::max(delayMs, 0) * 1000L;
}
