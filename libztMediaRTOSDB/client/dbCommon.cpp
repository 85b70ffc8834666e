// Shared steps of the database commands.
#include "libztMediaRTOSDB/client/dbCommon.h"

#include <cstring>

#include "platform/ztsleep.h"

void dbPause() { ztSleepUs(DB_RETRY_PAUSE_US); }

uint32_t dbTokenOf(const void *p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p) & 0xFFFFFFFFu); }

void dbCopyName(char *dst, const char *src, size_t width)
{
    size_t n = 0;
    if (src)
        while (n < width && src[n])
            ++n;
    if (n)
        std::memcpy(dst, src, n);
    std::memset(dst + n, 0, width - n);
}

void dbLogRequestHeader(int level, const db_request_header &h, bool withToken)
{
    DBLOG(level, "Request: command_type %d\n", h.command_type);
    DBLOG(level, "         request_count %d\n", h.request_count);
    if (withToken)
        DBLOG(level, "         token 0x%08X\n", h.token);
}

void dbLogResponseHeader(int level, const db_response_header &h, bool withToken)
{
    DBLOG(level, "ResponseHeader: command_type %d\n", h.command_type);
    DBLOG(level, "                status %d\n", h.status);
    DBLOG(level, "                count_returned %d\n", h.count_returned);
    DBLOG(level, "                rtos_db_version %d\n", h.rtos_db_version);
    if (withToken)
        DBLOG(level, "                token 0x%08X\n", h.token);
}

DbTimer::DbTimer() { gettimeofday(&start, nullptr); }

void DbTimer::elapsed(unsigned long *sec, unsigned long *usec) const
{
    timeval now;
    gettimeofday(&now, nullptr);
    long s = now.tv_sec - start.tv_sec;
    long us = now.tv_usec - start.tv_usec;
    if (us < 0) {
        us += 1000000;
        --s;
    }
    *sec = static_cast<unsigned long>(s);
    *usec = static_cast<unsigned long>(us);
}
