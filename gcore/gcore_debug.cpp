#include "gcore/gcore_debug.h"

#include <string.h>
#include <sys/time.h>
#include <time.h>

#include "gtl/gtl_linkedlist.h"
#include "gtl/gtl_list.h"
#include "gtl/gtl_mem.h"
#include "gtl/gtl_string.h"

namespace {

const size_t kStampSize = 64;

void *as_item(gcore_debug_callback_t cb) { return reinterpret_cast<void *>(cb); }

gcore_debug_callback_t as_callback(void *item) { return reinterpret_cast<gcore_debug_callback_t>(item); }

// Walks the callback list in registration order; fn returns false to stop.
template <typename Fn>
void for_each_callback(const gcore_debug_t *dbg, Fn fn)
{
    if (!dbg->callbacks)
        return;
    gtl_linkedlist *chain = static_cast<gtl_linkedlist *>(dbg->callbacks->value.ptr);
    int index = 0;
    for (gtl_linkedlist_node *n = gtl_linkedlist_head(chain); n; n = n->next, ++index) {
        void *item = nullptr;
        gtl_obj_get_voidptr(static_cast<gtl_obj *>(n->item), &item);
        if (!fn(index, as_callback(item)))
            return;
    }
}

int find_callback(const gcore_debug_t *dbg, gcore_debug_callback_t cb)
{
    int found = -1;
    for_each_callback(dbg, [&](int index, gcore_debug_callback_t entry) {
        if (entry != cb)
            return true;
        found = index;
        return false;
    });
    return found;
}

bool passes(const gcore_debug_t *dbg, uint32_t component, uint32_t level)
{
    if ((component & dbg->component_mask) == 0)
        return false;
    return level <= dbg->level || (level & dbg->level_mask) != 0;
}

// "%Y-%m-%dT%H:%M:%S" of the local time; empty when the conversion fails.
void format_stamp(const struct timeval &now, char *stamp)
{
    stamp[0] = '\0';
    time_t seconds = now.tv_sec;
    struct tm local;
    if (localtime_r(&seconds, &local))
        strftime(stamp, kStampSize, "%Y-%m-%dT%H:%M:%S", &local);
}

// The formatted message without its one trailing newline, or null.
char *format_message(const char *format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 1)
        return nullptr;
    char *message = static_cast<char *>(gtl_calloc(static_cast<size_t>(length) + 1, 1));
    if (!message)
        return nullptr;
    if (vsnprintf(message, static_cast<size_t>(length) + 1, format, args) < 1) {
        gtl_free(message);
        return nullptr;
    }
    if (message[length - 1] == '\n')
        message[length - 1] = '\0';
    return message;
}

void write_stream(FILE *stream, const char *line)
{
    fputs(line, stream);
    fflush(stream);
}

void write_line(const gcore_debug_t *dbg, const char *line)
{
    if (dbg->mode & GCORE_DEBUG_STDOUT)
        write_stream(stdout, line);
    if (dbg->mode & GCORE_DEBUG_STDERR)
        write_stream(stderr, line);
    if ((dbg->mode & GCORE_DEBUG_FILE) && dbg->file)
        write_stream(dbg->file, line);
    if (dbg->mode & GCORE_DEBUG_CALLBACK) {
        for_each_callback(dbg, [line](int, gcore_debug_callback_t cb) {
            if (cb)
                cb(line);
            return true;
        });
    }
}

void free_names(gcore_debug_t *dbg)
{
    if (dbg->filename)
        gtl_string_destroy(dbg->filename);
    if (dbg->filemode)
        gtl_string_destroy(dbg->filemode);
    dbg->filename = nullptr;
    dbg->filemode = nullptr;
}

const char *text_of(gtl_obj *str)
{
    const char *text = nullptr;
    if (str)
        gtl_string_getptr(str, &text);
    return text;
}

}  // namespace

gcore_debug_t *gcore_debug_create(void)
{
    gcore_debug_t *dbg = static_cast<gcore_debug_t *>(gtl_calloc(1, sizeof(gcore_debug_t)));
    if (!dbg)
        return nullptr;
    dbg->callbacks = gtl_list_create();
    if (!dbg->callbacks) {
        gtl_free(dbg);
        return nullptr;
    }
    return dbg;
}

int gcore_debug_destroy(gcore_debug_t *dbg)
{
    if (!dbg)
        return 0;
    if (dbg->file && dbg->owns_file)
        fclose(dbg->file);
    free_names(dbg);
    gtl_list_destroy(dbg->callbacks);
    gtl_free(dbg);
    return 0;
}

