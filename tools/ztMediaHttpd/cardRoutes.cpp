// See cardRoutes.h. The file is opened safely (card/cardFolder.h). The whole file and the plain
// ranges go out through civetweb's own file sending (the kernel's sendfile) by /proc/self/fd/N,
// which names the open file, not a path that could be swapped. Everything else is answered
// here from the descriptor: civetweb announces one byte more than it sends for a range that runs
// past the end, answers a range past the end with a cut header and ignores suffix ranges.
#include "cardRoutes.h"

#include <cinttypes>
#include <cstring>
#include <vector>
#include <string>
#include <unistd.h>

#include <civetweb.h>

#include "card/byteRange.h"
#include "card/cardNames.h"
#include "card/thumbnail.h"

namespace {

const char kFilePrefix[] = "/media/file/";
const char kThumbnailPrefix[] = "/media/thumbnail/";
const size_t kChunkBytes = 256 * 1024;

int notFound(mg_connection *conn)
{
    mg_send_http_error(conn, 404, "%s", "Not found\n");
    return 404;
}

// The bytes of the range from fd; false when the client went away or the file shrank.
bool sendBody(mg_connection *conn, int fd, const ByteRange &r)
{
    std::vector<char> chunk(kChunkBytes);
    uint64_t at = r.first, left = r.length;
    while (left > 0) {
        ssize_t got = pread(fd, chunk.data(), left < kChunkBytes ? (size_t)left : kChunkBytes, (off_t)at);
        if (got <= 0 || mg_write(conn, chunk.data(), (size_t)got) != (int)got)
            return false;
        at += (uint64_t)got;
        left -= (uint64_t)got;
    }
    return true;
}

// A response of our own: the headers and the bytes of r from fd.
void sendFromFd(mg_connection *conn, int fd, const ByteRange &r, uint64_t size, const char *type)
{
    const bool part = r.kind == RangeKind::Part;
    mg_printf(conn, "HTTP/1.1 %s\r\nContent-Type: %s\r\nContent-Length: %" PRIu64
                    "\r\nAccept-Ranges: bytes\r\nX-Content-Type-Options: nosniff\r\n",
              part ? "206 Partial Content" : "200 OK", type, r.length);
    if (part)
        mg_printf(conn, "Content-Range: bytes %" PRIu64 "-%" PRIu64 "/%" PRIu64 "\r\n", r.first,
                  r.first + r.length - 1, size);
    mg_printf(conn, "\r\n");
    sendBody(conn, fd, r);
}

int sendFile(const CardFolder &card, mg_connection *conn, const std::string &folder, const std::string &file)
{
    struct stat st;
    int fd = card.openFile(folder, file, &st);
    if (fd < 0)
        return notFound(conn);
    const uint64_t size = (uint64_t)st.st_size;
    const char *header = mg_get_header(conn, "Range");
    const ByteRange r = parseByteRange(header, size);
    if (r.kind == RangeKind::Unsatisfiable) {
        close(fd);
        mg_printf(conn, "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */%" PRIu64
                        "\r\nContent-Length: 0\r\n\r\n", size);
        return 416;
    }
    if (!header || (r.kind == RangeKind::Part && r.plain)) {
        std::string path = "/proc/self/fd/" + std::to_string(fd);
        mg_send_mime_file2(conn, path.c_str(), cardContentType(file), "X-Content-Type-Options: nosniff\r\n");
        close(fd);
        return header ? 206 : 200;
    }
    sendFromFd(conn, fd, r, size, cardContentType(file));
    close(fd);
    return r.kind == RangeKind::Part ? 206 : 200;
}

int sendThumbnail(const CardFolder &card, mg_connection *conn, const std::string &folder, const std::string &file)
{
    std::string jpeg;
    if (!cardThumbnail(card, folder, file, &jpeg))
        return notFound(conn);
    mg_send_http_ok(conn, "image/jpeg", (long long)jpeg.size());
    mg_write(conn, jpeg.data(), jpeg.size());
    return 200;
}

bool hasPrefix(const char *uri, const char *prefix, const char **rest)
{
    size_t n = strlen(prefix);
    if (strncmp(uri, prefix, n) != 0)
        return false;
    *rest = uri + n;
    return true;
}

} // namespace

int serveCardRoute(const CardFolder &card, mg_connection *conn, const char *uri)
{
    const char *rest = nullptr;
    bool file = hasPrefix(uri, kFilePrefix, &rest);
    if (!file && !hasPrefix(uri, kThumbnailPrefix, &rest))
        return 0;
    std::string folder, name;
    if (!card.isOpen() || !splitCardPath(rest, &folder, &name))
        return notFound(conn);
    return file ? sendFile(card, conn, folder, name) : sendThumbnail(card, conn, folder, name);
}
