// The offload-manager message decoder (what ztWomListen runs on every message of /to_wom): any
// bytes must decode or be refused with a reason, every element inside the message.
#include <cstdlib>
#include <string>

#include "platform/ztmsg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ztmsg_view view;
    std::string error;
    if (!ztmsg_decode(data, size, view, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    for (const ztmsg_element &e : view.elements) {
        if (e.size && (e.value < data || e.value + e.size > data + size))
            std::abort();
        (void)ztmsg_format_value(e);
    }
    return 0;
}
