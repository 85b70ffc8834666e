#include "libztMediaRTOSDB/client/dbStatus.h"

#include <cstring>

#include "libztMediaRTOSDB/client/dbContentInfo.h"
#include "libztMediaRTOSDB/client/dbExchange.h"

namespace {

void buildWrite(db_status_write_request *req, const char *dirName, const char *fileName, uint32_t word, uint32_t token)
{
    req->header = {DB_CMD_WRITE_UPLOAD_STATUS, 1, token};
    dbCopyName(req->dir_name, dirName, DB_DIR_NAME_LEN);
    dbCopyName(req->file_name, fileName, DB_FILE_NAME_LEN);
    req->upload_status = word;
}

bool exactLength(const char *s, size_t len) { return s && std::strlen(s) == len; }

void logWriteRequest(const uint8_t *request)
{
    db_status_write_request req;
    std::memcpy(&req, request, sizeof req);
    dbLogRequestHeader(DB_LOG_HEADERS, req.header);
    char dir[DB_DIR_NAME_LEN + 1] = {0}, file[DB_FILE_NAME_LEN + 1] = {0};
    std::memcpy(dir, req.dir_name, DB_DIR_NAME_LEN);
    std::memcpy(file, req.file_name, DB_FILE_NAME_LEN);
    DBLOG(DB_LOG_HEADERS, "         dir_name %s\n", dir);
    DBLOG(DB_LOG_HEADERS, "         file_name %s\n", file);
    DBLOG(DB_LOG_HEADERS, "         upload_status %lu\n", static_cast<unsigned long>(req.upload_status));
}

// Ten retries; a short or refused reply is noted and the write still counts as done.
constexpr DbExchangePolicy kWritePolicy = dbLenientPolicy(DB_RETRIES_DEFAULT, DB_TIMEOUT_DEFAULT_S, logWriteRequest);

}  // namespace

int getCurrUploadStatusAndMergeNewStatus(const char *dirName, const char *fileName, uint32_t &value, bool isUpload,
                                         bool clear)
{
    db_file_spec fs;
    dbCopyName(fs.dir_name, dirName, DB_DIR_NAME_LEN);
    dbCopyName(fs.file_name, fileName, DB_FILE_NAME_LEN);
    db_content_info ci;
    const int ret = dbGetContentInfo(nullptr, &fs, &ci);
    if (ret != 0) {
        DBLOG(DB_LOG_ERROR, "dbGetContentInfoFailed, ret = %d\n", ret);
        return ret;
    }
    const uint32_t lo = ci.upload_status & 0xFFFF;
    const uint32_t hi = ci.upload_status >> 16;
    uint32_t newLo = lo, newHi = hi;
    if (isUpload)
        newLo = value & 0xFFFF;
    else if (clear)
        newHi = hi & ~value;
    else
        newHi = hi | value;
    value = ((newHi & 0xFFFF) << 16) | newLo;
    return 0;
}

int dbSetUploadStatusRawBits(const char *dirName, const char *fileName, uint32_t word, uint32_t token)
{
    DbExchange x(kWritePolicy);
    db_status_write_request req{};
    buildWrite(&req, dirName, fileName, word, token);
    uint8_t response[DB_FRAME_MAX];
    x.run(&req, sizeof req, response);
    return x.result();
}

int dbSetCAHUploadStatus(const char *dirName, const char *fileName, uint32_t state, uint32_t token)
{
    if (state > DB_UPLOAD_STATE_MAX) {
        DBLOG(DB_LOG_ERROR, "Out of Bounds upload status value = %08x\n", state);
        return -1;
    }
    if (!exactLength(dirName, DB_DIR_NAME_LEN) || !exactLength(fileName, DB_FILE_NAME_LEN))
        return -1;
    uint32_t word = state;
    if (getCurrUploadStatusAndMergeNewStatus(dirName, fileName, word, true, false) != 0) {
        DBLOG(DB_LOG_ERROR, "getCurrUploadStatusAndMergeNewStatus FAILED\n");
        return -1;
    }
    return dbSetUploadStatusRawBits(dirName, fileName, word, token);
}

int getWriteUploadStatusResponse(rtosConnection_t *conn, const char *dirName, const char *fileName, uint8_t *response,
                                 uint32_t value, bool isUpload, bool clear)
{
    if ((isUpload && value > DB_UPLOAD_STATE_MAX) || (!isUpload && value > 0xFFFF)) {
        DBLOG(DB_LOG_ERROR, "Out of Bounds upload / offload status value = %08x, isUpload = %s\n", value,
              isUpload ? "true" : "false");
        return 400;
    }
    // The merge opens a connection of its own: the caller's is closed meanwhile.
    ztIpcDestroy(conn);
    *conn = rtosConnection_t{};
    uint32_t word = value;
    if (getCurrUploadStatusAndMergeNewStatus(dirName, fileName, word, isUpload, clear) != 0) {
        DBLOG(DB_LOG_ERROR, "getCurrUploadStatusAndMergeNewStatus FAILED\n");
        return 500;
    }
    if (rtosConnectionCtor(conn) < 0) {
        DBLOG(DB_LOG_ERROR, "rtosConnectionCtor ret < 0");
        *conn = rtosConnection_t{};
        return 500;
    }
    db_status_write_request req{};
    buildWrite(&req, dirName, fileName, word, 0);
    req.header.token = dbTokenOf(&req);
    DbExchange x(kDbResponsePolicy);
    x.run(&req, sizeof req, response, conn);
    return x.result();
}
