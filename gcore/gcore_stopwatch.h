// Stopwatch of the core runtime: laps in integer microseconds of the time of day, less the
// calibrated cost of one clock reading, reported in seconds. The caller owns the stopwatch
// (gtl allocator) and frees it with gcore_stopwatch_destroy. Not thread-safe.
#ifndef GCORE_GCORE_STOPWATCH_H
#define GCORE_GCORE_STOPWATCH_H

#include <stdint.h>

typedef struct gcore_stopwatch_s {
    int64_t latency;      // microseconds one clock reading costs, subtracted from each lap
    uint64_t start;       // microseconds since the epoch at the last START
    uint64_t stop;        // microseconds since the epoch at the last STOP
    int64_t accumulated;  // microseconds of all laps since the last RESET
    uint32_t flags;       // GCORE_STOPWATCH_CALIBRATED | GCORE_STOPWATCH_RUNNING
} gcore_stopwatch_t;

// Command bits, carried out in this order when combined in one call.
enum {
    GCORE_STOPWATCH_CALIBRATE = 1,
    GCORE_STOPWATCH_RESET = 2,
    GCORE_STOPWATCH_START = 4,
    GCORE_STOPWATCH_STOP = 8,
    GCORE_STOPWATCH_READ = 16,
    GCORE_STOPWATCH_LATENCY = 32,
};

// Bits of gcore_stopwatch_t.flags.
enum { GCORE_STOPWATCH_CALIBRATED = 1, GCORE_STOPWATCH_RUNNING = 2 };

#ifdef __cplusplus
extern "C" {
#endif

// A stopped stopwatch with no latency and nothing accumulated; null when memory runs out.
gcore_stopwatch_t *gcore_stopwatch_create(void);
int gcore_stopwatch_destroy(gcore_stopwatch_t *sw);
// Runs the command bits; the result is that of the last of STOP (the lap), READ (the total) and
// LATENCY present, in seconds; 0.0 when none of them is given or the stopwatch is null.
double gcore_stopwatch(gcore_stopwatch_t *sw, uint32_t command);
// Microseconds between two back-to-back clock readings (a first, discarded reading warms up).
int64_t measure_latency(void);

#ifdef __cplusplus
}
#endif

#endif
