#include "tools/kpv-sim/SimLoop.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

// Silence that ends a frame other than a read request. Longer than 3.5
// characters at 2400 baud; on a pty, frames arrive in one piece anyway.
constexpr auto frameGap = std::chrono::milliseconds(20);

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int)
{
    stopSignal = 1;
}

void installStopHandlers()
{
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: poll() must return so that the loop sees the signal.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void printLine(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

SimLoop::SimLoop(int masterFd, KpvBus& bus, const DeviceTable* devices, LineTime* lineTime)
    : m_masterFd(masterFd), m_bus(bus), m_devices(devices), m_lineTime(lineTime),
      m_toPty([this](const QByteArray& bytes) { send(bytes); })
{}

bool SimLoop::runCommand(const QString& line)
{
    if (line.trimmed() == QLatin1String("quit")) {
        m_quit = true;
        printLine(QStringLiteral("ok quit"));
        return true;
    }
    const QString simplified = line.simplified();
    if (simplified == QLatin1String("trace on") || simplified == QLatin1String("trace off")) {
        m_trace = simplified.endsWith(QLatin1String("on"));
        printLine(QStringLiteral("ok ") + simplified);
        return true;
    }
    if (LineTime::handles(line)) {
        QStringList lines{QStringLiteral("error: turnaround needs --line-time")};
        const bool ok = m_lineTime && m_lineTime->execute(line, &lines);
        for (const QString& text : lines)
            printLine(text);
        return ok;
    }
    addDevicesFromTable();
    const QStringList words = line.simplified().split(QLatin1Char(' '));
    KpvBus::CommandResult result = words.at(0) == QLatin1String("gateway")
                                       ? switchGateways(words.mid(1).join(QLatin1Char(' ')))
                                       : m_bus.execute(line);
    if (words.at(0) == QLatin1String("help") && result.ok)
        result.lines.insert(result.lines.size() - 1, gatewayHelp());
    for (const QString& text : result.lines)
        printLine(text);
    return result.ok;
}

void SimLoop::addDevicesFromTable()
{
    if (!m_devices)
        return;
    QList<int> addresses;
    QString error;
    if (!m_devices->read(&addresses, &error)) {
        std::fprintf(stderr, "kpv-sim: cannot read %s: %s\n", qPrintable(m_devices->file()),
                     qPrintable(error));
        return;
    }
    for (const int address : m_bus.addDevices(addresses))
        std::fprintf(stderr, "kpv-sim: device %d added from the database\n", address);
}

QString SimLoop::gatewayHelp()
{
    return QStringLiteral("With --tcp or --modbus-tcp:\n"
                          "  gateway down|up           close the TCP endpoints and every connection;\n"
                          "                            listen again on the same ports");
}

KpvBus::CommandResult SimLoop::switchGateways(const QString& state)
{
    if (m_endpoints.isEmpty())
        return {false, {QStringLiteral("error: no gateway: start with --tcp or --modbus-tcp")}};
    if (state != QLatin1String("down") && state != QLatin1String("up"))
        return {false, {QStringLiteral("error: gateway takes down or up")}};
    for (TcpEndpoint* endpoint : m_endpoints) {
        QString error;
        if (state == QLatin1String("down"))
            endpoint->close();
        else if (!endpoint->listen(&error))
            return {false, {QStringLiteral("error: ") + error}};
    }
    return {true, {QStringLiteral("ok gateway ") + state}};
}

void SimLoop::run()
{
    installStopHandlers();
    while (!m_quit && !stopSignal) {
        std::vector<pollfd> fds{{m_masterFd, POLLIN, 0}, {m_stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        for (TcpEndpoint* endpoint : m_endpoints)
            endpoint->addPollFds(&fds);
        // To the microsecond: a reply due at the line's pace must not wait
        // for the next whole millisecond.
        const std::optional<Clock::time_point> wake = wakeAt();
        timespec timeout{};
        if (wake) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::max(Clock::duration::zero(), *wake - Clock::now()));
            timeout.tv_sec = time_t(left.count() / 1000000000);
            timeout.tv_nsec = long(left.count() % 1000000000);
        }
        const int ready = ppoll(fds.data(), fds.size(), wake ? &timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0 && (fds[0].revents & POLLIN))
            readRequests();
        else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR)))
            std::this_thread::sleep_for(frameGap); // nobody on the slave side: nothing to serve
        if (m_framer.hasPending() && Clock::now() - m_lastByte >= frameGap) {
            const QByteArray frame = m_framer.idle();
            if (!frame.isEmpty())
                handleFrame(frame, m_toPty, m_lastByte);
        }
        for (TcpEndpoint* endpoint : m_endpoints) {
            for (const TcpEndpoint::Request& request : endpoint->serve(fds, Clock::now()))
                handleFrame(request.frame, request.deliver, Clock::now());
        }
        if (ready > 0 && (fds[1].revents & (POLLIN | POLLHUP)))
            readCommands();
        sendDueReplies();
    }
}

