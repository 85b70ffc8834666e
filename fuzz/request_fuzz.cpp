// Feeds one arbitrary request frame to the server's dispatcher, in-process, against a small card:
// every frame must get a bounded reply, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mediadb/manifest.h"
#include "mediadb/request_handlers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static MediaCatalog *catalog = [] {
        MediaCard card;
        parseManifest(R"({"media":[
          {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"flags":1,"video":{"highlights":[1,2]}},
          {"dir":"100ZTCAM","file":"ZX010002.MP4","type":2,"members":[{"file":"ZX020002.MP4"}]},
          {"dir":"100ZTCAM","file":"ZPAA0001.JPG","type":5,"highlight_count":1,
           "group":{"first":1,"last":40,"missing":[3],"highlighted":[2]}}]})",
                      &card);
        return new MediaCatalog(card, nullptr);
    }();
    if (size > DB_FRAME_MAX)
        size = DB_FRAME_MAX;
    for (const Frame &f : handleRequest(*catalog, data, size))
        if (f.size() > DB_FRAME_MAX)
            std::abort();
    return 0;
}
