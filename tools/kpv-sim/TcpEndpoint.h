#pragma once

#include "tools/kpv-sim/MbapFramer.h"
#include "tools/kpv-sim/RtuFramer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <poll.h>
#include <vector>

// A network gateway in front of the bus: a socket listening on 127.0.0.1
// that accepts any number of connections and answers each on its own. RTU
// over TCP carries the frames as on the line; Modbus TCP carries them in
// MBAP headers, the unit id naming the device.
class TcpEndpoint final
{
public:
    enum class Kind { RtuOverTcp, ModbusTcp };
    using Clock = std::chrono::steady_clock;
    // Sends a device's RTU reply back where its request came from.
    using Deliver = std::function<void(const QByteArray&)>;

    struct Request
    {
        QByteArray frame; // RTU, CRC checked
        Deliver deliver;
    };

    // Port 0: a free port, kept from then on.
    TcpEndpoint(Kind kind, quint16 port);
    ~TcpEndpoint();
    TcpEndpoint(const TcpEndpoint&) = delete;
    TcpEndpoint& operator=(const TcpEndpoint&) = delete;

    // Listens (again) on the port; on failure returns false with a reason.
    bool listen(QString* error);
    // Stops listening and closes every connection, as a gateway switched off.
    void close();
    // "rtu-over-tcp 127.0.0.1:PORT" or "modbus-tcp 127.0.0.1:PORT", as ports.conf names it.
    QString address() const;

    // Appends the descriptors to wait on; serve() gets them back after poll().
    void addPollFds(std::vector<pollfd>* fds);
    // Accepts and reads what poll() found ready; returns the requests complete.
    QList<Request> serve(const std::vector<pollfd>& fds, Clock::time_point now);
    // When unfinished RTU bytes on a connection become a frame, if any wait.
    std::optional<Clock::time_point> nextGap() const;

private:
    struct Connection
    {
        int fd;
        RtuFramer rtu;
        MbapFramer mbap;
        Clock::time_point lastByte;
    };

    void accept();
    bool read(quint64 id, Connection* connection, QList<Request>* requests, Clock::time_point now);
    Deliver deliverTo(quint64 id, quint16 transaction);
    void send(quint64 id, const QByteArray& bytes);
    void drop(quint64 id);

    const Kind m_kind;
    quint16 m_port;
    int m_listenFd = -1;
    std::map<quint64, Connection> m_connections;
    quint64 m_nextId = 1;
    std::size_t m_pollAt = 0;
    std::vector<quint64> m_polled;
};
