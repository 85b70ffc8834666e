// Mutexes of the core runtime: heap objects from the gtl allocator, recursive unless told otherwise.
// The caller owns what gcore_mutex_create/gcore_mutexattr_create return and releases it with the
// matching _destroy. The functions add no locking of their own beyond the POSIX calls they wrap.
#ifndef GCORE_GCORE_MUTEX_H
#define GCORE_GCORE_MUTEX_H

#include <pthread.h>
#include <time.h>

typedef pthread_mutex_t gcore_mutex_t;
typedef pthread_mutexattr_t gcore_mutexattr_t;

#ifdef __cplusplus
extern "C" {
#endif

// Zero-filled, not yet initialised; null when memory runs out.
gcore_mutex_t *gcore_mutex_create(void);
// A null attr gives a recursive mutex.
int gcore_mutex_init(gcore_mutex_t *mutex, const gcore_mutexattr_t *attr);
int gcore_mutex_lock(gcore_mutex_t *mutex);
int gcore_mutex_trylock(gcore_mutex_t *mutex);
// Waits until the absolute CLOCK_REALTIME deadline.
int gcore_mutex_timedlock(gcore_mutex_t *mutex, const struct timespec *deadline);
int gcore_mutex_unlock(gcore_mutex_t *mutex);
// pthread_mutex_destroy, then frees the object; returns the destroy result.
int gcore_mutex_destroy(gcore_mutex_t *mutex);

gcore_mutexattr_t *gcore_mutexattr_create(void);
int gcore_mutexattr_init(gcore_mutexattr_t *attr);
int gcore_mutexattr_destroy(gcore_mutexattr_t *attr);

#ifdef __cplusplus
}
#endif

#endif
