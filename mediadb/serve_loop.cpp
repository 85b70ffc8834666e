#include "mediadb/serve_loop.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <queue>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "platform/ztipc.h"

namespace {

using Clock = std::chrono::steady_clock;

// What an epoll event stands for; kept in the upper half of its data word, the descriptor below.
enum Role : uint32_t { ProtocolConn, ControlConn, ProtocolListen, ControlListen, Wake };

uint64_t tag(Role role, int fd) { return (uint64_t(role) << 32) | uint32_t(fd); }
Role connRole(ChannelKind kind) { return kind == ChannelKind::Control ? ControlConn : ProtocolConn; }

struct Ready {
    int fd;
    ChannelKind kind;
};

struct Delayed {
    Clock::time_point due;
    int fd;
    ChannelKind kind;
    Answer answer;
    bool operator>(const Delayed &o) const { return due > o.due; }
};

class Loop {
public:
    Loop(int epoll, const FrameHandler &handler) : mEpoll(epoll), mHandler(handler) {}

    // A new connection: watched until it turns readable.
    void adopt(int fd, ChannelKind kind)
    {
        std::lock_guard<std::mutex> lock(mOpenLock);
        mOpen.insert(fd);
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLONESHOT;
        ev.data.u64 = tag(connRole(kind), fd);
        if (epoll_ctl(mEpoll, EPOLL_CTL_ADD, fd, &ev) < 0) {
            mOpen.erase(fd);
            close(fd);
        }
    }

    void push(Ready r)
    {
        std::lock_guard<std::mutex> lock(mLock);
        mReady.push_back(r);
        mWork.notify_one();
    }

    void worker()
    {
        for (;;) {
            std::unique_lock<std::mutex> lock(mLock);
            mWork.wait(lock, [this] { return mStopping || !mReady.empty(); });
            if (mStopping)
                return;
            Ready r = mReady.front();
            mReady.pop_front();
            lock.unlock();
            serve(r);
        }
    }

    // Sends the delayed replies when they fall due.
    void timer()
    {
        std::unique_lock<std::mutex> lock(mLock);
        while (!mStopping) {
            if (mDelayed.empty()) {
                mTimer.wait(lock);
                continue;
            }
            if (Clock::now() < mDelayed.top().due) {
                mTimer.wait_until(lock, mDelayed.top().due);
                continue;
            }
            Delayed d = mDelayed.top();
            mDelayed.pop();
            lock.unlock();
            finish(d.fd, d.kind, d.answer);
            lock.lock();
        }
    }

    void stop()
    {
        std::lock_guard<std::mutex> lock(mLock);
        mStopping = true;
        mWork.notify_all();
        mTimer.notify_all();
    }

    // After the threads are joined: nobody else holds a connection any more.
    void closeAll()
    {
        std::lock_guard<std::mutex> lock(mOpenLock);
        for (int fd : mOpen)
            close(fd);
        mOpen.clear();
    }

private:
    void serve(const Ready &r)
    {
        uint8_t frame[ZT_IPC_FRAME_MAX];
        rtosConnection_t conn{};
        conn.fd = r.fd;
        conn.connected = 1;
        const int n = ztIpcReceiveInto(&conn, frame, sizeof frame);
        if (n == -EAGAIN)
            return rearm(r.fd, r.kind);
        if (n < 0 && n != -EMSGSIZE)
            return release(r.fd);
        Answer answer = mHandler(r.kind, frame, n);
        if (answer.delayMs == 0)
            return finish(r.fd, r.kind, answer);
        std::lock_guard<std::mutex> lock(mLock);
        mDelayed.push(Delayed{Clock::now() + std::chrono::milliseconds(answer.delayMs), r.fd, r.kind,
                              std::move(answer)});
        mTimer.notify_one();
    }

