// The platform's kernel log: leveled diagnostics of the database client and the responders,
// one line "zt[L] FILE:LINE: MESSAGE" per call on standard error (never standard output).
// Each line is written with a single write(2), so lines of concurrent threads do not interleave;
// g_logLevel is a plain int read without a lock, set it before starting threads.
#ifndef ZT_PLATFORM_ZTKLOG_H
#define ZT_PLATFORM_ZTKLOG_H

// Messages of level L are produced only when g_logLevel >= L. Starts at ZT_LOG_LEVEL when that
// is a whole decimal number from 0 to 99, else at 2.
extern int g_logLevel;

// Formats and writes one line when `level` <= g_logLevel. A trailing newline of the message is
// not doubled; an empty message still yields one line.
void ztUtilKlogMsgLevel(int level, int line, const char *file, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
// Sets g_logLevel. 0, or -1 (level unchanged) for a negative level.
int ztUtilSetLogLevel(int level);
// The level that ZT_LOG_LEVEL asks for, or 2 when unset or invalid (the start-up rule).
int ztKlogLevelFromEnv();

// While a sink is set, each finished line (with its newline) goes to it instead of standard
// error: tests capture lines, ztMediaHttpd rate-limits them. Null restores standard error.
// Process-wide; set it from one thread before others log.
typedef void (*ztKlogSink)(void *ctx, int level, const char *line);
void ztKlogSetSink(ztKlogSink sink, void *ctx);

#endif
