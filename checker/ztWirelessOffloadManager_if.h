// The media checker's end of the offload manager's queue "/to_wom": open it, send one event,
// close it. The descriptor belongs to the caller until ztWom_interface_close. Each call works
// only on its arguments and the stack: safe from any thread.
#ifndef ZT_CHECKER_WOM_IF_H
#define ZT_CHECKER_WOM_IF_H

#include <cstdint>

// Event codes the offload manager understands.
enum : uint32_t {
    ZT_WOM_EVENT_NOTHING_TO_UPLOAD = 23,
    ZT_WOM_EVENT_MEDIA_TO_UPLOAD = 24,
    ZT_WOM_EVENT_CHECK_FAILED = 25,
};

// Opens (creating if needed) "/to_wom"; returns its descriptor, or -1 after printing why on
// standard output.
int ztWom_interface_open();
// Closes the queue; -1 is ignored.
void ztWom_interface_close(int mqd);
// Sends one event message carrying code. Returns 1 when the queue accepted it, else 0.
int ztWom_interface_send(int mqd, uint32_t code);

#endif
