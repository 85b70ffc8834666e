// The candidate list's diagnostics: component 3 of the process logger, written only when a
// logger exists (a host that configures none pays one pointer test per message). Thread-safe as
// the logger is.
#ifndef ZT_CAH_CAHLOG_H
#define ZT_CAH_CAHLOG_H

#include "gcore/GCoreLogger.h"

enum : uint32_t {
    CML_COMPONENT = 3,
    CML_ERROR = 1,
    CML_WARNING = 2,
    CML_INFO = 8,
    CML_NOISE = 16,
    CML_TRACE = 32,
};

#define CML_LOG(level, ...)                                                                                            \
    do {                                                                                                               \
        if (gcore::Logger *cmlLogger_ = gcore::Logger::getLogger())                                                    \
            cmlLogger_->log(CML_COMPONENT, (level), __VA_ARGS__);                                                      \
    } while (0)

#endif
