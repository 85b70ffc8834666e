// The offload event: ztOffload takes the offload manager's place on "/to_wom" and waits there for
// the boot-time check's verdict (24 media to upload, 23 nothing to upload, 25 the check failed).
#ifndef ZT_TOOLS_OFFLOAD_EVENT_WAIT_H
#define ZT_TOOLS_OFFLOAD_EVENT_WAIT_H

#include <csignal>
#include <string>

enum : unsigned { kEventNothing = 23, kEventMedia = 24, kEventFailed = 25 };

// Waits for the next well-formed event and returns its code; -1 when `stop` was raised or the
// queue failed (the reason in *why). Malformed messages are reported on standard error and skipped.
long waitOffloadEvent(const volatile std::sig_atomic_t &stop, std::string *why);

#endif
