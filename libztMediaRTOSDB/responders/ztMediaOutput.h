// Response buffers and HTTP framing of the responders: the three bounded text buffers of one
// response, the one rule by which JSON pieces are appended to them, and the status, header and
// body printers, which write to the sink of the call (standard output unless the host chose
// another). Buffers belong to the record; no state, no lock.
#ifndef ZT_MEDIA_OUTPUT_H
#define ZT_MEDIA_OUTPUT_H

#include <cstdarg>
#include <cstdint>
#include <string>

#include "ztMedia/dbProtocol.h"
#include "ztMedia/ztMediaResponders.h"

// The output buffers of one response, each appended to within its bounds.
enum : uint32_t {
    ZT_OUT_BUFFER_SIZE = 0x20000,            // localBuffer: the body's media array
    ZT_OUT_DIRECTORY_BUFFER_SIZE = 0x10000,  // localDirectoryBuffer: one directory object
    ZT_OUT_ENTRY_BUFFER_SIZE = 1536,         // localEntryBuffer: one file entry
};
struct ztMediaDBOutput_t {
    mg_connection *conn;
    char *localBuffer;
    char *localBufferPos;
    char *localDirectoryBuffer;
    char *localDirectoryBufferPos;
    char *localEntryBuffer;
    char *localEntryBufferPos;
};

namespace ztmedia {

// Where one responder call answers: the host's connection handle (carried along) and the sink
// that receives the response's bytes.
struct Reply {
    const ztMediaSink *sink;
    mg_connection *conn;
};
// The bytes to the call's sink.
void replyWrite(const Reply &reply, const std::string &bytes);

// Allocates the three zero-filled buffers; -1 (nothing left allocated) when any allocation fails.
int ztMediaDBOutputCtor(ztMediaDBOutput_t *out, mg_connection *conn);
// Frees what is allocated and nulls pointers and cursors; harmless twice.
void ztMediaDBOutputDtor(ztMediaDBOutput_t *out);

// "HTTP/1.1 %d \r\n" and the content-type line.
void writeHttpResponseHeader(const Reply &reply, int status);
// "Content-Length: N\r\n" and the empty line that ends the header block.
void writeHttpContentLength(const Reply &reply, int length);
// The whole header block of a response without body (length 0).
void writeHttpErrorResponseHeader(const Reply &reply, int status);
// A request answered by its error header alone: the header, and -1 for the responder to return.
int refuseRequest(const Reply &reply, int status);
// The request's query string; empty when there is none.
inline const char *queryText(const char *queryString) { return queryString ? queryString : ""; }

enum class OutBuf { Media, Directory, Entry };

// The bounded append: formats the piece at the buffer's cursor when the text already in the
// buffer, the piece and a terminator fit; otherwise logs the buffer's overflow message (naming
// file:line), drops the piece, moves the cursor back to the buffer start and returns 500.
// Returns 200 when the piece was written.
int outAppend(ztMediaDBOutput_t *out, OutBuf which, const char *file, int line, const char *format, ...)
    __attribute__((format(printf, 5, 6)));
int outAppendV(ztMediaDBOutput_t *out, OutBuf which, const char *file, int line, const char *format, va_list ap)
    __attribute__((format(printf, 5, 0)));
#define ZT_OUT(out, which, ...) ::ztmedia::outAppend((out), (which), __FILE__, __LINE__, __VA_ARGS__)

// Resets a buffer's cursor to its start (the text stays until overwritten).
void outRewind(ztMediaDBOutput_t *out, OutBuf which);
// The text written to a buffer so far.
const char *outText(const ztMediaDBOutput_t *out, OutBuf which);
// Closes the entry with "}", appends it to the directory buffer and zeroes the entry buffer.
// 200, or 500 when either piece did not fit.
int outMoveEntry(ztMediaDBOutput_t *out);
// Closes the directory with "]}", appends it to the media buffer and rewinds the directory.
int outMoveDirectory(ztMediaDBOutput_t *out);
// Opens a directory object "{"d":"NAME","fs":[" in buffer `which` (NAME: at most 8 characters,
// escaped).
int outOpenDirectory(ztMediaDBOutput_t *out, OutBuf which, const char *name);

// The directory object a list answer is building.
struct ListDirectory {
    char name[DB_DIR_NAME_LEN];
    bool open;      // a directory object is being built
    bool hasEntry;  // ... and holds an entry
    // An entry of directory `dir` needs a new object: none is open, or it is another's.
    bool isNewFor(const char *dir) const;
    // Opens the object of `dir` (outOpenDirectory) as this one, without entries yet.
    int start(ztMediaDBOutput_t *out, OutBuf which, const char *dir);
};

// Sends a list body: status line, headers and "{\"id\":\"ID\"" (ID escaped) + extra + ",\"media\":[" + media
// (only for 200) + tail, where tail closes the array, object and line.
void sendListResponse(const Reply &reply, int status, const char *cardId, const std::string &extra, const char *media,
                      const char *tail);

// The first `status` other than 200 wins; 200 otherwise.
inline int worst(int status, int next) { return status != 200 ? status : next; }

}  // namespace ztmedia

#endif