std::optional<SimLoop::Clock::time_point> SimLoop::wakeAt() const
{
    std::optional<Clock::time_point> wake;
    const auto earliest = [&wake](Clock::time_point when) { wake = wake ? std::min(*wake, when) : when; };
    if (m_framer.hasPending())
        earliest(m_lastByte + frameGap);
    for (const TcpEndpoint* endpoint : m_endpoints) {
        if (const auto gap = endpoint->nextGap())
            earliest(*gap);
    }
    for (const PendingReply& reply : m_pending)
        earliest(reply.due);
    return wake;
}

void SimLoop::readRequests()
{
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(m_masterFd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        m_lastByte = Clock::now();
        const QList<QByteArray> frames = m_framer.feed(QByteArray(buffer, static_cast<int>(got)));
        for (const QByteArray& frame : frames)
            handleFrame(frame, m_toPty, m_lastByte);
    }
}

void SimLoop::readCommands()
{
    char buffer[512];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        // Started without a terminal (from a script): keep serving the bus.
        m_stdinOpen = false;
        return;
    }
    m_commandBuffer.append(buffer, static_cast<int>(got));
    for (int end = m_commandBuffer.indexOf('\n'); end >= 0 && !m_quit; end = m_commandBuffer.indexOf('\n')) {
        const QString line = QString::fromLocal8Bit(m_commandBuffer.left(end));
        m_commandBuffer.remove(0, end + 1);
        if (!line.trimmed().isEmpty())
            runCommand(line);
    }
}

void SimLoop::handleFrame(const QByteArray& frame, const TcpEndpoint::Deliver& deliver,
                          Clock::time_point lastByte)
{
    if (m_trace) {
        QString text = QStringLiteral("request %1 %2").arg(quint8(frame.at(0))).arg(quint8(frame.at(1)));
        if (frame.size() == 8) // a read: first register and count
            text += QStringLiteral(" %1 %2")
                        .arg(quint8(frame.at(2)) << 8 | quint8(frame.at(3)))
                        .arg(quint8(frame.at(4)) << 8 | quint8(frame.at(5)));
        printLine(text);
    }
    if (!m_bus.serves(static_cast<quint8>(frame.at(0))))
        addDevicesFromTable();
    const KpvBus::Reply reply = m_bus.answer(frame);
    if (reply.bytes.isEmpty())
        return;
    // The request's last byte came at lastByte; a frame taken at the idle
    // gap is handled later, but its exchange began then all the same.
    const Clock::time_point due =
        (m_lineTime ? lastByte + m_lineTime->exchange(static_cast<quint8>(frame.at(0)), int(frame.size()),
                                                      int(reply.bytes.size()))
                    : Clock::now()) +
        std::chrono::milliseconds(reply.delayMs);
    if (due <= Clock::now())
        deliver(reply.bytes);
    else
        m_pending.append({due, reply.bytes, deliver});
}

void SimLoop::sendDueReplies()
{
    const Clock::time_point now = Clock::now();
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->due <= now) {
            it->deliver(it->bytes);
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
}

void SimLoop::send(const QByteArray& bytes)
{
    // A reply that does not fit (nobody reading the slave side) is dropped,
    // as it would be on a bus with no master listening.
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t written =
            ::write(m_masterFd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent));
        if (written <= 0)
            return;
        sent += written;
    }
}
