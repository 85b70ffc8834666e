#include "gcore/GCoreLogger.h"

#include <stdarg.h>

#include <new>

namespace gcore {

Mutex Logger::sMutex;
Logger *Logger::sDebugLog = nullptr;

namespace {

const char kAppendMode[] = "a";
const char kTruncateMode[] = "w";

void applyFilters(gcore_debug_t *dbg, uint32_t level, uint32_t levelMask, uint32_t componentMask)
{
    gcore_debug_set_level(dbg, level);
    gcore_debug_set_level_mask(dbg, levelMask);
    gcore_debug_set_component_mask(dbg, componentMask);
}

}  // namespace

Logger::Logger(uint32_t level, uint32_t levelMask, uint32_t componentMask, uint32_t mode, const std::string &fileName)
    : mDebug(gcore_debug_create()), mFileName(fileName), mExternal(false)
{
    if (!mDebug)
        return;
    gcore_debug_set_mode(mDebug, mode);
    gcore_debug_set_filename(mDebug, fileName.c_str(), kAppendMode);
    applyFilters(mDebug, level, levelMask, componentMask);
}

Logger::Logger(gcore_debug_t *channel) : mDebug(channel), mExternal(true)
{
    const char *name = nullptr;
    gcore_debug_get_filename(channel, &name, nullptr);
    if (name)
        mFileName = name;
}

Logger::~Logger()
{
    if (!mExternal)
        gcore_debug_destroy(mDebug);
}

int Logger::configDebugLog(uint32_t level, uint32_t levelMask, uint32_t componentMask, uint32_t mode,
                           const std::string &fileName)
{
    AutoLock lock(&sMutex);
    if (sDebugLog)
        return sDebugLog->updateDebugLog(level, levelMask, componentMask, mode, fileName);
    sDebugLog = new (std::nothrow) Logger(level, levelMask, componentMask, mode, fileName);
    if (!sDebugLog || !sDebugLog->mDebug)
        return 1;
    return fileName.empty() || sDebugLog->mDebug->file ? 0 : 1;
}

int Logger::updateDebugLog(uint32_t level, uint32_t levelMask, uint32_t componentMask, uint32_t mode,
                           const std::string &fileName)
{
    AutoLock lock(&sMutex);
    if (!mDebug)
        return 1;
    int rc = gcore_debug_set_mode(mDebug, mode);
    if (fileName != mFileName) {
        gcore_debug_unset_filename(mDebug);
        if (!fileName.empty())
            rc |= gcore_debug_set_filename(mDebug, fileName.c_str(), kAppendMode);
        mFileName = fileName;
    }
    applyFilters(mDebug, level, levelMask, componentMask);
    return rc;
}

int Logger::setLoggingCore(void *channel)
{
    if (!channel)
        return 1;
    AutoLock lock(&sMutex);
    gcore_debug_t *dbg = static_cast<gcore_debug_t *>(channel);
    Logger *replacement = new (std::nothrow) Logger(dbg);
    if (!replacement)
        return 1;
    // Handing back the current logger's own channel must not free it under the new logger.
    if (sDebugLog && sDebugLog->mDebug == dbg)
        sDebugLog->mExternal = true;
    delete sDebugLog;
    sDebugLog = replacement;
    return 0;
}

int Logger::log(uint32_t component, uint32_t level, const char *format, ...)
{
    AutoLock lock(&sMutex);
    if (!mDebug)
        return 0;
    va_list args;
    va_start(args, format);
    int rc = gcore_debug_vprintf(mDebug, component, level, format, args);
    va_end(args);
    return rc;
}

// Both hold sMutex too, so a line being written never meets a stream being closed.
int Logger::resetLog()
{
    AutoLock lock(&sMutex);
    if (!mDebug || mFileName.empty())
        return 0;
    int rc = gcore_debug_unset_filename(mDebug);
    return rc | gcore_debug_set_filename(mDebug, mFileName.c_str(), kTruncateMode);
}

int Logger::closeLog()
{
    AutoLock lock(&sMutex);
    if (!mDebug || mFileName.empty())
        return 0;
    return gcore_debug_unset_filename(mDebug);  // mFileName stays: resetLog may reopen it
}

Tracer::Tracer(uint32_t component, uint32_t level, const std::string &name)
    : mComponent(component), mLevel(level), mName(name)
{
    if (Logger *logger = Logger::getLogger())
        logger->log(mComponent, mLevel, "  [TRACE]: %s Enter\n", mName.c_str());
}

// Implicitly noexcept: anything thrown from here ends the process.
Tracer::~Tracer()
{
    if (Logger *logger = Logger::getLogger())
        logger->log(mComponent, mLevel, "  [TRACE]: %s Exit\n", mName.c_str());
}

}  // namespace gcore
