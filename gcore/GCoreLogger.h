// The process-wide application logger: a locked front to one debug channel (gcore_debug.h), made
// by configDebugLog and reached through getLogger(); it lives until the process ends. gcore::Tracer
// logs the entry and exit of a scope. All logging holds the recursive sMutex, so lines of different
// threads never interleave; replace the logger (setLoggingCore) only while no other thread logs.
#ifndef GCORE_GCORELOGGER_H
#define GCORE_GCORELOGGER_H

#include <stdint.h>

#include <string>

#include "gcore/GCoreMutex.h"
#include "gcore/gcore_debug.h"

namespace gcore {

class Logger {
public:
    // Creates its own channel; an empty or unopenable file name leaves no file open. If the
    // channel cannot be created the logger stays silent.
    Logger(uint32_t level, uint32_t levelMask, uint32_t componentMask, uint32_t mode, const std::string &fileName);
    // Wraps a channel made elsewhere; the channel outlives the logger.
    explicit Logger(gcore_debug_t *channel);
    virtual ~Logger();
    Logger(const Logger &) = delete;
    Logger &operator=(const Logger &) = delete;

    // Creates the logger, or updates the one there is. 0 on success; 1 when the channel is
    // missing or the named file could not be opened.
    static int configDebugLog(uint32_t level, uint32_t levelMask, uint32_t componentMask, uint32_t mode,
                              const std::string &fileName);
    // Applies the settings; the file is reopened (append) only when the name changes, and an
    // empty name closes it. Results as configDebugLog.
    int updateDebugLog(uint32_t level, uint32_t levelMask, uint32_t componentMask, uint32_t mode,
                       const std::string &fileName);
    // Replaces the logger by one wrapping the given gcore_debug_t; 1 for null (nothing changes).
    static int setLoggingCore(void *channel);
    static Logger *getLogger() { return sDebugLog; }
    // The channel behind this logger (null when silent), e.g. to register callbacks; it stays
    // the logger's. Touch it only under sMutex while other threads may log.
    gcore_debug_t *getChannel() const { return mDebug; }

    // 0 when written, filtered out or silent; 1 when the line could not be made.
    int log(uint32_t component, uint32_t level, const char *format, ...) __attribute__((format(printf, 4, 5)));
    // Truncates the log file (reopens it with "w"); 0 when there is none.
    int resetLog();
    // Closes the log file; 0 when there is none. The logger keeps the name: configDebugLog with
    // the same name then leaves the file closed, while resetLog truncates and reopens it.
    int closeLog();

    static Mutex sMutex;
    static Logger *sDebugLog;

private:
    gcore_debug_t *mDebug;
    std::string mFileName;
    bool mExternal;
};

class Tracer {
public:
    // Logs "  [TRACE]: <name> Enter" now and "... Exit" on destruction, if a logger exists.
    Tracer(uint32_t component, uint32_t level, const std::string &name);
    virtual ~Tracer();
    Tracer(const Tracer &) = delete;
    Tracer &operator=(const Tracer &) = delete;

private:
    uint32_t mComponent;
    uint32_t mLevel;
    std::string mName;
};

}  // namespace gcore

#endif
