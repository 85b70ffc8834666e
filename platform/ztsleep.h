// The pauses of the database client (100 ms after a failed exchange) go through here so that a
// test can count them instead of waiting. No ownership; the hook is process-wide, set it while
// no other thread pauses.
#ifndef ZT_PLATFORM_ZTSLEEP_H
#define ZT_PLATFORM_ZTSLEEP_H

// Sleeps `usec` microseconds (usleep), or hands them to the hook when one is set.
void ztSleepUs(unsigned usec);

// Test seam: replaces the sleep; null restores usleep. Returns the previous hook.
typedef void (*ztSleepHook)(void *ctx, unsigned usec);
ztSleepHook ztSetSleepHook(ztSleepHook hook, void *ctx);

#endif
