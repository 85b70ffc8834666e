// Diagnostics of the database client: the kernel-log macro (source name "ztMediaDBApp"), the
// hex dump of frames at level 6 and up (standard output), and the consistency assertion that
// reports at level 5, raises SIGABRT and exits with -1. Nothing here allocates or owns memory;
// callable from any thread (the dump shares stdout with whoever else prints).
#ifndef ZT_DB_LOG_H
#define ZT_DB_LOG_H

#include <cstddef>
#include <cstdio>

#include "platform/ztklog.h"

// The source name every client message carries.
#define ZT_DB_LOG_FILE "ztMediaDBApp"
// The source path the assertion report names.
#define ZT_DB_ASSERT_PATH "libztMediaRTOSDB/src/ztMediaDBApp"

// Levels of the client's messages.
enum : int {
    DB_LOG_ERROR = 2,    // failures
    DB_LOG_NOTICE = 3,   // retries, short responses, mismatches
    DB_LOG_HEADERS = 4,  // header dumps and timings
    DB_LOG_DETAIL = 5,   // settings, responder header dumps, assertion reports
    DB_LOG_FRAMES = 6,   // every frame in hex on standard output
};

// DBLOG(level, format, ...): one kernel-log line from this source line when g_logLevel >= level.
// The arguments are not evaluated below the level.
#define DBLOG(level, ...)                                                                                              \
    do {                                                                                                               \
        if (g_logLevel >= (level))                                                                                     \
            ztUtilKlogMsgLevel((level), __LINE__, ZT_DB_LOG_FILE, __VA_ARGS__);                                        \
    } while (0)

// DB_ASSERT(expr): a programming error when expr is false; reports the expression text.
#define DB_ASSERT(expr)                                                                                                \
    do {                                                                                                               \
        if (!(expr))                                                                                                   \
            dbAssertFail(__func__, __LINE__, #expr);                                                                   \
    } while (0)

// Logs "\033[31mASSERT:<path>/<func>:<line>:<expr>\n\033[0m" at level 5 when g_logLevel >= 5,
// raises SIGABRT and, if that returns (signal caught or ignored), exits with -1.
[[noreturn]] void dbAssertFail(const char *func, int line, const char *expr);

// Writes `len` bytes as the frame dump: "<label>:", then per byte " %02x", a line head
// "\n[%5.5d/%5.5d]:" (offset/length) every 32 bytes, extra blanks after every 4th, 8th and 16th
// byte, and a final newline.
void dbDumpFrame(FILE *out, const char *label, const void *bytes, size_t len);
// At g_logLevel >= 6: dumps the frame on standard output, or prints only a newline when `len`
// is 0 or negative (a failed or empty receive). Below level 6: nothing.
void dbTraceFrame(const char *label, const void *bytes, int len);

// Labels of the two directions.
#define DB_DUMP_SEND "\nSnd "
#define DB_DUMP_RECV "\nRcv "

#endif
