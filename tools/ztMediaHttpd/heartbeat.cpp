// See heartbeat.h. The request names a path outside the route table: the 404 costs the worker
// nothing and proves that its event loop runs.
#include "heartbeat.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {

long nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

// Waits for `events` on `fd` until the deadline; false on time-out or error.
bool waitFor(int fd, short events, long deadline)
{
    for (;;) {
        long left = deadline - nowMs();
        if (left <= 0)
            return false;
        pollfd p = {fd, events, 0};
        int n = poll(&p, 1, (int)left);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

bool exchange(int fd, const sockaddr_in &addr, const std::string &request, long deadline)
{
    if (connect(fd, (const sockaddr *)&addr, sizeof addr) != 0 && errno != EINPROGRESS)
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (!waitFor(fd, POLLOUT, deadline) || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
        return false;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != (ssize_t)request.size())
        return false;
    char head[9] = {};
    size_t got = 0;
    while (got < sizeof(head) - 1 && waitFor(fd, POLLIN, deadline)) {
        ssize_t n = recv(fd, head + got, sizeof(head) - 1 - got, 0);
        if (n <= 0)
            return false;
        got += (size_t)n;
    }
    return got == sizeof(head) - 1 && strncmp(head, "HTTP/1.", 7) == 0;
}

}  // namespace

bool workerAnswers(const HttpdOptions &options, int timeoutMs)
{
    sockaddr_in addr;
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons((uint16_t)options.port);
    if (inet_pton(AF_INET, options.bind.c_str(), &addr.sin_addr) != 1)
        return false;
    if (addr.sin_addr.s_addr == htonl(INADDR_ANY))
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return true;  // no descriptor here says nothing about the worker
    const std::string request =
        "GET /heartbeat HTTP/1.1\r\nHost: " + hostPort(options) + "\r\nConnection: close\r\n\r\n";
    bool answered = exchange(fd, addr, request, nowMs() + timeoutMs);
    close(fd);
    return answered;
}