    // A client that does not take its replies (its socket buffer full) is cut off rather than
    // left to hold a worker.
    void finish(int fd, ChannelKind kind, const Answer &answer)
    {
        rtosConnection_t conn{};
        conn.fd = fd;
        conn.connected = 1;
        for (const std::vector<uint8_t> &f : answer.frames)
            if (ztIpcSend(&conn, f.data(), f.size()) < 0)
                return release(fd);
        if (answer.keepOpen)
            rearm(fd, kind);
        else
            release(fd);
    }

    void rearm(int fd, ChannelKind kind)
    {
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLONESHOT;
        ev.data.u64 = tag(connRole(kind), fd);
        if (epoll_ctl(mEpoll, EPOLL_CTL_MOD, fd, &ev) < 0)
            release(fd);
    }

    void release(int fd)
    {
        std::lock_guard<std::mutex> lock(mOpenLock);
        if (mOpen.erase(fd))
            close(fd);
    }

    const int mEpoll;
    const FrameHandler &mHandler;
    std::mutex mLock;  // guards the ready queue, the delayed replies and mStopping
    std::condition_variable mWork, mTimer;
    std::deque<Ready> mReady;
    std::priority_queue<Delayed, std::vector<Delayed>, std::greater<Delayed>> mDelayed;
    bool mStopping = false;
    std::mutex mOpenLock;
    std::unordered_set<int> mOpen;
};

bool watch(int epoll, int fd, Role role)
{
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = tag(role, fd);
    return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &ev) == 0;
}

void acceptAll(Loop &loop, int listenFd, ChannelKind kind)
{
    for (;;) {
        const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED)
                std::fprintf(stderr, "ztMediaDBd: accept: %s\n", std::strerror(errno));
            if (errno != EINTR && errno != ECONNABORTED)
                return;
            continue;
        }
        loop.adopt(fd, kind);
    }
}

// Waits for readiness and hands it out until the wake descriptor fires.
void dispatch(int epoll, Loop &loop)
{
    epoll_event events[64];
    for (;;) {
        const int n = epoll_wait(epoll, events, 64, -1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            std::fprintf(stderr, "ztMediaDBd: epoll_wait: %s\n", std::strerror(errno));
            return;
        }
        for (int i = 0; i < n; i++) {
            const Role role = static_cast<Role>(events[i].data.u64 >> 32);
            const int fd = static_cast<int>(static_cast<uint32_t>(events[i].data.u64));
            switch (role) {
            case Wake: return;
            case ProtocolListen: acceptAll(loop, fd, ChannelKind::Protocol); break;
            case ControlListen: acceptAll(loop, fd, ChannelKind::Control); break;
            case ProtocolConn: loop.push({fd, ChannelKind::Protocol}); break;
            case ControlConn: loop.push({fd, ChannelKind::Control}); break;
            }
        }
    }
}

}  // namespace

int serveConnections(const std::vector<Listener> &listeners, int wakeFd, unsigned workers,
                     const FrameHandler &handler)
{
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0)
        return -1;
    bool ok = watch(epoll, wakeFd, Wake);
    for (const Listener &l : listeners) {
        ok = ok && fcntl(l.fd, F_SETFL, fcntl(l.fd, F_GETFL) | O_NONBLOCK) == 0;
        ok = ok && watch(epoll, l.fd, l.kind == ChannelKind::Control ? ControlListen : ProtocolListen);
    }
    Loop loop(epoll, handler);
    std::vector<std::thread> threads;
    try {
        for (unsigned i = 0; ok && i < workers; i++)
            threads.emplace_back([&loop] { loop.worker(); });
        if (ok)
            threads.emplace_back([&loop] { loop.timer(); });
    } catch (const std::system_error &e) {
        std::fprintf(stderr, "ztMediaDBd: start workers: %s\n", e.what());
        ok = false;
    }
    const int saved = errno;
    if (ok)
        dispatch(epoll, loop);
    loop.stop();
    for (std::thread &t : threads)
        t.join();
    loop.closeAll();
    close(epoll);
    errno = saved;
    return ok ? 0 : -1;
}
