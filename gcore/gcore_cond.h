// Condition variables of the core runtime, waiting on gcore mutexes. The caller owns what
// gcore_cond_create returns (gtl allocator, uninitialised until gcore_cond_init) and frees it with
// gcore_cond_destroy. No locking is added beyond the POSIX calls.
#ifndef GCORE_GCORE_COND_H
#define GCORE_GCORE_COND_H

#include <pthread.h>
#include <stdint.h>
#include <sys/time.h>
#include <time.h>

#include "gcore/gcore_mutex.h"

typedef pthread_cond_t gcore_cond_t;
typedef pthread_condattr_t gcore_condattr_t;

// Result of the timed waits when the deadline passed.
enum { GCORE_COND_TIMEDOUT = 100 };

#ifdef __cplusplus
extern "C" {
#endif

gcore_cond_t *gcore_cond_create(void);
int gcore_cond_init(gcore_cond_t *cond, const gcore_condattr_t *attr);
int gcore_cond_wait(gcore_cond_t *cond, gcore_mutex_t *mutex);
// 0 when woken, GCORE_COND_TIMEDOUT when the absolute deadline passed, 1 on any other error.
int gcore_cond_timedwait(gcore_cond_t *cond, gcore_mutex_t *mutex, const struct timespec *deadline);
// The same with a deadline of now plus the given milliseconds.
int gcore_cond_relwait(gcore_cond_t *cond, gcore_mutex_t *mutex, int32_t milliseconds);
// The deadline gcore_cond_relwait waits for, given the time of day it read.
int gcore_cond_deadline(const struct timeval *now, int32_t milliseconds, struct timespec *deadline);
int gcore_cond_signal(gcore_cond_t *cond);
int gcore_cond_broadcast(gcore_cond_t *cond);
// Frees the object, initialised or not; no thread may be waiting on it.
int gcore_cond_destroy(gcore_cond_t *cond);

#ifdef __cplusplus
}
#endif

#endif
