// Query strings of the HTTP responders: both request parsers and the URL helpers must take any
// bytes, answer one of the statuses they use and leave terminated, JSON-safe settings behind;
// the escape of echoed text must turn any bytes into the text of a JSON string.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "libztMediaRTOSDB/responders/ztMediaJson.h"
#include "libztMediaRTOSDB/responders/ztMediaQuery.h"
#include "platform/ztklog.h"

namespace {

bool knownStatus(int s) { return s == 200 || s == 400 || s == 404 || s == 500 || s == 501; }

void check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace ztmedia;
    g_logLevel = 0;
    const std::string q(reinterpret_cast<const char *>(data), size);

    dbSettings_t list = freshSettings(FM_ALL);
    const int ls = parseMediaListQuery(q.c_str(), q.size(), &list);
    check(knownStatus(ls));
    check(std::memchr(list.unsupported, 0, sizeof list.unsupported) != nullptr);
    check(std::memchr(list.dirName, 0, sizeof list.dirName) != nullptr);
    if (ls == 200)
        check(jsonSafe(list.unsupported, std::strlen(list.unsupported)));

    dbSettings_t meta = freshSettings(FM_ALL);
    const int ms = parseMetadataQuery(q.c_str(), q.size(), &meta);
    check(knownStatus(ms));
    check(std::memchr(meta.fileName, 0, sizeof meta.fileName) != nullptr);
    if (ms == 200)
        check(std::strlen(meta.dirName) >= 1 && std::strlen(meta.fileName) == 12);

    // Escaped text: no raw control byte, no '"' that is not escaped, well-formed UTF-8 throughout.
    const JsonText escaped = jsonText(q.c_str(), q.size());
    const size_t n = std::strlen(escaped.text);
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(escaped.text[i]);
        const size_t len = utf8SequenceLength(escaped.text + i, n - i);
        check(c >= 0x20 && c != '"' && len > 0);
        i += c == '\\' ? 2 : len;
    }

    char small[8];
    const int r = mg_url_decode(q.data(), static_cast<int>(q.size()), small, sizeof small, 1);
    check(r >= -1 && r < static_cast<int>(sizeof small) && std::strlen(small) < sizeof small);
    return 0;
}
