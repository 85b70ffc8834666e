// The scripted peer, the IPC fault injector and the pause recorder.
#include "support/scripted_peer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/ztipc.h"
#include "platform/ztsleep.h"

namespace {

// Waits until `fd` is readable or the wake pipe fires; false on wake-up or error.
bool waitReadable(int fd, int wakeFd)
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        int rc = poll(fds, 2, -1);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0 || fds[1].revents)
            return false;
        if (fds[0].revents)
            return true;
    }
}

}  // namespace

uint32_t PeerRequest::word(size_t index) const
{
    uint32_t w = 0;
    if ((index + 1) * 4 <= bytes.size())
        std::memcpy(&w, bytes.data() + index * 4, 4);
    return w;
}

PeerAction PeerAction::reply(Frame frame) { return replies({std::move(frame)}); }

PeerAction PeerAction::replies(std::vector<Frame> frames)
{
    PeerAction a;
    a.kind = Reply;
    a.frames = std::move(frames);
    return a;
}

PeerAction PeerAction::close() { return PeerAction(); }

PeerAction PeerAction::silence()
{
    PeerAction a;
    a.kind = Silence;
    return a;
}

ScriptedPeer::ScriptedPeer(const char *channel)
{
    char tmpl[] = "/tmp/ztpeer.XXXXXX";
    if (!mkdtemp(tmpl)) {
        mError = std::string("mkdtemp: ") + std::strerror(errno);
        return;
    }
    mDir = tmpl;
    if (const char *old = std::getenv("ZT_IPC_DIR")) {
        mHadIpcDir = true;
        mSavedIpcDir = old;
    }
    setenv("ZT_IPC_DIR", mDir.c_str(), 1);
    mListenFd = ztIpcListen(channel, &mError);
    if (mListenFd < 0)
        return;
    if (pipe(mWake) < 0) {
        mError = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    mThread = std::thread([this] { run(); });
}

ScriptedPeer::~ScriptedPeer()
{
    if (mThread.joinable()) {
        char c = 'x';
        (void)!write(mWake[1], &c, 1);
        mThread.join();
    }
    for (int fd : {mListenFd, mWake[0], mWake[1]})
        if (fd >= 0)
            ::close(fd);
    if (!mDir.empty())
        std::filesystem::remove_all(mDir);
    if (mHadIpcDir)
        setenv("ZT_IPC_DIR", mSavedIpcDir.c_str(), 1);
    else
        unsetenv("ZT_IPC_DIR");
}

void ScriptedPeer::run()
{
    while (waitReadable(mListenFd, mWake[0])) {
        int fd = accept4(mListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int connection;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            connection = ++mConnections;
        }
        serve(fd, connection);
        ::close(fd);
    }
}

// Answers requests on one connection until the client or the script hangs up.
void ScriptedPeer::serve(int fd, int connection)
{
    uint8_t buf[65536];
    while (waitReadable(fd, mWake[0])) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return;
        PeerRequest request{Frame(buf, buf + n), connection};
        PeerAction action = next(request);
        if (action.kind == PeerAction::Close)
            return;
        for (const Frame &f : action.frames)
            send(fd, f.data(), f.size(), MSG_NOSIGNAL);
    }
}

PeerAction ScriptedPeer::next(const PeerRequest &request)
{
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mRequests.push_back(request);
        if (!mActions.empty()) {
            PeerAction a = std::move(mActions.front());
            mActions.pop_front();
            return a;
        }
        handler = mHandler;
    }
    return handler ? handler(request) : PeerAction::close();
}

void ScriptedPeer::push(PeerAction action)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mActions.push_back(std::move(action));
}

void ScriptedPeer::setHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mHandler = std::move(handler);
}

std::vector<PeerRequest> ScriptedPeer::requests() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mRequests;
}

size_t ScriptedPeer::requestCount() const { return requests().size(); }

int ScriptedPeer::connections() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mConnections;
}

namespace {

IpcFaults *gFaults = nullptr;

// Consumes one scheduled failure of a kind (-1 never runs out).
bool take(int &budget)
{
    if (budget == 0)
        return false;
    if (budget > 0)
        --budget;
    return true;
}

int faultyInit(const char *name, rtosConnection_t *conn)
{
    ++gFaults->inits;
    if (take(gFaults->failInit))
        return -ECONNREFUSED;
    return ztIpcSocketOps()->init(name, conn);
}

int faultySend(rtosConnection_t *conn, const void *buf, size_t len)
{
    ++gFaults->sends;
    if (take(gFaults->failSend))
        return -EPIPE;
    return ztIpcSocketOps()->send(conn, buf, len);
}

int faultyReceive(rtosConnection_t *conn, void *buf, size_t cap)
{
    ++gFaults->receives;
    if (take(gFaults->timeoutReceive))
        return -EAGAIN;
    return ztIpcSocketOps()->receive(conn, buf, cap);
}

int faultyDestroy(rtosConnection_t *conn)
{
    ++gFaults->destroys;
    return ztIpcSocketOps()->destroy(conn);
}

const ztIpcOps kFaultyOps = {faultyInit, faultySend, faultyReceive, faultyDestroy};

void recordPause(void *ctx, unsigned usec) { static_cast<PauseRecorder *>(ctx)->pauses.push_back(usec); }

}  // namespace

IpcFaults::IpcFaults()
{
    gFaults = this;
    ztIpcSetOps(&kFaultyOps);
}

IpcFaults::~IpcFaults()
{
    ztIpcSetOps(nullptr);
    gFaults = nullptr;
}

PauseRecorder::PauseRecorder() { ztSetSleepHook(recordPause, this); }

PauseRecorder::~PauseRecorder() { ztSetSleepHook(nullptr, nullptr); }
