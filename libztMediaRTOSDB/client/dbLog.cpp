// Frame dumps, the assertion report and the log-level entry point of the database client.
#include "libztMediaRTOSDB/client/dbLog.h"
#include "ztMedia/ztMediaDB.h"

#include <csignal>
#include <cstdlib>

void dbAssertFail(const char *func, int line, const char *expr)
{
    DBLOG(DB_LOG_DETAIL, "\033[31mASSERT:%s/%s:%d:%s\n\033[0m", ZT_DB_ASSERT_PATH, func, line, expr);
    std::raise(SIGABRT);
    std::exit(-1);
}

void dbDumpFrame(FILE *out, const char *label, const void *bytes, size_t len)
{
    const unsigned char *p = static_cast<const unsigned char *>(bytes);
    std::fprintf(out, "%s:", label);
    for (size_t i = 0; i < len; ++i) {
        if (i % 32 == 0)
            std::fprintf(out, "\n[%5.5d/%5.5d]:", static_cast<int>(i), static_cast<int>(len));
        std::fprintf(out, " %02x", p[i]);
        // Wider gaps between groups of 4, 8 and 16 bytes keep long frames readable.
        if (i % 4 == 3)
            std::fputc(' ', out);
        if (i % 8 == 7)
            std::fputc(' ', out);
        if (i % 16 == 15)
            std::fputc(' ', out);
    }
    std::fputc('\n', out);
}

void dbTraceFrame(const char *label, const void *bytes, int len)
{
    if (g_logLevel < DB_LOG_FRAMES)
        return;
    if (len > 0 && bytes)
        dbDumpFrame(stdout, label, bytes, static_cast<size_t>(len));
    else
        std::fputc('\n', stdout);
}

int dbSetLogLvl(int level) { return ztUtilSetLogLevel(level); }
