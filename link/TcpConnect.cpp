#include "link/TcpConnect.h"

#include "link/modbus_rtu.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Lookup
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    addrinfo* result = nullptr;
    ~Lookup() { freeaddrinfo(result); }
};

// getaddrinfo cannot be given a time limit, and a resolver that is down
// takes ten seconds and more; it runs on a thread of its own that is left
// behind to finish when the time is up.
addrinfo* lookUp(const std::string& host, int port, Clock::time_point deadline, std::shared_ptr<Lookup>& keep)
{
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, service = std::to_string(port)]() {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        if (getaddrinfo(host.c_str(), service.c_str(), &hints, &result) != 0)
            result = nullptr;
        const std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->result = result;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, deadline, [&]() { return lookup->finished; }))
        return nullptr;
    keep = lookup;
    return lookup->result;
}

// One non-blocking connect, waited for until the deadline; 0 or the error.
int connectOne(int fd, const addrinfo& address, Clock::time_point deadline)
{
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    pollfd connecting{fd, POLLOUT, 0};
    int ready = 0;
    do {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        ready = ::poll(&connecting, 1, int(std::max<long long>(0, left.count())));
    } while (ready == -1 && errno == EINTR);
    if (ready == 0)
        return ETIMEDOUT;
    int error = 0;
    socklen_t size = sizeof error;
    if (ready == -1 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return errno;
    return error;
}

// Never destroyed: ports still open when the program ends release their
// claim from the link table's destructor, which may run after this file's.
std::mutex& claimMutex = *new std::mutex;
std::set<std::string>& claimed = *new std::set<std::string>;

} // namespace

int tcpConnect(const std::string& host, int port, int timeoutMs, int* failure)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::shared_ptr<Lookup> lookup;
    const addrinfo* addresses = lookUp(host, port, deadline, lookup);
    if (!addresses) {
        *failure = Clock::now() >= deadline ? MBRTU_OPEN_TIMEOUT : MBRTU_OPEN_NO_HOST;
        return -1;
    }
    int error = ETIMEDOUT;
    for (const addrinfo* address = addresses; address && Clock::now() < deadline; address = address->ai_next) {
        const int fd = ::socket(address->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd == -1) {
            error = errno;
            continue;
        }
        error = connectOne(fd, *address, deadline);
        if (error == 0) {
            const int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        ::close(fd);
    }
    *failure = error == ECONNREFUSED ? MBRTU_OPEN_REFUSED
               : error == ETIMEDOUT  ? MBRTU_OPEN_TIMEOUT
                                     : MBRTU_OPEN_UNREACHABLE;
    return -1;
}

bool claimEndpoint(const std::string& endpoint)
{
    const std::lock_guard<std::mutex> lock(claimMutex);
    return claimed.insert(endpoint).second;
}

void releaseEndpoint(const std::string& endpoint)
{
    const std::lock_guard<std::mutex> lock(claimMutex);
    claimed.erase(endpoint);
}
