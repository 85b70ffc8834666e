#include "gcore/gcore_thread.h"

#include <string.h>

#include "gtl/gtl_mem.h"

static int start_thread(gcore_thread_t *thread, gcore_threadattr_t *attr, gcore_thread_func_t start, void *arg)
{
    if (attr)
        return pthread_create(&thread->handle, attr, start, arg);
    pthread_attr_t defaults;
    int rc = pthread_attr_init(&defaults);
    if (rc != 0)
        return rc;
    rc = pthread_attr_setstacksize(&defaults, GCORE_THREAD_STACK_SIZE);
    if (rc == 0)
        rc = pthread_create(&thread->handle, &defaults, start, arg);
    pthread_attr_destroy(&defaults);
    return rc;
}

gcore_thread_t *gcore_thread_create(gcore_threadattr_t *attr, gcore_thread_func_t start, void *arg, uint32_t value,
                                    const char *name, uint32_t affinity)
{
    if (!start)
        return nullptr;
    gcore_thread_t *thread = static_cast<gcore_thread_t *>(gtl_calloc(1, sizeof(gcore_thread_t)));
    if (!thread)
        return nullptr;
    if (start_thread(thread, attr, start, arg) != 0) {
        gtl_free(thread);
        return nullptr;
    }
    thread->value = value;
    // The field holds up to 16 bytes with no terminator; the record is zero-filled.
    if (name)
        memcpy(thread->name, name, strnlen(name, sizeof thread->name));
    if (affinity != 0)
        gcore_thread_set_affinity(thread, affinity);
    return thread;
}

int gcore_thread_destroy(gcore_thread_t *thread)
{
    if (!thread)
        return 1;
    gtl_free(thread);
    return 0;
}

void gcore_thread_exit(void *retval) { pthread_exit(retval); }

int gcore_thread_self(gcore_thread_handle_t *out)
{
    if (!out)
        return 1;
    *out = pthread_self();
    return 0;
}

int gcore_thread_self_id(gcore_thread_handle_t *out) { return gcore_thread_self(out); }

int gcore_thread_equal(const gcore_thread_handle_t *a, const gcore_thread_handle_t *b)
{
    if (!a || !b)
        return 1;
    return memcmp(a, b, sizeof *a) == 0 ? 1 : 0;
}

int gcore_thread_cancel(gcore_thread_handle_t *handle) { return handle && pthread_cancel(*handle) == 0 ? 0 : 1; }

int gcore_thread_join(gcore_thread_handle_t *handle, void **retval)
{
    return handle && pthread_join(*handle, retval) == 0 ? 0 : 1;
}

int gcore_thread_detach(gcore_thread_handle_t *handle) { return handle && pthread_detach(*handle) == 0 ? 0 : 1; }

int gcore_thread_get_affinity(gcore_thread_t *thread, uint32_t *out)
{
    if (!thread || !out)
        return 1;
    *out = 0;
    return 0;
}

int gcore_thread_set_affinity(gcore_thread_t *thread, uint32_t affinity)
{
    (void)affinity;
    return thread ? 0 : 1;
}

gcore_threadattr_t *gcore_threadattr_create(void)
{
    return static_cast<gcore_threadattr_t *>(gtl_calloc(1, sizeof(gcore_threadattr_t)));
}

int gcore_threadattr_init(gcore_threadattr_t *attr) { return attr ? pthread_attr_init(attr) : 1; }

int gcore_threadattr_setdetachstate(gcore_threadattr_t *attr, int state)
{
    if (!attr)
        return 1;
    if (state != 0 && state != 1)
        return 1;
    return pthread_attr_setdetachstate(attr, state == 1 ? PTHREAD_CREATE_DETACHED : PTHREAD_CREATE_JOINABLE);
}

int gcore_threadattr_destroy(gcore_threadattr_t *attr)
{
    if (!attr)
        return 1;
    int rc = pthread_attr_destroy(attr);
    gtl_free(attr);
    return rc;
}
