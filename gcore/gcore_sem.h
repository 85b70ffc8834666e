// Semaphores of the core runtime: a record from the gtl allocator pointing at an unnamed semaphore
// it owns (gcore_sem_create) or a named one from sem_open (gcore_sem_open). The caller owns the
// record and frees it with gcore_sem_destroy (named ones are closed first with gcore_sem_close).
#ifndef GCORE_GCORE_SEM_H
#define GCORE_GCORE_SEM_H

#include <semaphore.h>
#include <stdint.h>

typedef struct gcore_sem_s {
    sem_t *sem;
    uint32_t allocated;  // 1: sem points at storage of gcore_sem_create, freed with the record
} gcore_sem_t;

// Flag bits of gcore_sem_open.
enum { GCORE_SEM_CREATE = 1, GCORE_SEM_EXCLUSIVE = 2 };

#ifdef __cplusplus
extern "C" {
#endif

// Null when memory runs out or sem_init fails.
gcore_sem_t *gcore_sem_create(int pshared, uint32_t value);
// Null when sem_open fails or memory runs out; mode and value matter only with GCORE_SEM_CREATE.
gcore_sem_t *gcore_sem_open(const char *name, uint32_t flags, uint32_t mode, uint32_t value);
// These return the POSIX result (0, or -1 with errno set), 1 for a null record or semaphore.
int gcore_sem_wait(gcore_sem_t *sem);
int gcore_sem_trywait(gcore_sem_t *sem);
int gcore_sem_post(gcore_sem_t *sem);
int gcore_sem_getvalue(gcore_sem_t *sem, int *value);
int gcore_sem_close(gcore_sem_t *sem);
int gcore_sem_destroy(gcore_sem_t *sem);

#ifdef __cplusplus
}
#endif

#endif
