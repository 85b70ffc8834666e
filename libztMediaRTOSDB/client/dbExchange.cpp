#include "libztMediaRTOSDB/client/dbExchange.h"

#include <cstring>

namespace {

// 0 -> 200, 1 and 2 -> 503, 4 -> 404 silently; 3 -> 404 and others -> 500 after a message.
int httpStatusOf(uint32_t status)
{
    switch (status) {
    case 0: return 200;
    case 1:
    case 2: return 503;
    case 4: return 404;
    default: break;
    }
    DBLOG(DB_LOG_ERROR, "error on IPC received, exiting, status %d\n", status);
    return status == 3 ? 404 : 500;
}

// A 32-byte file request with request_count 1 and the token taken from the request's own
// address; names copied up to a terminator and zero-padded.
void buildFileRequest(db_file_request *req, uint32_t command, const char *dirName, const char *fileName)
{
    req->header = {command, 1, dbTokenOf(req)};
    dbCopyName(req->dir_name, dirName, DB_DIR_NAME_LEN);
    dbCopyName(req->file_name, fileName, DB_FILE_NAME_LEN);
}

constexpr DbExchangePolicy responsePolicy()
{
    DbExchangePolicy p;
    p.callersConnection = true;
    p.retries = DB_RETRIES_DEFAULT;
    p.logLevel = DB_LOG_DETAIL;
    p.shortText = "Invalid response size (%d), discarding\n";
    p.shortResult = 500;
    p.statusRule = DbStatusRule::Http;
    p.tokenAt = DbStep::BeforeCount;
    p.countLevel = DB_LOG_NOTICE;
    return p;
}

}  // namespace

const DbExchangePolicy kDbResponsePolicy = responsePolicy();

bool DbExchange::run(const void *request, size_t requestLen, uint8_t *response, rtosConnection_t *conn)
{
    if (!open(conn))
        return false;
    db_request_header sent;
    std::memcpy(&sent, request, sizeof sent);
    if (mPolicy.logRequest)
        mPolicy.logRequest(static_cast<const uint8_t *>(request));
    else if (mPolicy.requestLogged)
        dbLogRequestHeader(mPolicy.logLevel, sent, mPolicy.logToken);
    if (!transfer(request, requestLen, response))
        return false;
    if (mBytes < 0 && mPolicy.failText) {
        DBLOG(DB_LOG_ERROR, mPolicy.failText, mBytes);
        return fail(-1);
    }
    if (mBytes < mPolicy.minBytes) {
        if (mPolicy.shortText)
            DBLOG(DB_LOG_ERROR, mPolicy.shortText, mBytes, DB_REPLY_RECORD_AT);
        if (mPolicy.shortText || mPolicy.shortRefused)
            return fail(mPolicy.shortResult);
        dbPause();
        DBLOG(DB_LOG_NOTICE, "%d bytes received, expecting %ld, retrying\n", mBytes,
              static_cast<long>(DB_REPLY_RECORD_AT));
        mShort = true;
        return fail(0);
    }
    return judge(sent, response);
}

bool DbExchange::open(rtosConnection_t *conn)
{
    if (mPolicy.callersConnection) {
        mConn = conn;
        return true;
    }
    const int ret = dbOpenChannel(&mOwn);
    if (ret < 0) {
        mOwn = rtosConnection_t{};
        if (mPolicy.openText)
            DBLOG(DB_LOG_ERROR, mPolicy.openText, -1);
        return fail(mPolicy.openResultRaw ? ret : -1);
    }
    mOwnOpen = true;
    mConn = &mOwn;
    return true;
}

bool DbExchange::transfer(const void *request, size_t requestLen, uint8_t *response)
{
    if (mPolicy.retries != DB_SEND_ONCE) {
        mBytes = rtosCall(mConn, request, requestLen, response, mPolicy.retries, mPolicy.timeoutSec);
        return true;
    }
    dbTraceFrame(DB_DUMP_SEND, request, static_cast<int>(requestLen));
    const int sent = ztIpcSend(mConn, request, requestLen);
    if (sent < 0) {
        DBLOG(DB_LOG_ERROR, mPolicy.sendText, sent);
        return fail(mPolicy.sendResultIsResult ? sent : -1);
    }
    mBytes = ztIpcReceive(mConn, response);
    dbTraceFrame(DB_DUMP_RECV, response, mBytes);
    if (mPolicy.gotText)
        DBLOG(DB_LOG_HEADERS, mPolicy.gotText, mBytes);
    return true;
}

