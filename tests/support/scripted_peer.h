// Test doubles for the media database channel. ScriptedPeer is an in-process peer listening on
// a private ZT_IPC_DIR (mkdtemp) that answers each request from a queue of canned actions or a
// callback and records every request it saw. IpcFaults makes platform IPC calls fail on demand
// without any peer; PauseRecorder counts the client's pauses instead of sleeping them.
// Create and destroy them on the test's main thread; the peer's own thread only runs the script.
#ifndef ZT_TEST_SCRIPTED_PEER_H
#define ZT_TEST_SCRIPTED_PEER_H

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Frame = std::vector<uint8_t>;

// The bytes of a packed wire record.
template <class T>
Frame frameOf(const T &record)
{
    Frame f(sizeof record);
    std::memcpy(f.data(), &record, sizeof record);
    return f;
}
// Appends the bytes of `record` to `frame`; returns the frame for chaining.
template <class T>
Frame &appendRecord(Frame &frame, const T &record)
{
    // resize + memcpy rather than insert: g++ 12 misreads the grown copy as out of bounds.
    size_t at = frame.size();
    frame.resize(at + sizeof record);
    std::memcpy(frame.data() + at, &record, sizeof record);
    return frame;
}

// One request as the peer received it.
struct PeerRequest {
    Frame bytes;
    int connection;  // 1 for the first accepted connection, 2 for the next, ...
    // Word `index` of the request (0: command_type, 1: request_count, 2: token); 0 past its end.
    uint32_t word(size_t index) const;
};

// What the peer does with one request.
struct PeerAction {
    enum Kind { Reply, Close, Silence } kind = Close;
    std::vector<Frame> frames;  // Reply: sent in order on the same connection

    static PeerAction reply(Frame frame);
    static PeerAction replies(std::vector<Frame> frames);
    static PeerAction close();    // hang up without answering
    static PeerAction silence();  // answer nothing, keep the connection
};

class ScriptedPeer {
public:
    using Handler = std::function<PeerAction(const PeerRequest &)>;

    // Creates the private directory, points ZT_IPC_DIR at it and listens on `channel`.
    explicit ScriptedPeer(const char *channel = "rtos_media_db");
    // Stops the peer, removes the directory and restores ZT_IPC_DIR.
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer &) = delete;
    ScriptedPeer &operator=(const ScriptedPeer &) = delete;

    bool ok() const { return mError.empty(); }
    const std::string &error() const { return mError; }
    const std::string &dir() const { return mDir; }

    // Queues the action for the next request not yet answered.
    void push(PeerAction action);
    void reply(Frame frame) { push(PeerAction::reply(std::move(frame))); }
    // Decides requests that find the queue empty (default: Close).
    void setHandler(Handler handler);

    std::vector<PeerRequest> requests() const;
    size_t requestCount() const;
    int connections() const;

private:
    void run();
    void serve(int fd, int connection);
    PeerAction next(const PeerRequest &request);

    std::string mDir;
    std::string mError;
    std::string mSavedIpcDir;
    bool mHadIpcDir = false;
    int mListenFd = -1;
    int mWake[2] = {-1, -1};
    std::thread mThread;

    mutable std::mutex mMutex;
    std::deque<PeerAction> mActions;
    Handler mHandler;
    std::vector<PeerRequest> mRequests;
    int mConnections = 0;
};

// Replaces the platform IPC calls while alive: counts every call and fails the next N of a kind
// (-1: every one) without touching a socket; the rest go to the real sockets.
class IpcFaults {
public:
    IpcFaults();
    ~IpcFaults();
    IpcFaults(const IpcFaults &) = delete;
    IpcFaults &operator=(const IpcFaults &) = delete;

    int failInit = 0;        // fail with -ECONNREFUSED
    int failSend = 0;        // fail with -EPIPE
    int timeoutReceive = 0;  // fail with -EAGAIN at once, as a time-out would
    int inits = 0, sends = 0, receives = 0, destroys = 0;
};

// Records the client's pauses (microseconds each) instead of sleeping while alive.
class PauseRecorder {
public:
    PauseRecorder();
    ~PauseRecorder();
    PauseRecorder(const PauseRecorder &) = delete;
    PauseRecorder &operator=(const PauseRecorder &) = delete;
    std::vector<unsigned> pauses;
};

#endif
