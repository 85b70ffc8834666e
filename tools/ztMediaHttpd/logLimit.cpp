// See logLimit.h. A token bucket: a burst of kBurst lines, then kPerSecond lines a second.
#include "logLimit.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <time.h>
#include <unistd.h>

#include "platform/ztcamera.h"
#include "platform/ztklog.h"

namespace {

const double kBurst = 20;
const double kPerSecond = 5;

std::mutex gLock;
double gTokens = kBurst;
double gLast = 0;
unsigned long gDropped = 0;

double nowSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

// Writes `line` (ending in a newline) when the budget allows, else counts it.
void emit(const std::string &line)
{
    std::string out;
    {
        std::lock_guard<std::mutex> hold(gLock);
        const double now = nowSeconds();
        gTokens = std::min(kBurst, gTokens + (now - gLast) * kPerSecond);
        gLast = now;
        if (gTokens < 1) {
            ++gDropped;
            return;
        }
        gTokens -= 1;
        if (gDropped)
            ss_printf(out, "ztMediaHttpd: %lu log lines dropped\n", gDropped);
        gDropped = 0;
    }
    out += line;
    ssize_t ignored = write(STDERR_FILENO, out.data(), out.size());
    (void)ignored;  // nowhere else to report a failing standard error
}

void klogLine(void *, int, const char *line) { emit(line); }

}  // namespace

void logLine(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    logLineV(format, ap);
    va_end(ap);
}

void logLineV(const char *format, va_list ap)
{
    std::string line = "ztMediaHttpd: ";
    char text[512];
    vsnprintf(text, sizeof text, format, ap);
    line += text;
    if (line.back() != '\n')
        line += '\n';
    emit(line);
}

void limitResponderLog() { ztKlogSetSink(klogLine, nullptr); }
