#include "link/RtuFrames.h"

#include "link/modbus_rtu.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <modbus/modbus.h>
#include <poll.h>

namespace {

// Request of a register read: address, function, start, count, CRC.
constexpr int requestBytes = 8;
// Reply: address, function, byte count, 2 bytes per register, CRC.
constexpr int replyBytes(int count)
{
    return 5 + 2 * count;
}

} // namespace

bool lineLost(int error)
{
    return error == EIO || error == ENXIO || error == EBADF || error == ENODEV || error == ECONNRESET ||
           error == EPIPE || error == ENOTCONN;
}

long rtuReplyTimeoutMicros(const RtuLineSettings& line, int count, int delayMs)
{
    const long bitsPerChar = 1 + line.dataBits + (line.parity == 'n' ? 0 : 1) + line.stopBits;
    const long frameBits = (requestBytes + replyBytes(count)) * bitsPerChar;
    const long frameMicros = (frameBits * 1000000 + line.baud - 1) / line.baud;
    return frameMicros + std::max(delayMs, 0) * 1000L;
}

// libmodbus reports a reply cut short as a time-out, like silence; waiting
// for the first byte here first tells the two apart.
int rtuExchange(modbus_t* context, int function, int slave, int reg, int count, uint16_t* values,
                long timeoutMicros)
{
    const std::array<uint8_t, 6> request{uint8_t(slave),      uint8_t(function),   uint8_t(reg >> 8),
                                         uint8_t(reg & 0xFF), uint8_t(count >> 8), uint8_t(count & 0xFF)};
    modbus_set_slave(context, slave);
    if (modbus_send_raw_request(context, request.data(), int(request.size())) == -1)
        return MBRTU_NO_REPLY;
    const auto sent = std::chrono::steady_clock::now();
    pollfd reply{modbus_get_socket(context), POLLIN, 0};
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
    modbus_set_response_timeout(context, uint32_t(left / 1000000), uint32_t(left % 1000000));
    std::array<uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> frame{};
    const int length = modbus_receive_confirmation(context, frame.data());
    if (length == -1 && lineLost(errno))
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
