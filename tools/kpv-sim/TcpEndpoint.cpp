#include "tools/kpv-sim/TcpEndpoint.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Bytes other than a read request become a frame after this pause, as on the pty.
constexpr auto frameGap = std::chrono::milliseconds(20);

} // namespace

TcpEndpoint::TcpEndpoint(Kind kind, quint16 port) : m_kind(kind), m_port(port) {}

TcpEndpoint::~TcpEndpoint()
{
    close();
}

bool TcpEndpoint::listen(QString* error)
{
    if (m_listenFd >= 0)
        return true;
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(m_port);
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof local;
    const int on = 1;
    // The connections closed by "gateway down" linger in TIME_WAIT: listen again all the same.
    if (m_listenFd < 0 || ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(m_listenFd, SOMAXCONN) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                     .arg(m_port)
                     .arg(QString::fromLocal8Bit(strerror(errno)));
        close();
        return false;
    }
    m_port = ntohs(local.sin_port);
    return true;
}

void TcpEndpoint::close()
{
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    m_listenFd = -1;
    for (const auto& [id, connection] : m_connections)
        ::close(connection.fd);
    m_connections.clear();
}

QString TcpEndpoint::address() const
{
    return QStringLiteral("%1 127.0.0.1:%2")
        .arg(m_kind == Kind::RtuOverTcp ? QLatin1String("rtu-over-tcp") : QLatin1String("modbus-tcp"))
        .arg(m_port);
}

void TcpEndpoint::addPollFds(std::vector<pollfd>* fds)
{
    m_pollAt = fds->size();
    fds->push_back({m_listenFd, POLLIN, 0});
    m_polled.clear();
    for (const auto& [id, connection] : m_connections) {
        m_polled.push_back(id);
        fds->push_back({connection.fd, POLLIN, 0});
    }
}

QList<TcpEndpoint::Request> TcpEndpoint::serve(const std::vector<pollfd>& fds, Clock::time_point now)
{
    QList<Request> requests;
    for (std::size_t i = 0; i < m_polled.size(); ++i) {
        const auto it = m_connections.find(m_polled[i]);
        if (it != m_connections.end() && fds[m_pollAt + 1 + i].revents != 0 &&
            !read(it->first, &it->second, &requests, now))
            drop(it->first);
    }
    if (m_kind == Kind::RtuOverTcp) {
        for (auto& [id, connection] : m_connections) {
            if (connection.rtu.hasPending() && now - connection.lastByte >= frameGap) {
                if (const QByteArray frame = connection.rtu.idle(); !frame.isEmpty())
                    requests.append({frame, deliverTo(id, 0)});
            }
        }
    }
    if (m_listenFd >= 0 && (fds[m_pollAt].revents & POLLIN))
        accept();
    return requests;
}

std::optional<TcpEndpoint::Clock::time_point> TcpEndpoint::nextGap() const
{
    std::optional<Clock::time_point> next;
    for (const auto& [id, connection] : m_connections) {
        if (connection.rtu.hasPending() && (!next || connection.lastByte + frameGap < *next))
            next = connection.lastByte + frameGap;
    }
    return next;
}

void TcpEndpoint::accept()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        // A reply is one write: send it at once rather than wait for the request's acknowledgement.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        m_connections.emplace(m_nextId++, Connection{fd, {}, {}, {}});
    }
}

bool TcpEndpoint::read(quint64 id, Connection* connection, QList<Request>* requests, Clock::time_point now)
{
    char buffer[512];
    for (;;) {
        const ssize_t got = ::recv(connection->fd, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return false; // the client went away
        if (got < 0)
            return true;
        const QByteArray bytes(buffer, static_cast<int>(got));
        if (m_kind == Kind::RtuOverTcp) {
            connection->lastByte = now;
            for (const QByteArray& frame : connection->rtu.feed(bytes))
                requests->append({frame, deliverTo(id, 0)});
            continue;
        }
        QList<MbapFramer::Request> framed;
        const bool inStep = connection->mbap.feed(bytes, &framed);
        for (const MbapFramer::Request& request : framed)
            requests->append({request.frame, deliverTo(id, request.transaction)});
        if (!inStep)
            return false;
    }
}

TcpEndpoint::Deliver TcpEndpoint::deliverTo(quint64 id, quint16 transaction)
{
    if (m_kind == Kind::RtuOverTcp)
        return [this, id](const QByteArray& reply) { send(id, reply); };
    return [this, id, transaction](const QByteArray& reply) {
        if (const QByteArray frame = MbapFramer::reply(transaction, reply); !frame.isEmpty())
            send(id, frame);
    };
}

void TcpEndpoint::send(quint64 id, const QByteArray& bytes)
{
    // Gone meanwhile (closed by the client or by "gateway down"): the reply is lost, as on a network.
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    const ssize_t sent =
        ::send(it->second.fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
    // A client that leaves its replies unread until the socket is full has lost the stream's framing.
    if (sent != bytes.size())
        drop(id);
}

void TcpEndpoint::drop(quint64 id)
{
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    ::close(it->second.fd);
    m_connections.erase(it);
}
