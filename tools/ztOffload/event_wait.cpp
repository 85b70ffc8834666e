#include "event_wait.h"

#include <fcntl.h>
#include <mqueue.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/ztmsg.h"

namespace {

// The code of an offload event, or -1 for any other message.
long eventCode(const char *buf, size_t len)
{
    ztmsg_view v;
    std::string err;
    if (!ztmsg_decode(buf, len, v, err) || std::strcmp(v.kind, ZTMSG_KIND_EVENT) != 0 || v.payload_size != 4) {
        std::fprintf(stderr, "ztOffload: skipped a message on %s that is not an event (%s)\n", ZT_WOM_QUEUE_NAME,
                     err.empty() ? "other kind or size" : err.c_str());
        return -1;
    }
    return long(uint32_t(v.payload[0]) | uint32_t(v.payload[1]) << 8 | uint32_t(v.payload[2]) << 16 |
                uint32_t(v.payload[3]) << 24);
}

}  // namespace

long waitOffloadEvent(const volatile std::sig_atomic_t &stop, std::string *why)
{
    const mqd_t q = ztmsg_open_wom_queue(O_RDONLY);
    if (q == mqd_t(-1)) {
        *why = std::string("mq_open ") + ZT_WOM_QUEUE_NAME + ": " + std::strerror(errno);
        return -1;
    }
    mq_attr attr{};
    mq_getattr(q, &attr);
    std::vector<char> buf(size_t(attr.mq_msgsize > 0 ? attr.mq_msgsize : ZT_WOM_QUEUE_MSGSIZE));
    long code = -1;
    while (code < 0 && !stop) {
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += 1;  // wake up now and then to see whether we are asked to stop
        const ssize_t got = mq_timedreceive(q, buf.data(), buf.size(), nullptr, &deadline);
        if (got >= 0) {
            code = eventCode(buf.data(), size_t(got));
        } else if (errno != ETIMEDOUT && errno != EINTR) {
            *why = std::string("mq_receive ") + ZT_WOM_QUEUE_NAME + ": " + std::strerror(errno);
            break;
        }
    }
    mq_close(q);
    return code;
}
