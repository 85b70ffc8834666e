// Feeds arbitrary bytes to the manifest parser: it must refuse with one line or accept, never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mediadb/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MediaCard card;
    Status s = parseManifest(std::string(reinterpret_cast<const char *>(data), size), &card);
    if (s.message.find('\n') != std::string::npos)
        std::abort();  // refusals are one line
    return 0;
}
