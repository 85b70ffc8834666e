// Pause seam: usleep unless a test installed a hook.
#include "platform/ztsleep.h"

#include <unistd.h>

namespace {
ztSleepHook gHook = nullptr;
void *gHookCtx = nullptr;
}  // namespace

void ztSleepUs(unsigned usec)
{
    if (gHook) {
        gHook(gHookCtx, usec);
        return;
    }
    usleep(usec);
}

ztSleepHook ztSetSleepHook(ztSleepHook hook, void *ctx)
{
    ztSleepHook previous = gHook;
    gHook = hook;
    gHookCtx = ctx;
    return previous;
}
