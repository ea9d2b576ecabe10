#include "link/SerialTransport.h"

#include "link/PortDirectory.h"
#include "link/modbus_rtu.h"

#include <cerrno>
#include <modbus/modbus.h>
#include <sys/file.h>
#include <sys/ioctl.h>

SerialTransport::SerialTransport(int port, const RtuLineSettings& line) : m_port(port), m_line(line) {}

SerialTransport::~SerialTransport()
{
    disconnect();
}

bool SerialTransport::connect(int /*timeoutMs: a tty opens at once*/)
{
    // Resolved on every attempt: the comN link may have been pointed elsewhere.
    const std::string device = PortDirectory(PortDirectory::userDirectory()).devicePath(m_port);
    if (device.empty())
        return false;
    const char parity = m_line.parity == 'o' ? 'O' : m_line.parity == 'e' ? 'E' : 'N';
    modbus_t* context = modbus_new_rtu(device.c_str(), m_line.baud, parity, m_line.dataBits, m_line.stopBits);
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

void SerialTransport::disconnect()
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

int SerialTransport::exchange(int function, int slave, int reg, int count, uint16_t* values, int delayMs)
{
    // Bytes left over from an earlier exchange must not be taken for this reply.
    modbus_flush(m_context);
    const int kind =
        rtuExchange(m_context, function, slave, reg, count, values, rtuReplyTimeoutMicros(m_line, count, delayMs));
    if (kind != MBRTU_GOOD) {
        if (lineLost(errno))
            disconnect();
        else
            modbus_flush(m_context); // drop the rest of a bad or late reply
    }
    return kind;
}

int SerialTransport::openFailure() const
{
    return MBRTU_OPEN_NO_DEVICE;
}
