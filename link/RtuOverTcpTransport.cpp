#include "link/RtuOverTcpTransport.h"

#include "link/TcpConnect.h"
#include "link/modbus_rtu.h"

#include <cerrno>
#include <csignal>
#include <functional>
#include <modbus/modbus.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// libmodbus's RTU backend writes with write(), which raises SIGPIPE on a
// connection the gateway has closed and would end the program. The signal
// is held back on this thread for the exchange and a SIGPIPE it caused is
// taken away before the mask is restored.
int withoutSigpipe(const std::function<int()>& exchange)
{
    sigset_t pipe, old, pending;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    sigpending(&pending);
    const bool pendingBefore = sigismember(&pending, SIGPIPE);
    const int result = exchange();
    const int error = errno;
    sigpending(&pending);
    if (!pendingBefore && sigismember(&pending, SIGPIPE)) {
        const timespec now{0, 0};
        sigtimedwait(&pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = error;
    return result;
}

} // namespace

modbus_t* RtuOverTcpTransport::newContext() const
{
    // The device name is never opened: the context only frames, on our socket.
    const char parity = m_line.parity == 'o' ? 'O' : m_line.parity == 'e' ? 'E' : 'N';
    return modbus_new_rtu("/dev/null", m_line.baud, parity, m_line.dataBits, m_line.stopBits);
}

int RtuOverTcpTransport::exchange(int function, int slave, int reg, int count, uint16_t* values, int delayMs)
{
    // libmodbus flushes an RTU context with tcflush, which a socket does not
    // take: bytes of an earlier, late reply are read away here instead. End of
    // file on the way means the gateway has closed the connection.
    const int fd = modbus_get_socket(m_context);
    uint8_t stale[256];
    ssize_t got = 0;
    while ((got = recv(fd, stale, sizeof stale, MSG_DONTWAIT)) > 0) {
    }
    int kind = MBRTU_NO_REPLY;
    if (got == 0) {
        errno = ECONNRESET;
    } else {
        const long timeout = rtuReplyTimeoutMicros(m_line, count, delayMs) + gatewayAllowanceMicros;
        kind = withoutSigpipe(
            [&]() { return rtuExchange(m_context, function, slave, reg, count, values, timeout); });
    }
    if (kind != MBRTU_GOOD && lineLost(errno))
        disconnect();
    return kind;
}
