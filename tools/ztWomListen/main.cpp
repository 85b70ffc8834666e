// ztWomListen: the offload manager's end of "/to_wom" for demos and tests. Opens (creating)
// the queue, receives N event messages, prints each as "event <code>" and its elements.
// Exit 0 when all arrived well-formed; 1 on a time-out, a malformed message or a queue error.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mqueue.h>
#include <string>

#include "platform/ztmsg.h"

namespace {

struct Options {
    unsigned long count = 1;
    unsigned long timeoutSec = 30;
    bool flush = false;
    bool fresh = false;  // --new: the queue must not exist yet; it is removed at exit
};

const char *tagName(uint32_t tag)
{
    switch (tag) {
    case ZTMSG_TAG_DEST_QUEUE: return "destination queue";
    case ZTMSG_TAG_REPLY_QUEUE: return "reply queue";
    case ZTMSG_TAG_END: return "end";
    default: return "unknown";
    }
}

int usage()
{
    fprintf(stderr, "usage: ztWomListen [--count N] [--timeout SECONDS] [--flush | --new]\n"
                    "  --flush  discard messages already waiting before listening\n"
                    "  --new    create the queue, refusing one that exists (it belongs to someone\n"
                    "           else); say \"listening\" on standard error; remove it at exit\n");
    return 2;
}

bool parseNumber(const char *text, unsigned long *out)
{
    if (!text || !*text || *text == '-')
        return false;
    char *end = nullptr;
    errno = 0;
    *out = strtoul(text, &end, 10);
    return errno == 0 && *end == '\0';
}

bool parseArgs(int argc, char **argv, Options *opt)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--flush")
            opt->flush = true;
        else if (a == "--new")
            opt->fresh = true;
        else if (a == "--count" && i + 1 < argc && parseNumber(argv[i + 1], &opt->count) && opt->count > 0)
            ++i;
        else if (a == "--timeout" && i + 1 < argc && parseNumber(argv[i + 1], &opt->timeoutSec))
            ++i;
        else
            return false;
    }
    return !(opt->flush && opt->fresh);
}

void discardWaiting(mqd_t q)
{
    char buf[ZT_WOM_QUEUE_MSGSIZE];
    timespec now{};
    int dropped = 0;
    while (clock_gettime(CLOCK_REALTIME, &now) == 0 && mq_timedreceive(q, buf, sizeof buf, nullptr, &now) >= 0)
        ++dropped;
    if (dropped)
        fprintf(stderr, "ztWomListen: discarded %d message(s) already waiting\n", dropped);
}

// Prints one message; false (with the reason on standard error) when it is not a valid event.
bool printEvent(const char *buf, size_t len)
{
    ztmsg_view v;
    std::string err;
    if (!ztmsg_decode(buf, len, v, err)) {
        fprintf(stderr, "ztWomListen: malformed message of %zu bytes: %s\n", len, err.c_str());
        return false;
    }
    if (strcmp(v.kind, ZTMSG_KIND_EVENT) != 0 || v.payload_size != 4) {
        fprintf(stderr,
                "ztWomListen: malformed message: kind '%s' with a %u-byte payload, "
                "expected kind 'EV' with a 4-byte code\n",
                v.kind, v.payload_size);
        return false;
    }
    uint32_t code = uint32_t(v.payload[0]) | uint32_t(v.payload[1]) << 8 | uint32_t(v.payload[2]) << 16 |
                    uint32_t(v.payload[3]) << 24;
    printf("event %u\n", code);
    for (const ztmsg_element &e : v.elements)
        printf("  tag 0x%X (%s) size %u: %s\n", e.tag, tagName(e.tag), e.size, ztmsg_format_value(e).c_str());
    fflush(stdout);  // a reader waits for each event, not for our exit
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    Options opt;
    if (!parseArgs(argc, argv, &opt))
        return usage();

    mqd_t q = ztmsg_open_wom_queue(O_RDONLY | (opt.fresh ? O_EXCL : 0));
    if (q == (mqd_t)-1) {
        fprintf(stderr, "ztWomListen: mq_open %s: %s%s\n", ZT_WOM_QUEUE_NAME, strerror(errno),
                errno == EEXIST ? " (another program's queue: left alone)" : "");
        return 1;
    }
    if (opt.fresh) {
        fprintf(stderr, "ztWomListen: listening on a new %s\n", ZT_WOM_QUEUE_NAME);
        fflush(stderr);
    }
    if (opt.flush)
        discardWaiting(q);

    mq_attr actual{};
    mq_getattr(q, &actual);
    std::string buf(size_t(actual.mq_msgsize > 0 ? actual.mq_msgsize : ZT_WOM_QUEUE_MSGSIZE), '\0');
    int rc = 0;
    for (unsigned long n = 0; n < opt.count && rc == 0; ++n) {
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += time_t(opt.timeoutSec);
        ssize_t got = mq_timedreceive(q, &buf[0], buf.size(), nullptr, &deadline);
        if (got < 0) {
            if (errno == ETIMEDOUT)
                fprintf(stderr, "ztWomListen: no message on %s within %lu s (%lu of %lu received)\n", ZT_WOM_QUEUE_NAME,
                        opt.timeoutSec, n, opt.count);
            else
                fprintf(stderr, "ztWomListen: mq_receive %s: %s\n", ZT_WOM_QUEUE_NAME, strerror(errno));
            rc = 1;
        } else if (!printEvent(buf.data(), size_t(got))) {
            rc = 1;
        }
    }
    mq_close(q);
    if (opt.fresh)
        mq_unlink(ZT_WOM_QUEUE_NAME);
    return rc;
}
