// Small steps that the database commands and their exchange share: the 100 ms pause, the token
// of a buffer, fixed-width names, the header logs and elapsed-time reporting. Pure helpers over
// caller-owned data, no state; callable from any thread.
//
// Message texts here are the client's own; a trailing "\n" in a format makes no difference to the
// kernel log (it never doubles it), so commands whose texts differ only in that share one helper.
#ifndef ZT_DB_COMMON_H
#define ZT_DB_COMMON_H

#include <sys/time.h>

#include <cstddef>
#include <cstdint>

#include "libztMediaRTOSDB/client/dbLog.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/client/dbTransport.h"

// Sleeps DB_RETRY_PAUSE_US (100 ms) through the platform's pause seam.
void dbPause();

// The token that commands derive from one of their own buffers: the low 32 bits of its address.
uint32_t dbTokenOf(const void *p);

// Copies at most `width` characters of `src`, stopping at a terminator and padding with zeros
// (fixed-width wire names; `dst` is not terminated when the name fills it). Null src: all zeros.
void dbCopyName(char *dst, const char *src, size_t width);

// "Request: command_type %d", "         request_count %d" and, with `withToken`,
// "         token 0x%08X" at `level` (4 for the plain commands, 5 for the HTTP ones).
void dbLogRequestHeader(int level, const db_request_header &h, bool withToken = true);
// "ResponseHeader: command_type %d", then status, count_returned, rtos_db_version and, with
// `withToken`, "                token 0x%08X" at `level`.
void dbLogResponseHeader(int level, const db_response_header &h, bool withToken = true);

// Wall-clock timing of one command (gettimeofday), reported as seconds and microseconds with a
// borrow when the microseconds went backwards.
struct DbTimer {
    timeval start;
    DbTimer();
    void elapsed(unsigned long *sec, unsigned long *usec) const;
};

#endif
