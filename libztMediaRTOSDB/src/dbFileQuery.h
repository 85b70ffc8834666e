// The two exchange families of the per-file commands, each implemented once and driven by a small
// per-command descriptor: the query family (own channel, one send and one receive, result 0 or
// negative) and the response family (the caller's connection, rtosCall with 10 retries, result an
// HTTP status). Callers own every buffer; nothing is kept. Re-entrant.
#ifndef ZT_DB_FILE_QUERY_H
#define ZT_DB_FILE_QUERY_H

#include <cstddef>
#include <cstdint>

#include "libztMediaRTOSDB/src/dbCommon.h"
#include "ztMedia/ztMediaDB.h"


// Which content types a query command accepts.
enum class DbTypeCheck : uint8_t { Any, Video, Group };

// What differs between the query-family commands.
struct DbQueryCommand {
    uint32_t command;
    const char *gotFormat;  // "getContentInfo got %d bytes\n", ...
    const char *sendFailFormat;
    int minBytes;            // shortest response accepted
    bool sendResultIsResult; // a failed send returns its own result instead of -1
    DbTypeCheck typeCheck;
};

// One query-family exchange: the channel is opened here and stays open until finish(), which
// the destructor also does (so every return after opening closes it).
class DbQuery {
public:
    explicit DbQuery(const DbQueryCommand &cmd) : mCmd(cmd) {}
    ~DbQuery() { close(); }
    DbQuery(const DbQuery &) = delete;
    DbQuery &operator=(const DbQuery &) = delete;

    // Opens the channel, sends `request` (its header's token is the caller's), receives, and
    // runs the shared checks (size, status, token, count, type, header log). 0 when the
    // response can be used, else the command's negative result.
    int run(const void *request, size_t requestLen);
    const uint8_t *response() const { return mResponse; }
    int bytes() const { return mBytes; }
    // Closes the channel and logs "time %lu sec, %lu usec\n" at level 4.
    void finish();

private:
    void close();
    bool checkType() const;

    const DbQueryCommand &mCmd;
    DbTimer mTimer;
    rtosConnection_t mConn = {};
    bool mOpen = false;
    int mBytes = 0;
    uint8_t mResponse[DB_FRAME_MAX];
};

// A 32-byte file request for `command` with request_count 1 and the token taken from the
// request's own address; names copied up to a terminator and zero-padded.
void dbBuildFileRequest(db_file_request *req, uint32_t command, const char *dirName,
                        const char *fileName);

// The response family's shared steps on the caller's connection: logs the request header at
// level 5, rtosCall with 10 retries and the default time-out into `response` (DB_FRAME_MAX
// bytes), "Invalid response size (%d), discarding\n" and 500 for a failure or fewer than 20
// bytes, the header at level 5, the token check, the count clamp to 1 and the status mapping.
// Returns 200 when the command may read its records; *pBytes gets the byte count.
int dbResponseExchange(rtosConnection_t *conn, const void *request, size_t requestLen,
                       uint8_t *response, int *pBytes);
// Logs "Invalid response size (%d), discarding\n" at level 2 and returns 500.
int dbDiscardResponse(int bytes);

#endif
