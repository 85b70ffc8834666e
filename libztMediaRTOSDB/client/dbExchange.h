// The one exchange path of every database command: open the channel (or take the caller's),
// log the request, send and receive with the command's attempts and time-out, then judge the
// reply (size, status, token, count, content type) and log its header. What differs between the
// commands is written down in each command's DbExchangePolicy; the command itself only builds
// its payload and decodes the reply. The caller owns the policy (a constant) and every buffer;
// an exchange object lives on the caller's stack for one command. Re-entrant.
#ifndef ZT_DB_EXCHANGE_H
#define ZT_DB_EXCHANGE_H

#include <cstddef>
#include <cstdint>

#include "libztMediaRTOSDB/client/dbCommon.h"
#include "ztMedia/ztMediaDB.h"

// Attempts: a retry count for rtosCall, or one bare send and one receive on the socket's own
// time-out, where a failed send is reported at once (the content queries).
enum : int { DB_SEND_ONCE = -1 };

// What a non-zero status does.
enum class DbStatusRule : uint8_t {
    Log,          // statusText at level 3; the reply is used all the same
    LogAndPause,  // pause 100 ms, then as Log
    Fail,         // statusText at level 2; result statusResult
    Http,         // mapped to the HTTP result last (0 -> 200, 1 and 2 -> 503, 3 and 4 -> 404, else 500)
    Refuse,       // result statusResult without a word: the caller reports it and may start over
};
// Where a check or the response-header log stands among the checks.
enum class DbStep : uint8_t { Never, BeforeStatus, BeforeCount, AfterCount, Last };
// Which content types a reply may carry (the record at offset 20).
enum class DbTypeCheck : uint8_t { Any, Video, Group };

struct DbExchangePolicy {
    // Channel. callersConnection: the response family exchanges on a connection that its caller
    // opened and keeps. Otherwise a failed opening logs "ztIpcInit fail, ret %d\n", then openText
    // (level 2, with -1) when set, and gives -1, or the platform's result with openResultRaw.
    bool callersConnection = false;
    const char *openText = nullptr;
    bool openResultRaw = false;

    // Transfer. retries and timeoutSec go to rtosCall, or retries is DB_SEND_ONCE: then a failed
    // send logs sendText (level 2, with the send's result) and gives -1, or the send's result
    // with sendResultIsResult. gotText (level 4, with the byte count) follows the receive.
    int retries = DB_RETRIES_NONE;
    int timeoutSec = DB_TIMEOUT_DEFAULT_S;
    const char *sendText = nullptr;
    bool sendResultIsResult = false;
    const char *gotText = nullptr;

    // Header logs at logLevel, with or without the token line; logRequest and logResponse replace
    // the standard ones. requestLogged false: no request log. responseLogAt places the response
    // header log among the checks.
    int logLevel = DB_LOG_HEADERS;
    bool logToken = true;
    bool requestLogged = true;
    void (*logRequest)(const uint8_t *request) = nullptr;
    void (*logResponse)(const uint8_t *response, int bytes) = nullptr;
    DbStep responseLogAt = DbStep::BeforeStatus;

    // A failed exchange: failText (level 2, with the result) and -1; null: as a short reply.
    // A reply below minBytes: shortText (level 2, with the byte count and 20) and shortResult;
    // null: a pause, "%d bytes received, expecting %ld, retrying\n" (3) and 0, reply unused;
    // with shortRefused: shortResult without a word, for a caller that reports it and may retry.
    const char *failText = nullptr;
    int minBytes = sizeof(db_response_header);
    const char *shortText = nullptr;
    int shortResult = -1;
    bool shortRefused = false;

    DbStatusRule statusRule = DbStatusRule::Log;
    const char *statusText = nullptr;
    int statusResult = -1;

    // Token: compared at tokenAt; a mismatch logs tokenText (level 3, with both tokens), the
    // reply is used all the same.
    DbStep tokenAt = DbStep::Never;
    const char *tokenText = "Tokens don't match %d %d";

    // Count: with countLevel, a count above the request's request_count is clamped in the reply
    // ("command %d requested %d, response returned %d, setting response returned to %d\n" and
    // clampText, both at countLevel); with zeroText, a count of 0 logs it (level 2) and gives -1.
    int countLevel = 0;
    const char *zeroText = nullptr;
    const char *clampText = nullptr;

    DbTypeCheck typeCheck = DbTypeCheck::Any;
};

// One exchange. Construct it first thing in a command: it starts the command's clock.
class DbExchange {
public:
    explicit DbExchange(const DbExchangePolicy &policy) : mPolicy(policy) {}
    ~DbExchange() { close(); }
    DbExchange(const DbExchange &) = delete;
    DbExchange &operator=(const DbExchange &) = delete;

    // Opens its own channel (callersConnection false) or uses `conn`, sends `request` (its
    // header carries command, request_count and token) and receives into `response`
    // (DB_FRAME_MAX bytes). True when the command may decode the reply; else result() is the
    // command's result.
    bool run(const void *request, size_t requestLen, uint8_t *response, rtosConnection_t *conn = nullptr);
    int result() const { return mResult; }
    // The reply's byte count; negative when nothing arrived (the channel did not open, or the
    // send or receive failed).
    int bytes() const { return mBytes; }
    // The reply was shorter than the policy's minimum and only noted (no shortText).
    bool shortReply() const { return mShort; }
    // The connection in use, for commands that receive further frames on it.
    rtosConnection_t *connection() { return mConn; }
    // Ends the command before its exchange with `result`; false, for the caller to return on.
    bool refuse(int result) { return fail(result); }
    // Closes an own channel.
    void close();
    // Closes an own channel and logs "time %lu sec, %lu usec\n" (level 4) since construction.
    void finish();

private:
    bool open(rtosConnection_t *conn);
    bool transfer(const void *request, size_t requestLen, uint8_t *response);
    bool judge(const db_request_header &sent, uint8_t *response);
    bool fail(int result);
    void logResponse(DbStep at, const uint8_t *response) const;
    void checkToken(DbStep at, uint32_t sent, uint32_t received) const;
    bool checkType(const uint8_t *response) const;

