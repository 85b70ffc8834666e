// See cardRoutes.h. The file is opened safely (card/cardFolder.h) and its bytes are sent from the
// open descriptor by the engine (sendfile), so no path that could be swapped is used again.
#include "cardRoutes.h"

#include <cinttypes>
#include <cstring>
#include <string>
#include <unistd.h>

#include "card/byteRange.h"
#include "card/cardNames.h"
#include "card/thumbnail.h"
#include "platform/ztcamera.h"

namespace {

const char kFilePrefix[] = "/media/file/";
const char kThumbnailPrefix[] = "/media/thumbnail/";

HttpAnswer notFound() { return textAnswer(404, "Not found\n"); }

HttpAnswer fileAnswer(const CardFolder &card, const std::string &folder, const std::string &file, const char *range)
{
    struct stat st;
    int fd = card.openFile(folder, file, &st);
    if (fd < 0)
        return notFound();
    const uint64_t size = (uint64_t)st.st_size;
    const ByteRange r = parseByteRange(range, size);
    HttpAnswer a;
    std::string span;
    if (r.kind == RangeKind::Unsatisfiable) {
        close(fd);
        a.status = 416;
        ss_printf(span, "bytes */%" PRIu64, size);
        a.headers.emplace_back("Content-Range", span);
        return a;
    }
    a.status = r.kind == RangeKind::Part ? 206 : 200;
    a.headers = {
        {"Content-Type", cardContentType(file)}, {"Accept-Ranges", "bytes"}, {"X-Content-Type-Options", "nosniff"}};
    if (r.kind == RangeKind::Part) {
        ss_printf(span, "bytes %" PRIu64 "-%" PRIu64 "/%" PRIu64, r.first, r.first + r.length - 1, size);
        a.headers.emplace_back("Content-Range", span);
    }
    a.fileFd = fd;
    a.fileOffset = r.first;
    a.fileLength = r.length;
    return a;
}

HttpAnswer thumbnailAnswer(const CardFolder &card, const std::string &folder, const std::string &file)
{
    HttpAnswer a;
    if (!cardThumbnail(card, folder, file, &a.body))
        return notFound();
    a.status = 200;
    a.headers.emplace_back("Content-Type", "image/jpeg");
    return a;
}

bool hasPrefix(const char *uri, const char *prefix, const char **rest)
{
    size_t n = strlen(prefix);
    if (strncmp(uri, prefix, n) != 0)
        return false;
    *rest = uri + n;
    return true;
}

}  // namespace

bool isCardRoute(const char *uri)
{
    const char *rest = nullptr;
    return hasPrefix(uri, kFilePrefix, &rest) || hasPrefix(uri, kThumbnailPrefix, &rest);
}

HttpAnswer serveCardRoute(const CardFolder &card, const char *uri, const char *range)
{
    const char *rest = nullptr;
    bool file = hasPrefix(uri, kFilePrefix, &rest);
    if (!file && !hasPrefix(uri, kThumbnailPrefix, &rest))
        return notFound();
    std::string folder, name;
    if (!card.isOpen() || !splitCardPath(rest, &folder, &name))
        return notFound();
    return file ? fileAnswer(card, folder, name, range) : thumbnailAnswer(card, folder, name);
}
