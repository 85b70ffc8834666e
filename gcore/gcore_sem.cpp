#include "gcore/gcore_sem.h"

#include <fcntl.h>

#include "gtl/gtl_mem.h"

gcore_sem_t *gcore_sem_create(int pshared, uint32_t value)
{
    gcore_sem_t *rec = static_cast<gcore_sem_t *>(gtl_calloc(1, sizeof(gcore_sem_t)));
    if (!rec)
        return nullptr;
    rec->sem = static_cast<sem_t *>(gtl_calloc(1, sizeof(sem_t)));
    if (!rec->sem || sem_init(rec->sem, pshared, value) != 0) {
        gtl_free(rec->sem);
        gtl_free(rec);
        return nullptr;
    }
    rec->allocated = 1;
    return rec;
}

gcore_sem_t *gcore_sem_open(const char *name, uint32_t flags, uint32_t mode, uint32_t value)
{
    if (!name)
        return nullptr;
    gcore_sem_t *rec = static_cast<gcore_sem_t *>(gtl_calloc(1, sizeof(gcore_sem_t)));
    if (!rec)
        return nullptr;
    int oflag = 0;
    if (flags & GCORE_SEM_CREATE)
        oflag |= O_CREAT;
    if (flags & GCORE_SEM_EXCLUSIVE)
        oflag |= O_EXCL;
    sem_t *sem = sem_open(name, oflag, static_cast<mode_t>(mode), value);
    if (sem == SEM_FAILED) {
        gtl_free(rec);
        return nullptr;
    }
    rec->sem = sem;
    return rec;
}

int gcore_sem_wait(gcore_sem_t *sem) { return sem && sem->sem ? sem_wait(sem->sem) : 1; }

int gcore_sem_trywait(gcore_sem_t *sem) { return sem && sem->sem ? sem_trywait(sem->sem) : 1; }

int gcore_sem_post(gcore_sem_t *sem) { return sem && sem->sem ? sem_post(sem->sem) : 1; }

int gcore_sem_getvalue(gcore_sem_t *sem, int *value)
{
    if (!sem || !sem->sem || !value)
        return 1;
    return sem_getvalue(sem->sem, value);
}

int gcore_sem_close(gcore_sem_t *sem) { return sem && sem->sem ? sem_close(sem->sem) : 1; }

int gcore_sem_destroy(gcore_sem_t *sem)
{
    if (!sem)
        return 1;
    if (sem->allocated && sem->sem) {
        sem_destroy(sem->sem);
        gtl_free(sem->sem);
    }
    gtl_free(sem);
    return 0;
}
