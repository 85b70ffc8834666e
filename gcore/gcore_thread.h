// Threads of the core runtime: a thread record from the gtl allocator whose first member is the
// POSIX handle, so a record pointer also serves as a handle pointer. The caller owns records and
// attribute objects and frees them with the matching _destroy; no locking is added.
#ifndef GCORE_GCORE_THREAD_H
#define GCORE_GCORE_THREAD_H

#include <pthread.h>
#include <stdint.h>

typedef pthread_t gcore_thread_handle_t;
typedef pthread_attr_t gcore_threadattr_t;
typedef void *(*gcore_thread_func_t)(void *arg);

enum { GCORE_THREAD_NAME_SIZE = 16, GCORE_THREAD_STACK_SIZE = 0x40000 };

typedef struct gcore_thread_s {
    gcore_thread_handle_t handle;       // must stay first
    uint32_t value;                     // stored for the creator, never read here
    char name[GCORE_THREAD_NAME_SIZE];  // not necessarily zero-terminated
} gcore_thread_t;

#ifdef __cplusplus
extern "C" {
#endif

// Without attributes the thread gets defaults and a 256 KiB stack. Null (nothing left allocated)
// when memory runs out or pthread_create fails.
gcore_thread_t *gcore_thread_create(gcore_threadattr_t *attr, gcore_thread_func_t start, void *arg, uint32_t value,
                                    const char *name, uint32_t affinity);
// Frees the record only: join or detach the thread first.
int gcore_thread_destroy(gcore_thread_t *thread);
void gcore_thread_exit(void *retval);
int gcore_thread_self(gcore_thread_handle_t *out);
int gcore_thread_self_id(gcore_thread_handle_t *out);
// 1 when both handles are bit-for-bit equal (or either is null), else 0.
int gcore_thread_equal(const gcore_thread_handle_t *a, const gcore_thread_handle_t *b);
// These three give 0 when the POSIX call succeeded and 1 otherwise.
int gcore_thread_cancel(gcore_thread_handle_t *handle);
int gcore_thread_join(gcore_thread_handle_t *handle, void **retval);
int gcore_thread_detach(gcore_thread_handle_t *handle);
// Affinity is accepted but not applied: get writes 0, set does nothing.
int gcore_thread_get_affinity(gcore_thread_t *thread, uint32_t *out);
int gcore_thread_set_affinity(gcore_thread_t *thread, uint32_t affinity);

gcore_threadattr_t *gcore_threadattr_create(void);
int gcore_threadattr_init(gcore_threadattr_t *attr);
// state 0 joinable, 1 detached; anything else gives 1.
int gcore_threadattr_setdetachstate(gcore_threadattr_t *attr, int state);
int gcore_threadattr_destroy(gcore_threadattr_t *attr);

#ifdef __cplusplus
}
#endif

#endif
