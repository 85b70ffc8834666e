#include "libztMediaRTOSDB/src/dbFileQuery.h"

#include <cstring>

#include "ztMedia/dbProtocol.h"

int DbQuery::run(const void *request, size_t requestLen)
{
    const int init = ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &mConn);
    if (init < 0) {
        DBLOG(DB_LOG_ERROR, "ztIpcInit fail, ret %d\n", init);
        mConn = rtosConnection_t{};
        return init;
    }
    mOpen = true;
    dbTraceFrame(DB_DUMP_SEND, request, static_cast<int>(requestLen));
    const int sent = ztIpcSend(&mConn, request, requestLen);
    if (sent < 0) {
        DBLOG(DB_LOG_ERROR, mCmd.sendFailFormat, sent);
        return mCmd.sendResultIsResult ? sent : -1;
    }
    mBytes = ztIpcReceive(&mConn, mResponse);
    dbTraceFrame(DB_DUMP_RECV, mResponse, mBytes);
    DBLOG(DB_LOG_HEADERS, mCmd.gotFormat, mBytes);
    if (mBytes < mCmd.minBytes) {
        DBLOG(DB_LOG_ERROR, "error on IPC received %d, exiting\n", mBytes);
        return -1;
    }
    db_response_header h;
    std::memcpy(&h, mResponse, sizeof h);
    if (h.status)
        DBLOG(DB_LOG_NOTICE, "ztIpcReceive response status %d\n", h.status);
    db_request_header sentHeader;
    std::memcpy(&sentHeader, request, sizeof sentHeader);
    dbCheckToken(sentHeader.token, h.token);
    if (h.count_returned == 0) {
        DBLOG(DB_LOG_ERROR, "ztIpcReceive response count_returned %d - returning -1\n",
              h.count_returned);
        return -1;
    }
    if (dbClampCount(&h, 1, DB_LOG_ERROR))
        DBLOG(DB_LOG_ERROR, "ztIpcReceive response count_returned %d - using first\n",
              h.count_returned);
    if (!checkType())
        return -1;
    dbLogResponseHeader(DB_LOG_HEADERS, h, false);
    return 0;
}

bool DbQuery::checkType() const
{
    if (mCmd.typeCheck == DbTypeCheck::Any)
        return true;
    db_content_info ci;
    std::memcpy(&ci, mResponse + sizeof(db_response_header), sizeof ci);
    const DbContentTypeInfo *info = dbContentTypeInfo(ci.content_type);
    if (mCmd.typeCheck == DbTypeCheck::Video) {
        if (info && info->videoForQuery)
            return true;
        DBLOG(DB_LOG_ERROR, "struct db_content_type %d - must be video for operation\n",
              ci.content_type);
        return false;
    }
    if (info && info->block == DbListBlock::Group)
        return true;
    DBLOG(DB_LOG_ERROR, "struct db_content_type %d - must be group content for operation\n",
          ci.content_type);
    return false;
}

void DbQuery::close()
{
    if (mOpen)
        ztIpcDestroy(&mConn);
    mOpen = false;
}

void DbQuery::finish()
{
    close();
    unsigned long sec, usec;
    mTimer.elapsed(&sec, &usec);
    DBLOG(DB_LOG_HEADERS, "time %lu sec, %lu usec\n", sec, usec);
}

void dbBuildFileRequest(db_file_request *req, uint32_t command, const char *dirName,
                        const char *fileName)
{
    req->header = {command, 1, dbTokenOf(req)};
    dbCopyName(req->dir_name, dirName, DB_DIR_NAME_LEN);
    dbCopyName(req->file_name, fileName, DB_FILE_NAME_LEN);
}

int dbDiscardResponse(int bytes)
{
    DBLOG(DB_LOG_ERROR, "Invalid response size (%d), discarding\n", bytes);
    return 500;
}

int dbResponseExchange(rtosConnection_t *conn, const void *request, size_t requestLen,
                       uint8_t *response, int *pBytes)
{
    db_request_header req;
    std::memcpy(&req, request, sizeof req);
    dbLogRequestHeader(DB_LOG_DETAIL, req);
    const int bytes = rtosCall(conn, request, requestLen, response, DB_RETRIES_DEFAULT,
                               DB_TIMEOUT_DEFAULT_S);
    *pBytes = bytes;
    if (bytes < static_cast<int>(sizeof(db_response_header)))
        return dbDiscardResponse(bytes);
    db_response_header h;
    std::memcpy(&h, response, sizeof h);
    dbLogResponseHeader(DB_LOG_DETAIL, h);
    dbCheckToken(req.token, h.token);
    if (dbClampCount(&h, 1, DB_LOG_NOTICE))
        std::memcpy(response, &h, sizeof h);
    return dbHttpStatusFromDb(h.status);
}
