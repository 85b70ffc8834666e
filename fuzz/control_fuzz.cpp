// The server's control command line (faults, rescan, version) from arbitrary bytes: every line
// is answered "ok ..." or "error: ...", and an armed fault then applied to a reply leaves it a
// frame. A delay is handed back to the caller, not slept, so every fault is applied here.
#include <cstdlib>
#include <string>

#include "mediadb/db_server.h"
#include "mediadb/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static MediaCatalog *catalog = [] {
        MediaCard card;
        parseManifest(R"({"media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":0}]})", &card);
        return new MediaCatalog(card, nullptr);
    }();
    static DbServer server(*catalog, [] {
        MediaCard next;
        Status s = parseManifest(R"({"media":[{"dir":"100ZTCAM","file":"ZP010002.JPG","type":4}]})", &next);
        return s.ok() ? catalog->replace(std::move(next)) : s;
    });
    std::string line(reinterpret_cast<const char *>(data), size);
    std::string answer = server.control(line);
    if (answer.compare(0, 3, "ok ") != 0 && answer.compare(0, 7, "error: ") != 0)
        std::abort();

    FaultInjector faults;
    std::vector<std::string> words;
    for (size_t at = 0; at < line.size();) {
        size_t end = line.find(' ', at);
        end = end == std::string::npos ? line.size() : end;
        if (end > at)
            words.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    if (!faults.arm(words).ok())
        return 0;
    std::vector<Frame> reply = {Frame(40, 7), Frame(12, 9)};
    uint32_t delayMs = 0;
    if (faults.apply(&reply, &delayMs))
        for (const Frame &f : reply)
            if (f.size() > 40)
                std::abort();
    return 0;
}
