// Debug channel: filters messages by component and level, stamps them with the local time to the
// millisecond and writes each line to standard output, standard error, a log file and callbacks.
// The caller owns a channel from gcore_debug_create (release with gcore_debug_destroy); texts and
// streams handed out stay the channel's. No locking: callers sharing a channel serialise it.
#ifndef GCORE_GCORE_DEBUG_H
#define GCORE_GCORE_DEBUG_H

#include <stdarg.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>

#include "gtl/gtl_obj.h"

// Output sinks (bits of mode).
enum {
    GCORE_DEBUG_STDOUT = 1,
    GCORE_DEBUG_STDERR = 2,
    GCORE_DEBUG_FILE = 4,
    GCORE_DEBUG_CALLBACK = 8,
};

// Message levels; the message text carries the matching label ("  [ERROR]: " and so on).
enum {
    GCORE_LEVEL_ERROR = 1,
    GCORE_LEVEL_WARNING = 2,
    GCORE_LEVEL_INFO = 8,
    GCORE_LEVEL_NOISE = 16,
    GCORE_LEVEL_TRACE = 32,
};

// Called with each finished line (zero-terminated, ending in one newline); the result is ignored.
typedef int (*gcore_debug_callback_t)(const char *line);

typedef struct gcore_debug_s {
    uint32_t mode;            // sink bits
    uint32_t level;           // a message whose level value is at most this passes
    uint32_t level_mask;      // a message whose level shares a bit with this passes too
    uint32_t component_mask;  // a message passes only if its component shares a bit with this
    gtl_obj *filename;        // gtl string, owned, or null
    gtl_obj *filemode;        // gtl string, owned, or null
    gtl_obj *callbacks;       // gtl list of void pointers (the callbacks), owned
    FILE *file;               // the log file, or null
    bool owns_file;           // the channel opened file itself and closes it on destroy
} gcore_debug_t;

#ifdef __cplusplus
extern "C" {
#endif

// A silent channel (no sinks, threshold 0, both masks 0); null when memory runs out.
gcore_debug_t *gcore_debug_create(void);
int gcore_debug_destroy(gcore_debug_t *dbg);  // 0 also for null

int gcore_debug_set_mode(gcore_debug_t *dbg, uint32_t value);
int gcore_debug_get_mode(gcore_debug_t *dbg, uint32_t *out);
int gcore_debug_set_level(gcore_debug_t *dbg, uint32_t value);
int gcore_debug_get_level(gcore_debug_t *dbg, uint32_t *out);
int gcore_debug_set_level_mask(gcore_debug_t *dbg, uint32_t value);
int gcore_debug_get_level_mask(gcore_debug_t *dbg, uint32_t *out);
int gcore_debug_set_component_mask(gcore_debug_t *dbg, uint32_t value);
int gcore_debug_get_component_mask(gcore_debug_t *dbg, uint32_t *out);

// Stores copies of path and mode and opens the file. 1 when it cannot be opened (the names stay,
// no file). Does not close a file already open: unset it first.
int gcore_debug_set_filename(gcore_debug_t *dbg, const char *path, const char *mode);
// The stored texts (null when unset); either output may be null.
int gcore_debug_get_filename(gcore_debug_t *dbg, const char **path, const char **mode);
// Closes the file (whoever opened it) and forgets both names.
int gcore_debug_unset_filename(gcore_debug_t *dbg);
// Writes to a stream opened elsewhere, after unsetting any file; destroy leaves it open.
int gcore_debug_set_file(gcore_debug_t *dbg, FILE *file);
int gcore_debug_get_file(gcore_debug_t *dbg, FILE **out);

// A callback already registered is not added twice; unregistering an unknown one changes nothing.
int gcore_debug_register_callback(gcore_debug_t *dbg, gcore_debug_callback_t cb);
int gcore_debug_unregister_callback(gcore_debug_t *dbg, gcore_debug_callback_t cb);

// Writes one line "<local time>.<ms> <message>\n" (one trailing newline of the message is
// dropped). 0 when written or filtered out; 1 for a null channel or format, an empty message or
// no memory. A filtered message costs no clock read and no allocation.
int gcore_debug_vprintf(gcore_debug_t *dbg, uint32_t component, uint32_t level, const char *format, va_list args);
int gcore_debug_printf(gcore_debug_t *dbg, uint32_t component, uint32_t level, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
int gcore_debug_flush(gcore_debug_t *dbg);

#ifdef __cplusplus
}
#endif

#endif
