#include "libztMediaRTOSDB/client/dbGumi.h"

#include <cstring>

namespace {

constexpr DbExchangePolicy kGumiByNamePolicy =
    dbQueryPolicy("getContentInfo got %d bytes\n", DB_REPLY_BLOCK_AT, DbTypeCheck::Any, " error on IPC send %d\n");
constexpr DbExchangePolicy kNameByGumiPolicy =
    dbQueryPolicy("getContentInfo got %d bytes\n", DB_REPLY_NAMES_END, DbTypeCheck::Any);

uint32_t mediaFlagsOf(const uint8_t *response)
{
    uint32_t flags;
    std::memcpy(&flags, response + DB_REPLY_RECORD_AT + offsetof(db_content_info, media_flags), sizeof flags);
    return flags;
}

}  // namespace

int dbGetGUMIByFileName(void *, const db_file_spec *fs, uint8_t *gumi, uint8_t *pgumi)
{
    DbExchange x(kGumiByNamePolicy);
    uint8_t r[DB_FRAME_MAX];
    if (!dbStartFileQuery(x, DB_CMD_GET_GUMI_BY_FILE_NAME, fs, r, "Invalid input: fs = %p, gumi = %p\n", gumi))
        return x.result();
    const bool hasGumi = x.bytes() >= DB_REPLY_PARENT_GUMI_AT;
    const bool hasParent = x.bytes() >= DB_REPLY_PARENT_GUMI_END && dbHasParentGumi(mediaFlagsOf(r));
    if (hasGumi)
        std::memcpy(gumi, r + DB_REPLY_BLOCK_AT, DB_GUMI_LEN);
    else
        std::memset(gumi, 0, DB_GUMI_LEN);
    if (pgumi && hasParent)
        std::memcpy(pgumi, r + DB_REPLY_PARENT_GUMI_AT, DB_GUMI_LEN);
    else if (pgumi)
        std::memset(pgumi, 0, DB_GUMI_LEN);
    x.finish();
    return 0;
}

int dbGetFileNameByGUMI(void *, const uint8_t *gumi, char *out)
{
    DbExchange x(kNameByGumiPolicy);
    if (!dbInputsGiven("Invalid input: fs = %p, gumi = %p\n", out, gumi))
        return -1;
    db_gumi_request req{};
    req.header = {DB_CMD_GET_FILE_NAME_BY_GUMI, 1, dbTokenOf(&req)};
    std::memcpy(req.gumi, gumi, DB_GUMI_LEN);
    uint8_t response[DB_FRAME_MAX];
    if (!x.run(&req, sizeof req, response))
        return x.result();
    db_file_name_pair names;
    std::memcpy(&names, response + DB_REPLY_RECORD_AT, sizeof names);
    char dir[DB_DIR_NAME_LEN + 1] = {0}, file[DB_FILE_NAME_LEN + 1] = {0};
    std::memcpy(dir, names.dir_name, DB_DIR_NAME_LEN);
    std::memcpy(file, names.file_name, DB_FILE_NAME_LEN);
    dbCopyName(out, dir, DB_DIR_NAME_LEN);
    dbCopyName(out + DB_DIR_NAME_LEN, file, DB_FILE_NAME_LEN);
    x.finish();
    return 0;
}

int getFileGUMIResponse(rtosConnection_t *conn, const char *pDirName, const char *pFileName, uint8_t *response,
                        db_content_info **ppContentInfo, uint8_t **ppGumi, uint8_t **ppParentGumi)
{
    *ppContentInfo = nullptr;
    *ppGumi = nullptr;
    *ppParentGumi = nullptr;
    int bytes = 0;
    db_content_info ci;
    const int status =
        dbContentResponse(conn, DB_CMD_GET_GUMI_BY_FILE_NAME, pDirName, pFileName, response, &bytes, &ci);
    if (status != 200)
        return status;
    if (bytes < DB_REPLY_PARENT_GUMI_AT) {
        DBLOG(DB_LOG_NOTICE, "Insufficient response size (%d), invalidating GUMIs\n", bytes);
        std::memset(response + DB_REPLY_BLOCK_AT, 0, 2 * DB_GUMI_LEN);
    } else if (bytes < DB_REPLY_PARENT_GUMI_END) {
        std::memset(response + bytes, 0, DB_REPLY_PARENT_GUMI_END - bytes);  // a parent cut short reads as zeros
    }
    *ppContentInfo = reinterpret_cast<db_content_info *>(response + DB_REPLY_RECORD_AT);
    *ppGumi = response + DB_REPLY_BLOCK_AT;
    if (dbHasParentGumi(ci.media_flags))
        *ppParentGumi = response + DB_REPLY_PARENT_GUMI_AT;
    return 200;
}
