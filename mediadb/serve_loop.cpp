#include "mediadb/serve_loop.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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
        armLocked(EPOLL_CTL_ADD, fd, kind);
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
            // A copy: the queue may grow, and move its elements, while the wait lets go of the lock.
            const Clock::time_point due = mDelayed.top().due;
            if (Clock::now() < due) {
                mTimer.wait_until(lock, due);
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
        mDelayed.push(
            Delayed{Clock::now() + std::chrono::milliseconds(answer.delayMs), r.fd, r.kind, std::move(answer)});
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

    // Hands the connection back to epoll. The kernel arms it inside epoll_ctl, so its next frame
    // can reach another worker, which may close it, before this call has returned: re-arming and
    // closing therefore take the same lock, and a close never overlaps a re-arm of its number.
    void rearm(int fd, ChannelKind kind)
    {
        std::lock_guard<std::mutex> lock(mOpenLock);
        armLocked(EPOLL_CTL_MOD, fd, kind);
    }

    // Watches the connection for its next frame, once (`op`: add or modify); one epoll refuses
    // is closed. Under mOpenLock.
    void armLocked(int op, int fd, ChannelKind kind)
    {
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLONESHOT;
        ev.data.u64 = tag(connRole(kind), fd);
        if (epoll_ctl(mEpoll, op, fd, &ev) < 0)
            closeLocked(fd);
    }

    void release(int fd)
    {
        std::lock_guard<std::mutex> lock(mOpenLock);
        closeLocked(fd);
    }

    void closeLocked(int fd)
    {
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
    std::mutex mOpenLock;  // guards mOpen, and every epoll_ctl or close of a connection
    std::unordered_set<int> mOpen;
};

bool watch(int epoll, int fd, Role role)
{
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = tag(role, fd);
    return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &ev) == 0;
}

Role listenRole(ChannelKind kind) { return kind == ChannelKind::Control ? ControlListen : ProtocolListen; }

// Accepting at the descriptor limit fails at once while the listener stays readable, so a plain
// loop would spin on it. A listener that fails is taken out of the epoll set for kPause and
// watched again after it, with one log line per kLogInterval. A few spare descriptors are kept
// for the control channel: at the limit they are given up, one for the control connection and
// the rest for what answering it may open, so that `ctl` still answers; they are taken back
// before any protocol connection can have the freed slots. Used by the dispatch thread alone.
class AcceptGate {
public:
    explicit AcceptGate(int epoll) : mEpoll(epoll) { takeSpares(); }
    ~AcceptGate() { giveUpSpares(); }
    AcceptGate(const AcceptGate &) = delete;
    AcceptGate &operator=(const AcceptGate &) = delete;

    void acceptAll(Loop &loop, int listenFd, ChannelKind kind)
    {
        if (kind == ChannelKind::Protocol)
            takeSpares();
        for (;;) {
            const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                loop.adopt(fd, kind);
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN)
                return;
            if (kind == ChannelKind::Control && !mSpares.empty()) {
                giveUpSpares();  // one slot takes this control connection
                continue;
            }
            return pause(listenFd, kind, errno);
        }
    }

    // The epoll_wait time-out: until the first paused listener is due, or -1 when none is.
    int timeoutMs() const
    {
        if (mPaused.empty())
            return -1;
        Clock::time_point first = mPaused.front().until;
        for (const Paused &p : mPaused)
            first = std::min(first, p.until);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(first - Clock::now()).count();
        return static_cast<int>(std::max<long long>(left + 1, 0));
    }

    // Watches again the listeners whose pause is over.
    void resume()
    {
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < mPaused.size();) {
            if (mPaused[i].until > now) {
                ++i;
                continue;
            }
            takeSpares();
            watch(mEpoll, mPaused[i].fd, listenRole(mPaused[i].kind));
            mPaused.erase(mPaused.begin() + long(i));
        }
    }

private:
    static constexpr std::chrono::milliseconds kPause{100};
    static constexpr std::chrono::seconds kLogInterval{10};
    static constexpr size_t kSpares = 4;

    struct Paused {
        int fd;
        ChannelKind kind;
        Clock::time_point until;
    };

    void takeSpares()
    {
        int fd;
        while (mSpares.size() < kSpares && (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0)
            mSpares.push_back(fd);
    }

    void giveUpSpares()
    {
        for (int fd : mSpares)
            close(fd);
        mSpares.clear();
    }

    void pause(int listenFd, ChannelKind kind, int err)
    {
        epoll_ctl(mEpoll, EPOLL_CTL_DEL, listenFd, nullptr);
        const Clock::time_point now = Clock::now();
        mPaused.push_back({listenFd, kind, now + kPause});
        ++mRefusals;
        if (mLogged && now - mLastLog < kLogInterval)
            return;
        std::fprintf(stderr,
                     "ztMediaDBd: accept: %s: new connections wait, %llu pause(s) of %lld ms since the last "
                     "such line\n",
                     std::strerror(err), mRefusals, static_cast<long long>(kPause.count()));
        mLogged = true;
        mLastLog = now;
        mRefusals = 0;
    }

    const int mEpoll;
    std::vector<int> mSpares;
    std::vector<Paused> mPaused;
    bool mLogged = false;
    Clock::time_point mLastLog;
    unsigned long long mRefusals = 0;
};

// Waits for readiness and hands it out until the wake descriptor fires.
void dispatch(int epoll, Loop &loop)
{
    AcceptGate gate(epoll);
    epoll_event events[64];
    for (;;) {
        const int n = epoll_wait(epoll, events, 64, gate.timeoutMs());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            std::fprintf(stderr, "ztMediaDBd: epoll_wait: %s\n", std::strerror(errno));
            return;
        }
        gate.resume();
        for (int i = 0; i < n; i++) {
            const Role role = static_cast<Role>(events[i].data.u64 >> 32);
            const int fd = static_cast<int>(static_cast<uint32_t>(events[i].data.u64));
            switch (role) {
            case Wake: return;
            case ProtocolListen: gate.acceptAll(loop, fd, ChannelKind::Protocol); break;
            case ControlListen: gate.acceptAll(loop, fd, ChannelKind::Control); break;
            case ProtocolConn: loop.push({fd, ChannelKind::Protocol}); break;
            case ControlConn: loop.push({fd, ChannelKind::Control}); break;
            }
        }
    }
}

}  // namespace

int serveConnections(const std::vector<Listener> &listeners, int wakeFd, unsigned workers, const FrameHandler &handler)
{
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0)
        return -1;
    bool ok = watch(epoll, wakeFd, Wake);
    for (const Listener &l : listeners) {
        ok = ok && fcntl(l.fd, F_SETFL, fcntl(l.fd, F_GETFL) | O_NONBLOCK) == 0;
        ok = ok && watch(epoll, l.fd, listenRole(l.kind));
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
