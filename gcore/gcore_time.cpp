#include "gcore/gcore_time.h"

#include <unistd.h>

int gcore_sleep(uint32_t milliseconds)
{
    uint32_t micros = milliseconds * 1000u;
    usleep(micros);
    return 0;
}

int gcore_gettimeofday(struct timeval *tv, void *zone)
{
    if (!tv)
        return 1;
    return gettimeofday(tv, static_cast<struct timezone *>(zone));
}
