#include "gcore/gcore_cond.h"

#include <errno.h>

#include "gtl/gtl_mem.h"

gcore_cond_t *gcore_cond_create(void) { return static_cast<gcore_cond_t *>(gtl_malloc(sizeof(gcore_cond_t))); }

int gcore_cond_init(gcore_cond_t *cond, const gcore_condattr_t *attr)
{
    return cond ? pthread_cond_init(cond, attr) : 1;
}

int gcore_cond_wait(gcore_cond_t *cond, gcore_mutex_t *mutex)
{
    if (!cond || !mutex)
        return 1;
    return pthread_cond_wait(cond, mutex);
}

int gcore_cond_timedwait(gcore_cond_t *cond, gcore_mutex_t *mutex, const struct timespec *deadline)
{
    if (!cond || !mutex || !deadline)
        return 1;
    int rc = pthread_cond_timedwait(cond, mutex, deadline);
    if (rc == 0)
        return 0;
    return rc == ETIMEDOUT ? GCORE_COND_TIMEDOUT : 1;
}

int gcore_cond_deadline(const struct timeval *now, int32_t milliseconds, struct timespec *deadline)
{
    if (!now || !deadline)
        return 1;
    // 64-bit sums: up to 999 ms plus 999999 us in nanoseconds overflows 32 bits.
    int64_t sec = static_cast<int64_t>(now->tv_sec) + milliseconds / 1000;
    int64_t nsec = static_cast<int64_t>(milliseconds % 1000) * 1000000 + static_cast<int64_t>(now->tv_usec) * 1000;
    while (nsec > 999999999) {
        nsec -= 1000000000;
        sec += 1;
    }
    deadline->tv_sec = static_cast<time_t>(sec);
    deadline->tv_nsec = static_cast<long>(nsec);
    return 0;
}

int gcore_cond_relwait(gcore_cond_t *cond, gcore_mutex_t *mutex, int32_t milliseconds)
{
    if (!cond || !mutex)
        return 1;
    struct timeval now;
    if (gettimeofday(&now, nullptr) != 0)
        return 1;
    struct timespec deadline;
    gcore_cond_deadline(&now, milliseconds, &deadline);
    return gcore_cond_timedwait(cond, mutex, &deadline);
}

int gcore_cond_signal(gcore_cond_t *cond) { return cond ? pthread_cond_signal(cond) : 1; }

int gcore_cond_broadcast(gcore_cond_t *cond) { return cond ? pthread_cond_broadcast(cond) : 1; }

int gcore_cond_destroy(gcore_cond_t *cond)
{
    if (!cond)
        return 1;
    gtl_free(cond);
    return 0;
}
