#include "gcore/gcore_mutex.h"

#include "gtl/gtl_mem.h"

gcore_mutex_t *gcore_mutex_create(void) { return static_cast<gcore_mutex_t *>(gtl_calloc(1, sizeof(gcore_mutex_t))); }

int gcore_mutex_init(gcore_mutex_t *mutex, const gcore_mutexattr_t *attr)
{
    if (!mutex)
        return 1;
    if (attr)
        return pthread_mutex_init(mutex, attr);
    pthread_mutexattr_t recursive;
    int rc = pthread_mutexattr_init(&recursive);
    if (rc != 0)
        return rc;
    rc = pthread_mutexattr_settype(&recursive, PTHREAD_MUTEX_RECURSIVE);
    if (rc == 0)
        rc = pthread_mutex_init(mutex, &recursive);
    pthread_mutexattr_destroy(&recursive);
    return rc;
}

int gcore_mutex_lock(gcore_mutex_t *mutex) { return mutex ? pthread_mutex_lock(mutex) : 1; }

int gcore_mutex_trylock(gcore_mutex_t *mutex) { return mutex ? pthread_mutex_trylock(mutex) : 1; }

int gcore_mutex_timedlock(gcore_mutex_t *mutex, const struct timespec *deadline)
{
    if (!mutex || !deadline)
        return 1;
    return pthread_mutex_timedlock(mutex, deadline);
}

int gcore_mutex_unlock(gcore_mutex_t *mutex) { return mutex ? pthread_mutex_unlock(mutex) : 1; }

int gcore_mutex_destroy(gcore_mutex_t *mutex)
{
    if (!mutex)
        return 1;
    int rc = pthread_mutex_destroy(mutex);
    gtl_free(mutex);
    return rc;
}

gcore_mutexattr_t *gcore_mutexattr_create(void)
{
    return static_cast<gcore_mutexattr_t *>(gtl_malloc(sizeof(gcore_mutexattr_t)));
}

int gcore_mutexattr_init(gcore_mutexattr_t *attr) { return attr ? pthread_mutexattr_init(attr) : 1; }

int gcore_mutexattr_destroy(gcore_mutexattr_t *attr)
{
    if (!attr)
        return 1;
    int rc = pthread_mutexattr_destroy(attr);
    gtl_free(attr);
    return rc;
}