// The checks in their one order; each policy switches on the ones its command makes.
bool DbExchange::judge(const db_request_header &sent, uint8_t *response)
{
    const DbExchangePolicy &p = mPolicy;
    logResponse(DbStep::BeforeStatus, response);
    db_response_header h = dbResponseHeaderOf(response);
    if (h.status && p.statusRule != DbStatusRule::Http) {
        if (p.statusRule == DbStatusRule::Refuse)
            return fail(p.statusResult);
        if (p.statusRule == DbStatusRule::Fail) {
            DBLOG(DB_LOG_ERROR, p.statusText, h.status);
            return fail(p.statusResult);
        }
        if (p.statusRule == DbStatusRule::LogAndPause)
            dbPause();
        DBLOG(DB_LOG_NOTICE, p.statusText, h.status);
    }
    checkToken(DbStep::BeforeCount, sent.token, h.token);
    logResponse(DbStep::BeforeCount, response);
    if (p.countLevel) {
        if (p.zeroText && h.count_returned == 0) {
            DBLOG(DB_LOG_ERROR, p.zeroText, h.count_returned);
            return fail(-1);
        }
        if (h.count_returned > sent.request_count) {
            DBLOG(p.countLevel, "command %d requested %d, response returned %d, setting response returned to %d\n",
                  h.command_type, sent.request_count, h.count_returned, sent.request_count);
            h.count_returned = sent.request_count;
            std::memcpy(response + offsetof(db_response_header, count_returned), &h.count_returned,
                        sizeof h.count_returned);
            if (p.clampText)
                DBLOG(p.countLevel, p.clampText, h.count_returned);
        }
    }
    checkToken(DbStep::AfterCount, sent.token, h.token);
    if (!checkType(response))
        return fail(-1);
    logResponse(DbStep::Last, response);
    if (p.statusRule != DbStatusRule::Http)
        return true;
    mResult = httpStatusOf(h.status);
    return mResult == 200;
}

bool DbExchange::fail(int result)
{
    mResult = result;
    return false;
}

void DbExchange::logResponse(DbStep at, const uint8_t *response) const
{
    if (at != mPolicy.responseLogAt)
        return;
    if (mPolicy.logResponse)
        mPolicy.logResponse(response, mBytes);
    else
        dbLogResponseHeader(mPolicy.logLevel, dbResponseHeaderOf(response), mPolicy.logToken);
}

void DbExchange::checkToken(DbStep at, uint32_t sent, uint32_t received) const
{
    if (at == mPolicy.tokenAt && sent != received)
        DBLOG(DB_LOG_NOTICE, mPolicy.tokenText, sent, received);
}

bool DbExchange::checkType(const uint8_t *response) const
{
    if (mPolicy.typeCheck == DbTypeCheck::Any)
        return true;
    db_content_info ci;
    std::memcpy(&ci, response + DB_REPLY_RECORD_AT, sizeof ci);
    const DbContentTypeInfo *info = dbContentTypeInfo(ci.content_type);
    if (mPolicy.typeCheck == DbTypeCheck::Video) {
        if (info && info->videoForQuery)
            return true;
        DBLOG(DB_LOG_ERROR, "struct db_content_type %d - must be video for operation\n", ci.content_type);
        return false;
    }
    if (info && info->block == DbListBlock::Group)
        return true;
    DBLOG(DB_LOG_ERROR, "struct db_content_type %d - must be group content for operation\n", ci.content_type);
    return false;
}

void DbExchange::close()
{
    if (mOwnOpen)
        rtosConnectionDtor(&mOwn);
    mOwnOpen = false;
}

void DbExchange::finish()
{
    close();
    unsigned long sec, usec;
    mTimer.elapsed(&sec, &usec);
    DBLOG(DB_LOG_HEADERS, "time %lu sec, %lu usec\n", sec, usec);
}

bool dbRunFileQuery(DbExchange &x, uint32_t command, const db_file_spec *fs, uint8_t *response)
{
    db_file_request req{};
    buildFileRequest(&req, command, fs->dir_name, fs->file_name);
    return x.run(&req, sizeof req, response);
}

int dbFileResponse(rtosConnection_t *conn, uint32_t command, const char *pDirName, const char *pFileName,
                   uint8_t *response, int *pBytes)
{
    db_file_request req{};
    buildFileRequest(&req, command, nullptr, nullptr);
    std::memcpy(req.dir_name, pDirName, DB_DIR_NAME_LEN);
    std::memcpy(req.file_name, pFileName, DB_FILE_NAME_LEN);
    DbExchange x(kDbResponsePolicy);
    const bool ok = x.run(&req, sizeof req, response, conn);
    *pBytes = x.bytes();
    return ok ? 200 : x.result();
}

int dbContentResponse(rtosConnection_t *conn, uint32_t command, const char *pDirName, const char *pFileName,
                      uint8_t *response, int *pBytes, db_content_info *ci)
{
    const int status = dbFileResponse(conn, command, pDirName, pFileName, response, pBytes);
    if (status != 200)
        return status;
    if (*pBytes < DB_REPLY_BLOCK_AT)
        return dbDiscardResponse(*pBytes);
    std::memcpy(ci, response + DB_REPLY_RECORD_AT, sizeof *ci);
    if (ci->content_type == DB_CONTENT_TYPE_NOT_FOUND) {
        DBLOG(DB_LOG_NOTICE, "Invalid content type (-1), inferring FILE NOT_FOUND\n");
        return 404;
    }
    return 200;
}

db_response_header dbResponseHeaderOf(const uint8_t *response)
{
    db_response_header h;
    std::memcpy(&h, response, sizeof h);
    return h;
}

int dbDiscardResponse(int bytes)
{
    DBLOG(DB_LOG_ERROR, "Invalid response size (%d), discarding\n", bytes);
    return 500;
}
