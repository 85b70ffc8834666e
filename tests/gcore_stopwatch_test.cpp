// The stopwatch's lap arithmetic and command order; only ordering and arithmetic, never speed.
#include <sys/time.h>

#include <gtest/gtest.h>

#include "gcore/gcore_stopwatch.h"
#include "gcore/gcore_time.h"

namespace {

class Stopwatch : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(sw = gcore_stopwatch_create(), nullptr); }
    void TearDown() override { EXPECT_EQ(gcore_stopwatch_destroy(sw), 0); }
    double run(uint32_t command) { return gcore_stopwatch(sw, command); }
    gcore_stopwatch_t *sw = nullptr;
};

TEST_F(Stopwatch, StopComputesTheLapFromStartLessLatency)
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    sw->latency = 2000000;
    sw->start = static_cast<uint64_t>(tv.tv_sec - 5) * 1000000u + tv.tv_usec;  // five seconds ago
    sw->flags |= GCORE_STOPWATCH_RUNNING;
    double lap = run(GCORE_STOPWATCH_STOP);
    EXPECT_EQ(sw->accumulated, static_cast<int64_t>(sw->stop - sw->start) - 2000000);
    EXPECT_DOUBLE_EQ(lap, static_cast<double>(sw->accumulated) / 1e6);
    EXPECT_GE(lap, 3.0);
    EXPECT_EQ(sw->flags & GCORE_STOPWATCH_RUNNING, 0u);
}

TEST_F(Stopwatch, LapsAccumulateReadsIncludeTheRunningLapAndResetClears)
{
    run(GCORE_STOPWATCH_START);
    gcore_sleep(2);
    double first = run(GCORE_STOPWATCH_STOP);
    run(GCORE_STOPWATCH_START);  // a new start keeps what was accumulated
    gcore_sleep(1);
    double early = run(GCORE_STOPWATCH_READ);
    EXPECT_GE(early, first + 0.001);
    EXPECT_LE(early, run(GCORE_STOPWATCH_READ));
    double second = run(GCORE_STOPWATCH_STOP);
    EXPECT_GE(first, 0.002);
    EXPECT_DOUBLE_EQ(run(GCORE_STOPWATCH_READ), first + second);
    EXPECT_EQ(run(GCORE_STOPWATCH_RESET | GCORE_STOPWATCH_READ), 0.0);
}

TEST_F(Stopwatch, CommandBitsRunInOrderAndTheLastResultWins)
{
    sw->accumulated = 3000000;
    // RESET comes before START and STOP whatever the bit order in the word.
    double lap = run(GCORE_STOPWATCH_STOP | GCORE_STOPWATCH_START | GCORE_STOPWATCH_RESET);
    EXPECT_EQ(sw->accumulated, static_cast<int64_t>(sw->stop - sw->start));
    EXPECT_DOUBLE_EQ(lap, static_cast<double>(sw->accumulated) / 1e6);
    EXPECT_EQ(sw->flags & GCORE_STOPWATCH_RUNNING, 0u);
    sw->latency = 250000;
    EXPECT_EQ(run(GCORE_STOPWATCH_START | GCORE_STOPWATCH_STOP | GCORE_STOPWATCH_LATENCY), 0.25);
    run(GCORE_STOPWATCH_START);
    double total = run(GCORE_STOPWATCH_READ | GCORE_STOPWATCH_STOP);  // READ follows STOP
    EXPECT_DOUBLE_EQ(total, static_cast<double>(sw->accumulated) / 1e6);
    EXPECT_EQ(run(GCORE_STOPWATCH_START), 0.0);  // no result bit: 0
    double latency = run(GCORE_STOPWATCH_CALIBRATE | GCORE_STOPWATCH_LATENCY);
    EXPECT_NE(sw->flags & GCORE_STOPWATCH_CALIBRATED, 0u);
    EXPECT_DOUBLE_EQ(latency, static_cast<double>(sw->latency) / 1e6);
}

}  // namespace
