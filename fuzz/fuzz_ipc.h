// For fuzz targets of the client: replaces the platform IPC calls so that every receive hands out
// the next frame of the fuzz input instead of a server's answer. Input layout: frames back to
// back, each a 2-byte little-endian length and that many bytes (cut at the input's end); once
// the input is used up a receive times out. Sends succeed without going anywhere. One input at
// a time, on one thread, like libFuzzer itself.
#ifndef ZT_FUZZ_IPC_H
#define ZT_FUZZ_IPC_H

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/ztipc.h"
#include "platform/ztklog.h"
#include "platform/ztsleep.h"

namespace fuzzipc {

inline const uint8_t *gData;
inline size_t gLeft;

inline int init(const char *, rtosConnection_t *conn)
{
    conn->fd = -1;  // nothing real behind it
    conn->connected = 1;
    return 0;
}
inline int send(rtosConnection_t *, const void *, size_t len) { return static_cast<int>(len); }
inline int receive(rtosConnection_t *, void *buf, size_t cap)
{
    if (gLeft < 2)
        return -EAGAIN;
    size_t len = gData[0] | static_cast<size_t>(gData[1]) << 8;
    gData += 2;
    gLeft -= 2;
    if (len > gLeft)
        len = gLeft;
    const uint8_t *frame = gData;
    gData += len;
    gLeft -= len;
    if (len == 0)
        return -ECONNRESET;  // what an empty frame reads as on the real channel
    if (len > cap)
        return -EMSGSIZE;
    std::memcpy(buf, frame, len);
    return static_cast<int>(len);
}
inline int destroy(rtosConnection_t *conn)
{
    conn->connected = 0;
    return 0;
}

// Installs the scripted calls (once) and points them at this input. Also silences the client's
// log (its refusals would flood the output) and its retry pauses (they would only slow it down).
inline void feed(const uint8_t *data, size_t size)
{
    static const ztIpcOps ops = {init, send, receive, destroy};
    static const bool once = [] {
        ztUtilSetLogLevel(0);
        ztSetSleepHook([](void *, unsigned) {}, nullptr);
        return ztIpcSetOps(&ops) != nullptr;
    }();
    (void)once;
    gData = data;
    gLeft = size;
}

}  // namespace fuzzipc

#endif
