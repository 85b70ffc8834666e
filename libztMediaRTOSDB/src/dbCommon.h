// Steps that the database commands share around the transport: the header logs, the 100 ms pauses with their notices, count clamping, token checks,
// the status-to-HTTP mapping and elapsed-time reporting. Pure helpers over caller-owned data,
// no state; callable from any thread.
//
// Message texts here are the client's own; a trailing "\n" in a format makes no difference to the
// kernel log (it never doubles it), so commands whose texts differ only in that share one helper.
#ifndef ZT_DB_COMMON_H
#define ZT_DB_COMMON_H

#include <sys/time.h>

#include <cstddef>
#include <cstdint>

#include "libztMediaRTOSDB/src/dbLog.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/src/dbTransport.h"

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

// When fewer than a response header's bytes came back (a failure included): pause 100 ms, log
// "%d bytes received, expecting %ld, retrying\n" (level 3) and return true. Else false.
bool dbNoteShortResponse(int bytes);
// A refused response that is used anyway: pause 100 ms and log
// "error on IPC received, retrying, status %d\n" (level 3).
void dbNoteErrorStatus(uint32_t status);

// The HTTP status for a response status: 0 -> 200, 1 and 2 -> 503, 3 -> 404 and >4 -> 500 after
// "error on IPC received, exiting, status %d\n" (level 2), 4 -> 404 silently.
int dbHttpStatusFromDb(uint32_t status);

// When the response returns more items than asked for: log "command %d requested %d, response
// returned %d, setting response returned to %d\n" at `level` and clamp `count_returned`.
// Returns true when it clamped.
bool dbClampCount(db_response_header *h, uint32_t requested, int level);
// Logs "Tokens don't match %d %d" (level 3) when the echoed token differs; true when they match.
bool dbCheckToken(uint32_t sent, uint32_t received);

// Wall-clock timing of one command (gettimeofday), reported as seconds and microseconds with a
// borrow when the microseconds went backwards.
struct DbTimer {
    timeval start;
    DbTimer();
    void elapsed(unsigned long *sec, unsigned long *usec) const;
};

#endif
