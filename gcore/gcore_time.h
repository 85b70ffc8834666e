// Sleep and clock wrappers of the core runtime. Nothing is allocated; safe from any thread.
#ifndef GCORE_GCORE_TIME_H
#define GCORE_GCORE_TIME_H

#include <stdint.h>
#include <sys/time.h>

#ifdef __cplusplus
extern "C" {
#endif

// usleep of milliseconds * 1000, computed in unsigned 32 bits (so above ~71 minutes it wraps).
int gcore_sleep(uint32_t milliseconds);
// gettimeofday; 1 when tv is null. zone is passed through (normally null).
int gcore_gettimeofday(struct timeval *tv, void *zone);

#ifdef __cplusplus
}
#endif

#endif