    const DbExchangePolicy &mPolicy;
    DbTimer mTimer;
    rtosConnection_t mOwn = {};
    rtosConnection_t *mConn = nullptr;
    bool mOwnOpen = false;
    int mBytes = -1;
    int mResult = 0;
    bool mShort = false;
};

// The policy of the commands that take whatever comes back (histogram, status writes): their own
// channel ("Failed to ininialize IPC: %d\n" after a failed opening), "RTOS transaction failed.\n"
// and -1 for a failed exchange, a short reply noted and a refused one noted after a pause, the
// token not compared.
constexpr DbExchangePolicy dbLenientPolicy(int retries, int timeoutSec, void (*logRequest)(const uint8_t *) = nullptr)
{
    DbExchangePolicy p;
    p.openText = "Failed to ininialize IPC: %d\n";
    p.retries = retries;
    p.timeoutSec = timeoutSec;
    p.logRequest = logRequest;
    p.failText = "RTOS transaction failed.\n";
    p.statusRule = DbStatusRule::LogAndPause;
    p.statusText = "error on IPC received, retrying, status %d\n";
    return p;
}

// The content queries' policy: their own channel (a failed opening gives the platform's
// result), one bare send and receive, gotText after it, "error on IPC received %d, exiting\n"
// and -1 below minBytes, the status and token only logged, a count of 0 refused and a larger one
// clamped to 1 (level 2), the content type checked, and the header (no token) logged last.
constexpr DbExchangePolicy dbQueryPolicy(const char *gotText, int minBytes, DbTypeCheck type,
                                         const char *sendText = "error on IPC send %d\n",
                                         bool sendResultIsResult = false)
{
    DbExchangePolicy p;
    p.openResultRaw = true;
    p.retries = DB_SEND_ONCE;
    p.sendText = sendText;
    p.sendResultIsResult = sendResultIsResult;
    p.gotText = gotText;
    p.logToken = false;
    p.requestLogged = false;
    p.responseLogAt = DbStep::Last;
    p.minBytes = minBytes;
    p.shortText = "error on IPC received %d, exiting\n";
    p.statusText = "ztIpcReceive response status %d\n";
    p.tokenAt = DbStep::BeforeCount;
    p.countLevel = DB_LOG_ERROR;
    p.zeroText = "ztIpcReceive response count_returned %d - returning -1\n";
    p.clampText = "ztIpcReceive response count_returned %d - using first\n";
    p.typeCheck = type;
    return p;
}

// The query family's exchange of a file request for `command` (names copied up to a terminator)
// on `x` into `response`; as DbExchange::run.
bool dbRunFileQuery(DbExchange &x, uint32_t command, const db_file_spec *fs, uint8_t *response);

// True when no pointer is null; else logs `invalidText` (level 2) with every pointer in order.
template <typename... P>
bool dbInputsGiven(const char *invalidText, const P *...pointers)
{
    if (((pointers != nullptr) && ...))
        return true;
    DBLOG(DB_LOG_ERROR, invalidText, static_cast<const void *>(pointers)...);
    return false;
}

// Every file query's start: `fs` and the outputs the command requires must be given (else
// invalidText and -1), then dbRunFileQuery. False: return x.result().
template <typename... Out>
bool dbStartFileQuery(DbExchange &x, uint32_t command, const db_file_spec *fs, uint8_t *response,
                      const char *invalidText, const Out *...outputs)
{
    if (!dbInputsGiven(invalidText, fs, outputs...))
        return x.refuse(-1);
    return dbRunFileQuery(x, command, fs, response);
}
// The response family's exchange of a file request for `command` (names taken as 8 and 12 raw
// bytes) on the caller's connection under kDbResponsePolicy. 200 with *pBytes set when the reply
// may be decoded, else the command's HTTP result.
int dbFileResponse(rtosConnection_t *conn, uint32_t command, const char *pDirName, const char *pFileName,
                   uint8_t *response, int *pBytes);
// As dbFileResponse for a reply that starts with a content record, copied to *ci: 500 ("Invalid
// response size (%d), discarding\n") when the record did not arrive, 404 when the file is unknown.
int dbContentResponse(rtosConnection_t *conn, uint32_t command, const char *pDirName, const char *pFileName,
                      uint8_t *response, int *pBytes, db_content_info *ci);
// The response header at the start of a reply (copied: the buffer has no alignment).
db_response_header dbResponseHeaderOf(const uint8_t *response);
// Logs "Invalid response size (%d), discarding\n" at level 2 and returns 500.
int dbDiscardResponse(int bytes);

// The response family's policy: the caller's connection, 10 retries, the default time-out,
// headers at level 5, "Invalid response size (%d), discarding\n" and 500 below 20 bytes, the
// token compared, the count clamped to 1 and the status mapped to the HTTP result.
extern const DbExchangePolicy kDbResponsePolicy;

#endif
