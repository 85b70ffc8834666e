#include "gcore/gcore_stopwatch.h"

#include <sys/time.h>

#include "gtl/gtl_mem.h"

static const int kCalibrationRounds = 1000;

static uint64_t now_us()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<uint64_t>(tv.tv_sec) * 1000000u + static_cast<uint64_t>(tv.tv_usec);
}

static double to_seconds(int64_t micros) { return static_cast<double>(micros) / 1000000.0; }

// Microseconds elapsed since the last START, less the clock cost.
static int64_t lap_us(const gcore_stopwatch_t *sw, uint64_t now)
{
    return static_cast<int64_t>(now - sw->start) - sw->latency;
}

int64_t measure_latency(void)
{
    now_us();
    uint64_t first = now_us();
    uint64_t second = now_us();
    return static_cast<int64_t>(second - first);
}

gcore_stopwatch_t *gcore_stopwatch_create(void)
{
    gcore_stopwatch_t *sw = static_cast<gcore_stopwatch_t *>(gtl_malloc(sizeof(gcore_stopwatch_t)));
    if (!sw)
        return nullptr;
    *sw = gcore_stopwatch_t{};
    return sw;
}

int gcore_stopwatch_destroy(gcore_stopwatch_t *sw)
{
    gtl_free(sw);
    return 0;
}

static void calibrate(gcore_stopwatch_t *sw)
{
    int64_t best = measure_latency();
    for (int i = 0; i < kCalibrationRounds; ++i) {
        int64_t sample = measure_latency();
        if (sample < best)
            best = sample;
    }
    sw->latency = best;
    sw->flags |= GCORE_STOPWATCH_CALIBRATED;
}

double gcore_stopwatch(gcore_stopwatch_t *sw, uint32_t command)
{
    if (!sw)
        return 0.0;
    double result = 0.0;
    if (command & GCORE_STOPWATCH_CALIBRATE)
        calibrate(sw);
    if (command & GCORE_STOPWATCH_RESET)
        sw->accumulated = 0;
    if (command & GCORE_STOPWATCH_START) {
        sw->start = now_us();
        sw->flags |= GCORE_STOPWATCH_RUNNING;
    }
    if (command & GCORE_STOPWATCH_STOP) {
        uint64_t now = now_us();
        int64_t lap = lap_us(sw, now);
        sw->stop = now;
        sw->accumulated += lap;
        sw->flags &= ~static_cast<uint32_t>(GCORE_STOPWATCH_RUNNING);
        result = to_seconds(lap);
    }
    if (command & GCORE_STOPWATCH_READ) {
        int64_t total = sw->accumulated;
        if (sw->flags & GCORE_STOPWATCH_RUNNING)
            total += lap_us(sw, now_us());
        result = to_seconds(total);
    }
    if (command & GCORE_STOPWATCH_LATENCY)
        result = to_seconds(sw->latency);
    return result;
}
