// Response buffers, the bounded append and the HTTP framing.
#include "libztMediaRTOSDB/responders/ztMediaOutput.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "libztMediaRTOSDB/client/dbLog.h"
#include "libztMediaRTOSDB/responders/ztMediaJson.h"
#include "platform/ztcamera.h"
#include "ztMedia/dbProtocol.h"

namespace ztmedia {
namespace {

// One row per buffer, in allocation order.
struct BufferRow {
    char *ztMediaDBOutput_t::*buffer;
    char *ztMediaDBOutput_t::*cursor;
    size_t size;
    const char *mallocFailed;
};
const BufferRow kBuffers[] = {
    {&ztMediaDBOutput_t::localBuffer, &ztMediaDBOutput_t::localBufferPos, ZT_OUT_BUFFER_SIZE,
     "malloc localBuffer failed medialist\n"},
    {&ztMediaDBOutput_t::localDirectoryBuffer, &ztMediaDBOutput_t::localDirectoryBufferPos,
     ZT_OUT_DIRECTORY_BUFFER_SIZE, "malloc localDirectoryBuffer failed medialist\n"},
    {&ztMediaDBOutput_t::localEntryBuffer, &ztMediaDBOutput_t::localEntryBufferPos, ZT_OUT_ENTRY_BUFFER_SIZE,
     "malloc localEntryBuffer failed medialist\n"},
};

const BufferRow &rowOf(OutBuf which)
{
    switch (which) {
    case OutBuf::Media: return kBuffers[0];
    case OutBuf::Directory: return kBuffers[1];
    case OutBuf::Entry: break;
    }
    return kBuffers[2];
}

// The overflow messages name the source file without its directories.
const char *baseName(const char *path)
{
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void logOverflow(OutBuf which, int wouldBe, const char *file, int line)
{
    file = baseName(file);
    switch (which) {
    case OutBuf::Entry:
        DBLOG(DB_LOG_ERROR, "%d > %d, entry buff exceeded, %s:%d\n", wouldBe,
              static_cast<int>(ZT_OUT_ENTRY_BUFFER_SIZE), file, line);
        break;
    case OutBuf::Directory:
        DBLOG(DB_LOG_ERROR, "%d > %d, dir buff exceeded, %s:%d\n", wouldBe,
              static_cast<int>(ZT_OUT_DIRECTORY_BUFFER_SIZE), file, line);
        break;
    case OutBuf::Media:
        DBLOG(DB_LOG_ERROR, "exceeded buffer length for ztoutput %d, %s:%d\n", wouldBe, file, line);
        break;
    }
}

void writeStdout(void *, const char *data, size_t size) { std::fwrite(data, 1, size, stdout); }

const ztMediaSink kStdoutSink = {writeStdout, nullptr};

}  // namespace

void replyWrite(const Reply &reply, const std::string &bytes)
{
    reply.sink->write(reply.sink->context, bytes.data(), bytes.size());
}

int ztMediaDBOutputCtor(ztMediaDBOutput_t *out, mg_connection *conn)
{
    *out = ztMediaDBOutput_t{};
    out->conn = conn;
    bool failed = false;
    for (const BufferRow &b : kBuffers) {
        char *p = static_cast<char *>(std::calloc(1, b.size));
        if (!p) {
            DBLOG(DB_LOG_ERROR, "%s", b.mallocFailed);
            failed = true;
        }
        out->*b.buffer = p;
        out->*b.cursor = p;
    }
    if (!failed)
        return 0;
    ztMediaDBOutputDtor(out);
    return -1;
}

void ztMediaDBOutputDtor(ztMediaDBOutput_t *out)
{
    for (const BufferRow &b : kBuffers) {
        std::free(out->*b.buffer);
        out->*b.buffer = nullptr;
        out->*b.cursor = nullptr;
    }
}

void writeHttpResponseHeader(const Reply &reply, int status)
{
    std::string head;
    ss_printf(head, "HTTP/1.1 %d \r\n", status);
    head += "Content-Type: application/json\r\n";
    replyWrite(reply, head);
}

void writeHttpContentLength(const Reply &reply, int length)
{
    std::string line;
    ss_printf(line, "%s%d\r\n", "Content-Length: ", length);
    line += "\r\n";
    replyWrite(reply, line);
}

void writeHttpErrorResponseHeader(const Reply &reply, int status)
{
    writeHttpResponseHeader(reply, status);
    writeHttpContentLength(reply, 0);
}

int refuseRequest(const Reply &reply, int status)
{
    writeHttpErrorResponseHeader(reply, status);
    return -1;
}

int outAppendV(ztMediaDBOutput_t *out, OutBuf which, const char *file, int line, const char *format, va_list ap)
{
    // The cursor marks the end of the text, so an append neither scans what is there (a list's
    // buffers grow to tens of kilobytes, piece by piece) nor formats its piece twice.
    const BufferRow &b = rowOf(which);
    char *start = out->*b.buffer;
    char *cursor = out->*b.cursor;
    const size_t used = static_cast<size_t>(cursor - start);
    const size_t room = b.size - used;
    const int piece = std::vsnprintf(cursor, room, format, ap);
    if (piece >= 0 && static_cast<size_t>(piece) < room) {
        out->*b.cursor = cursor + piece;
        return 200;
    }
    *cursor = '\0';  // what did fit is taken back
    logOverflow(which, static_cast<int>(used + static_cast<size_t>(piece < 0 ? 0 : piece)), file, line);
    out->*b.cursor = start;
    return 500;
}

int outAppend(ztMediaDBOutput_t *out, OutBuf which, const char *file, int line, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    const int status = outAppendV(out, which, file, line, format, ap);
    va_end(ap);
    return status;
}

void outRewind(ztMediaDBOutput_t *out, OutBuf which)
{
    const BufferRow &b = rowOf(which);
    out->*b.cursor = out->*b.buffer;
}

const char *outText(const ztMediaDBOutput_t *out, OutBuf which) { return out->*rowOf(which).buffer; }

int outMoveEntry(ztMediaDBOutput_t *out)
{
    int status = ZT_OUT(out, OutBuf::Entry, "}");
    status = worst(status, ZT_OUT(out, OutBuf::Directory, "%s", out->localEntryBuffer));
    std::memset(out->localEntryBuffer, 0, ZT_OUT_ENTRY_BUFFER_SIZE);
    outRewind(out, OutBuf::Entry);
    return status;
}

int outMoveDirectory(ztMediaDBOutput_t *out)
{
    int status = ZT_OUT(out, OutBuf::Directory, "]}");
    status = worst(status, ZT_OUT(out, OutBuf::Media, "%s", out->localDirectoryBuffer));
    outRewind(out, OutBuf::Directory);
    return status;
}

int outOpenDirectory(ztMediaDBOutput_t *out, OutBuf which, const char *name)
{
    return ZT_OUT(out, which, "{\"d\":\"%s\",\"fs\":[", jsonText(name, DB_DIR_NAME_LEN).text);
}

bool ListDirectory::isNewFor(const char *dir) const { return !open || std::memcmp(name, dir, DB_DIR_NAME_LEN) != 0; }

int ListDirectory::start(ztMediaDBOutput_t *out, OutBuf which, const char *dir)
{
    std::memcpy(name, dir, DB_DIR_NAME_LEN);
    open = true;
    hasEntry = false;
    return outOpenDirectory(out, which, dir);
}

void sendListResponse(const Reply &reply, int status, const char *cardId, const std::string &extra, const char *media,
                      const char *tail)
{
    writeHttpResponseHeader(reply, status);
    std::string body;
    ss_printf(body, "{\"id\":\"%s\"", jsonText(cardId, ZT_CARD_ID_MAX).text);
    body += extra;
    body += ",\"media\":[";
    if (status == 200 && media)
        body += media;
    body += tail;
    writeHttpContentLength(reply, static_cast<int>(body.size()));
    replyWrite(reply, body);
}

}  // namespace ztmedia

const ztMediaSink *ztMediaStdoutSink() { return &ztmedia::kStdoutSink; }
