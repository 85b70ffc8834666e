// Shared steps of the database commands.
#include "libztMediaRTOSDB/src/dbCommon.h"

#include <cstring>

#include "platform/ztsleep.h"

void dbPause() { ztSleepUs(DB_RETRY_PAUSE_US); }

uint32_t dbTokenOf(const void *p)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p) & 0xFFFFFFFFu);
}

void dbCopyName(char *dst, const char *src, size_t width)
{
    size_t n = 0;
    if (src)
        while (n < width && src[n]) ++n;
    if (n) std::memcpy(dst, src, n);
    std::memset(dst + n, 0, width - n);
}

void dbLogRequestHeader(int level, const db_request_header &h, bool withToken)
{
    DBLOG(level, "Request: command_type %d\n", h.command_type);
    DBLOG(level, "         request_count %d\n", h.request_count);
    if (withToken) DBLOG(level, "         token 0x%08X\n", h.token);
}

void dbLogResponseHeader(int level, const db_response_header &h, bool withToken)
{
    DBLOG(level, "ResponseHeader: command_type %d\n", h.command_type);
    DBLOG(level, "                status %d\n", h.status);
    DBLOG(level, "                count_returned %d\n", h.count_returned);
    DBLOG(level, "                rtos_db_version %d\n", h.rtos_db_version);
    if (withToken) DBLOG(level, "                token 0x%08X\n", h.token);
}

bool dbNoteShortResponse(int bytes)
{
    if (bytes >= static_cast<int>(sizeof(db_response_header))) return false;
    dbPause();
    DBLOG(DB_LOG_NOTICE, "%d bytes received, expecting %ld, retrying\n", bytes,
          static_cast<long>(sizeof(db_response_header)));
    return true;
}

void dbNoteErrorStatus(uint32_t status)
{
    dbPause();
    DBLOG(DB_LOG_NOTICE, "error on IPC received, retrying, status %d\n", status);
}

int dbHttpStatusFromDb(uint32_t status)
{
    switch (status) {
    case 0: return 200;
    case 1:
    case 2: return 503;
    case 4: return 404;
    default: break;
    }
    DBLOG(DB_LOG_ERROR, "error on IPC received, exiting, status %d\n", status);
    return status == 3 ? 404 : 500;
}

bool dbClampCount(db_response_header *h, uint32_t requested, int level)
{
    if (h->count_returned <= requested) return false;
    DBLOG(level, "command %d requested %d, response returned %d, setting response returned to %d\n",
          h->command_type, requested, h->count_returned, requested);
    h->count_returned = requested;
    return true;
}

bool dbCheckToken(uint32_t sent, uint32_t received)
{
    if (sent == received) return true;
    DBLOG(DB_LOG_NOTICE, "Tokens don't match %d %d", sent, received);
    return false;
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
