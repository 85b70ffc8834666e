// Feeds arbitrary bytes to the manifest parser: it must refuse or accept, never crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mediadb/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MediaCard card;
    parseManifest(std::string(reinterpret_cast<const char *>(data), size), &card);
    return 0;
}
