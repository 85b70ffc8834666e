#include "mediadb/db_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

#include "mediadb/request_handlers.h"
#include "platform/ztipc.h"

namespace {

int gWakeFd = -1;  // write end of the self-pipe the stop signals poke

void onStopSignal(int)
{
    char c = 1;
    if (gWakeFd >= 0 && write(gWakeFd, &c, 1) < 0) {
    }
}

// Connections being served, so a stop can cut them and wait for their threads.
struct Connections {
    std::mutex lock;
    std::condition_variable idle;
    std::set<int> fds;
} gConnections;

std::vector<std::string> splitWords(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

std::string join(const std::vector<std::string> &words)
{
    std::string line;
    for (const std::string &w : words)
        line += (line.empty() ? "" : " ") + w;
    return line;
}

rtosConnection_t connectionOf(int fd)
{
    rtosConnection_t c{};
    c.fd = fd;
    c.connected = 1;
    return c;
}

}  // namespace

DbServer::DbServer(MediaCatalog &catalog, std::function<Status(MediaCard *)> rescan)
    : mCatalog(catalog), mRescan(std::move(rescan))
{
}

void DbServer::serveConnection(int fd)
{
    rtosConnection_t conn = connectionOf(fd);
    uint8_t buf[DB_FRAME_MAX];
    for (;;) {
        int n = ztIpcReceiveInto(&conn, buf, sizeof buf);
        if (n < 0 && n != -EMSGSIZE)
            break;
        // An oversized frame is answered like any malformed one.
        std::vector<Frame> reply = handleRequest(mCatalog, buf, n < 0 ? 0 : static_cast<size_t>(n));
        if (!mFaults.apply(&reply))
            continue;
        bool sent = true;
        // A zero-length frame would read as a hang-up at the client, so a reply cut to nothing
        // closes the connection instead.
        for (size_t i = 0; sent && i < reply.size(); i++)
            sent = !reply[i].empty() && ztIpcSend(&conn, reply[i].data(), reply[i].size()) >= 0;
        if (!sent)
            break;
    }
    std::lock_guard<std::mutex> lock(gConnections.lock);
    gConnections.fds.erase(fd);
    ztIpcDestroy(&conn);
    gConnections.idle.notify_all();
}

std::string DbServer::control(const std::string &line)
{
    std::vector<std::string> words = splitWords(line);
    if (words.size() == 1 && words[0] == "rescan") {
        MediaCard card;
        Status s = mRescan ? mRescan(&card) : Status::error("nothing to rescan");
        if (s.ok())
            s = mCatalog.replace(std::move(card));
        return s.ok() ? "ok version " + std::to_string(mCatalog.version()) : "error: " + s.message;
    }
    if (words.size() == 1 && words[0] == "bump-version") {
        Status s = mCatalog.bumpVersion();
        return s.ok() ? "ok version " + std::to_string(mCatalog.version()) : "error: " + s.message;
    }
    if (words.size() == 1 && words[0] == "version")
        return "ok version " + std::to_string(mCatalog.version());
    Status s = mFaults.arm(words);
    return s.ok() ? "ok " + join(words) : "error: " + s.message;
}

int DbServer::run(const std::string &cardId)
{
    std::string err;
    int listenFd = ztIpcListen(RTOS_MEDIA_DB_CHANNEL, &err);
    int ctlFd = listenFd < 0 ? -1 : ztIpcListen(ZT_MEDIADB_CTL_CHANNEL, &err);
    int wake[2] = {-1, -1};
    if (listenFd < 0 || ctlFd < 0 || pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "ztMediaDBd: %s\n", err.empty() ? std::strerror(errno) : err.c_str());
        return 2;
    }
    if (!ztIpcWriteFile("card_id", cardId + "\n", &err))
        std::fprintf(stderr, "ztMediaDBd: %s\n", err.c_str());
    gWakeFd = wake[1];
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    std::fprintf(stderr, "ztMediaDBd: serving card %s (version %u) in %s\n", cardId.c_str(),
                 mCatalog.version(), ztIpcDir().c_str());

    pollfd fds[3] = {{listenFd, POLLIN, 0}, {ctlFd, POLLIN, 0}, {wake[0], POLLIN, 0}};
    while (!(fds[2].revents & POLLIN)) {
        if (poll(fds, 3, -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                std::lock_guard<std::mutex> lock(gConnections.lock);
                gConnections.fds.insert(fd);
                try {
                    std::thread([this, fd] { serveConnection(fd); }).detach();
                } catch (const std::system_error &e) {
                    // Out of threads: turn this client away rather than die with every other one.
                    std::fprintf(stderr, "ztMediaDBd: serve connection: %s\n", e.what());
                    gConnections.fds.erase(fd);
                    close(fd);
                }
            }
        }
        if (fds[1].revents & POLLIN) {
            int fd = accept4(ctlFd, nullptr, nullptr, SOCK_CLOEXEC);
            rtosConnection_t c = connectionOf(fd);
            char line[DB_FRAME_MAX + 1];
            timeval tv{2, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            int n = fd < 0 ? -1 : ztIpcReceiveInto(&c, line, DB_FRAME_MAX);
            if (n >= 0) {
                std::string answer = control(std::string(line, static_cast<size_t>(n)));
                ztIpcSend(&c, answer.data(), std::min<size_t>(answer.size(), DB_FRAME_MAX));
            }
            if (fd >= 0)
                ztIpcDestroy(&c);
        }
    }
    std::fprintf(stderr, "ztMediaDBd: stopping\n");
    close(listenFd);
    close(ctlFd);
    unlink(ztIpcChannelPath(RTOS_MEDIA_DB_CHANNEL).c_str());
    unlink(ztIpcChannelPath(ZT_MEDIADB_CTL_CHANNEL).c_str());
    std::unique_lock<std::mutex> lock(gConnections.lock);
    for (int fd : gConnections.fds)
        shutdown(fd, SHUT_RDWR);
    gConnections.idle.wait(lock, [] { return gConnections.fds.empty(); });
    return 0;
}

int runControlCommand(const std::vector<std::string> &words)
{
    rtosConnection_t c{};
    int rc = ztIpcInit(ZT_MEDIADB_CTL_CHANNEL, &c);
    if (rc < 0) {
        std::fprintf(stderr, "ztMediaDBd ctl: connect %s: %s\n", ztIpcChannelPath(ZT_MEDIADB_CTL_CHANNEL).c_str(),
                     std::strerror(-rc));
        return 1;
    }
    std::string line = join(words);
    char answer[DB_FRAME_MAX + 1];
    int n = ztIpcSend(&c, line.data(), line.size()) < 0 ? -1 : ztIpcReceive(&c, answer);
    ztIpcDestroy(&c);
    if (n < 0) {
        std::fprintf(stderr, "ztMediaDBd ctl: no answer: %s\n", std::strerror(-n));
        return 1;
    }
    std::string text(answer, static_cast<size_t>(n));
    std::fprintf(text.compare(0, 2, "ok") == 0 ? stdout : stderr, "%s\n", text.c_str());
    return text.compare(0, 2, "ok") == 0 ? 0 : 1;
}
