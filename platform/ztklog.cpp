// Kernel-log stand-in: formats one line per message and writes it to standard error in one go.
#include "platform/ztklog.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kDefaultLevel = 2;
constexpr int kMaxLevel = 99;

ztKlogSink gSink = nullptr;
void *gSinkCtx = nullptr;

void writeAll(int fd, const char *p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return;  // nowhere else to report a failing stderr
        p += w;
        n -= static_cast<size_t>(w);
    }
}

// Appends the vprintf expansion of `format` to `out`.
void appendV(std::string &out, const char *format, va_list ap)
{
    char small[512];
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof small) {
        out.append(small, static_cast<size_t>(n));
        return;
    }
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    std::vsnprintf(&out[at], static_cast<size_t>(n) + 1, format, ap);
    out.resize(at + static_cast<size_t>(n));
}

}  // namespace

int ztKlogLevelFromEnv()
{
    const char *v = std::getenv("ZT_LOG_LEVEL");
    if (!v || !*v)
        return kDefaultLevel;
    char *end = nullptr;
    errno = 0;
    long level = std::strtol(v, &end, 10);
    bool whole = *end == '\0' && std::strspn(v, "0123456789") == std::strlen(v);
    if (!whole || errno || level > kMaxLevel)
        return kDefaultLevel;
    return static_cast<int>(level);
}

int g_logLevel = ztKlogLevelFromEnv();

int ztUtilSetLogLevel(int level)
{
    if (level < 0)
        return -1;
    g_logLevel = level;
    return 0;
}

void ztKlogSetSink(ztKlogSink sink, void *ctx)
{
    gSink = sink;
    gSinkCtx = ctx;
}

void ztUtilKlogMsgLevel(int level, int line, const char *file, const char *format, ...)
{
    if (level > g_logLevel || !format)
        return;
    char head[128];
    std::snprintf(head, sizeof head, "zt[%d] %s:%d: ", level, file ? file : "?", line);
    std::string text(head);
    va_list ap;
    va_start(ap, format);
    appendV(text, format, ap);
    va_end(ap);
    if (text.back() != '\n')
        text.push_back('\n');
    if (gSink) {
        gSink(gSinkCtx, level, text.c_str());
        return;
    }
    writeAll(STDERR_FILENO, text.data(), text.size());
}
