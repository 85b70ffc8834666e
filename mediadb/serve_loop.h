// Serves many connections with a fixed set of worker threads fed by one epoll readiness loop. A
// connection belongs to at most one worker at a time (EPOLLONESHOT) and only while it has a frame
// to answer, so a silent or slow client holds no thread; replies due later (the delay fault) wait
// on a timer thread, not on a worker. The handler runs on the workers, concurrently for different
// connections. One ServeLoop per process; run() blocks until the wake descriptor turns readable.
#ifndef ZT_MEDIADB_SERVE_LOOP_H
#define ZT_MEDIADB_SERVE_LOOP_H

#include <cstdint>
#include <functional>
#include <vector>

enum class ChannelKind : uint32_t { Protocol, Control };

// What to do with one received frame.
struct Answer {
    std::vector<std::vector<uint8_t>> frames;  // sent in order; none: nothing is sent
    uint32_t delayMs = 0;                      // wait this long before sending
    bool keepOpen = true;                      // false: close once the frames are sent
};

// `length` is the frame's size, or -EMSGSIZE when it did not fit the receive buffer.
using FrameHandler = std::function<Answer(ChannelKind kind, const uint8_t *frame, int length)>;

struct Listener {
    int fd;
    ChannelKind kind;
};

// Accepts on `listeners`, answers every frame through `handler` with `workers` threads, and
// returns when `wakeFd` is readable; connections still open then are closed, delayed replies
// still waiting are dropped. 0, or -1 (errno set) when the loop could not be set up.
int serveConnections(const std::vector<Listener> &listeners, int wakeFd, unsigned workers, const FrameHandler &handler);

#endif