#define GCORE_DEBUG_ACCESSORS(member)                                                                                  \
    int gcore_debug_set_##member(gcore_debug_t *dbg, uint32_t value)                                                   \
    {                                                                                                                  \
        if (!dbg)                                                                                                      \
            return 1;                                                                                                  \
        dbg->member = value;                                                                                           \
        return 0;                                                                                                      \
    }                                                                                                                  \
    int gcore_debug_get_##member(gcore_debug_t *dbg, uint32_t *out)                                                    \
    {                                                                                                                  \
        if (!dbg || !out)                                                                                              \
            return 1;                                                                                                  \
        *out = dbg->member;                                                                                            \
        return 0;                                                                                                      \
    }

GCORE_DEBUG_ACCESSORS(mode)
GCORE_DEBUG_ACCESSORS(level)
GCORE_DEBUG_ACCESSORS(level_mask)
GCORE_DEBUG_ACCESSORS(component_mask)

#undef GCORE_DEBUG_ACCESSORS

int gcore_debug_set_filename(gcore_debug_t *dbg, const char *path, const char *mode)
{
    if (!dbg || !path || !mode)
        return 1;
    gtl_obj *name = gtl_string_createval(path);
    gtl_obj *fmode = gtl_string_createval(mode);
    if (!name || !fmode) {
        if (name)
            gtl_string_destroy(name);
        if (fmode)
            gtl_string_destroy(fmode);
        return 1;
    }
    free_names(dbg);
    dbg->filename = name;
    dbg->filemode = fmode;
    dbg->file = fopen(path, mode);
    dbg->owns_file = dbg->file != nullptr;
    return dbg->file ? 0 : 1;
}

int gcore_debug_get_filename(gcore_debug_t *dbg, const char **path, const char **mode)
{
    if (!dbg)
        return 1;
    if (path)
        *path = text_of(dbg->filename);
    if (mode)
        *mode = text_of(dbg->filemode);
    return 0;
}

int gcore_debug_unset_filename(gcore_debug_t *dbg)
{
    if (!dbg)
        return 1;
    if (dbg->file)
        fclose(dbg->file);
    dbg->file = nullptr;
    dbg->owns_file = false;
    free_names(dbg);
    return 0;
}

int gcore_debug_set_file(gcore_debug_t *dbg, FILE *file)
{
    if (!dbg || !file)
        return 1;
    if (dbg->file)
        gcore_debug_unset_filename(dbg);
    dbg->file = file;
    dbg->owns_file = false;
    return 0;
}

int gcore_debug_get_file(gcore_debug_t *dbg, FILE **out)
{
    if (!dbg || !out)
        return 1;
    *out = dbg->file;
    return 0;
}

int gcore_debug_register_callback(gcore_debug_t *dbg, gcore_debug_callback_t cb)
{
    if (!dbg || !cb || !dbg->callbacks)
        return 1;
    if (find_callback(dbg, cb) >= 0)
        return 0;
    return gtl_list_append_voidptr(dbg->callbacks, as_item(cb));
}

int gcore_debug_unregister_callback(gcore_debug_t *dbg, gcore_debug_callback_t cb)
{
    if (!dbg || !cb || !dbg->callbacks)
        return 1;
    int index = find_callback(dbg, cb);
    return index >= 0 ? gtl_list_remove(dbg->callbacks, index) : 0;
}

int gcore_debug_vprintf(gcore_debug_t *dbg, uint32_t component, uint32_t level, const char *format, va_list args)
{
    if (!dbg || !format)
        return 1;
    if (!passes(dbg, component, level))
        return 0;

    struct timeval now;
    gettimeofday(&now, nullptr);
    char stamp[kStampSize];
    format_stamp(now, stamp);

    char *message = format_message(format, args);
    if (!message)
        return 1;
    size_t size = strlen(stamp) + strlen(message) + 7;
    char *line = static_cast<char *>(gtl_calloc(size, 1));
    if (!line) {
        gtl_free(message);
        return 1;
    }
    snprintf(line, size, "%s.%03d %s\n", stamp, static_cast<int>(now.tv_usec / 1000), message);
    write_line(dbg, line);
    gtl_free(line);
    gtl_free(message);
    return 0;
}

int gcore_debug_printf(gcore_debug_t *dbg, uint32_t component, uint32_t level, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int rc = gcore_debug_vprintf(dbg, component, level, format, args);
    va_end(args);
    return rc;
}

int gcore_debug_flush(gcore_debug_t *dbg)
{
    if (!dbg)
        return 1;
    if (dbg->file)
        fflush(dbg->file);
    return 0;
}
