#include "libztMediaRTOSDB/src/dbContentInfo.h"

#include <algorithm>
#include <cstring>

#include "libztMediaRTOSDB/src/dbContentTypes.h"

namespace {

constexpr int kContentAt = sizeof(db_response_header);                      // 20
constexpr int kBlockAt = kContentAt + sizeof(db_content_info);              // 96
constexpr int kVideoEnd = kBlockAt + sizeof(db_video_specific_info);        // 120
constexpr int kMoreEnd = kContentAt + sizeof(db_more_info);                 // 48

const DbQueryCommand kContentCmd = {DB_CMD_GET_CONTENT_INFO, "getContentInfo got %d bytes\n",
                                    "error on IPC send %d\n", kBlockAt, false, DbTypeCheck::Any};
const DbQueryCommand kGroupCmd = {DB_CMD_GET_GROUP_CONTENT_INFO,
                                  "getGroupContentInfo got %d bytes\n", "error on IPC send %d\n",
                                  kVideoEnd, false, DbTypeCheck::Group};
const DbQueryCommand kVideoCmd = {DB_CMD_GET_VIDEO_SPECIFIC_INFO,
                                  "getVideoSpecificInfo got %d bytes\n", "error on IPC send %d\n",
                                  kVideoEnd, true, DbTypeCheck::Video};
const DbQueryCommand kMoreCmd = {DB_CMD_GET_MORE_INFO, "getMoreInfo got %d bytes\n",
                                 "error on IPC send %d\n", kMoreEnd, false, DbTypeCheck::Any};

// Sends a file request for `cmd` through the query family; 0 when q.response() may be read.
int runFileQuery(DbQuery &q, const DbQueryCommand &cmd, const db_file_spec *fs)
{
    db_file_request req{};
    dbBuildFileRequest(&req, cmd.command, fs->dir_name, fs->file_name);
    return q.run(&req, sizeof req);
}

// Copies the bytes of one group bitmap that cover the members, as the receive buffer holds
// them: bytes that did not arrive read as zero. Refused only when the copy would leave the
// caller's buffer or the receive buffer.
bool copyBitmap(const DbQuery &q, uint64_t at, const db_group_info &g, uint8_t *out)
{
    const uint64_t need = (g.last_number - g.first_number) / 8 + 1;
    if (need > DB_GROUP_BITMAP_MAX || at + need > DB_FRAME_MAX) {
        DBLOG(DB_LOG_ERROR, "Mask size failed sanity check. Size=%d", dbGroupBitmapBytes(g));
        return false;
    }
    if (!out)
        return true;
    const uint64_t received = static_cast<uint64_t>(q.bytes());
    const uint64_t arrived = received > at ? std::min(need, received - at) : 0;
    std::memcpy(out, q.response() + at, arrived);
    std::memset(out + arrived, 0, need - arrived);
    return true;
}

void copyHighlights(const DbQuery &q, const db_video_specific_info &vsi, uint32_t *highlights,
                    int maxExpected)
{
    if (vsi.highlight_count == 0) {
        DBLOG(DB_LOG_HEADERS,
              "highlights %p, maxNumberHighlightsExpected %d, vsi->highlight_count %d - skipping copy\n",
              static_cast<void *>(highlights), maxExpected, vsi.highlight_count);
        return;
    }
    if (!highlights) {
        DBLOG(DB_LOG_HEADERS, "highlights %p - skipping highlight copy\n",
              static_cast<void *>(highlights));
        return;
    }
    uint64_t words = vsi.highlight_count;
    if (maxExpected < 0)
        maxExpected = 0;
    if (static_cast<uint64_t>(maxExpected) < words) {
        DBLOG(DB_LOG_HEADERS, "maxNumberHighlightsExpected %d, vsi->highlight_count %d, only returning %d\n",
              maxExpected, vsi.highlight_count, maxExpected);
        words = static_cast<uint64_t>(maxExpected);
    }
    const uint64_t arrived = static_cast<uint64_t>(q.bytes() - kVideoEnd) / 4;
    if (words > arrived)
        words = arrived;
    std::memcpy(highlights, q.response() + kVideoEnd, words * 4);
}

}  // namespace

int dbGetContentInfo(void *, const db_file_spec *fs, db_content_info *ci)
{
    DbQuery q(kContentCmd);
    if (!fs || !ci) {
        DBLOG(DB_LOG_ERROR, "Invalid input: fs = %p, ci = %p\n", static_cast<const void *>(fs),
              static_cast<void *>(ci));
        return -1;
    }
    const int ret = runFileQuery(q, kContentCmd, fs);
    if (ret != 0)
        return ret;
    std::memcpy(ci, q.response() + kContentAt, sizeof *ci);
    q.finish();
    return 0;
}

int dbGetGroupContentInfo(void *, const db_file_spec *fs, db_group_info *gci,
                          db_content_info *ci, uint8_t *missingBitmap, uint8_t *highlightBitmap)
{
    DbQuery q(kGroupCmd);
    if (!fs || !gci || !ci) {
        DBLOG(DB_LOG_ERROR, "Invalid input: fs = %p, gci = %p, ci = %p\n",
              static_cast<const void *>(fs), static_cast<void *>(gci), static_cast<void *>(ci));
        return -1;
    }
    const int ret = runFileQuery(q, kGroupCmd, fs);
    if (ret != 0)
        return ret;
    std::memcpy(ci, q.response() + kContentAt, sizeof *ci);
    std::memcpy(gci, q.response() + kBlockAt, sizeof *gci);
    uint64_t at = kVideoEnd;
    if (gci->num_missing) {
        if (!copyBitmap(q, at, *gci, missingBitmap))
            return -1;
        at += dbGroupBitmapBytes(*gci);
    }
    if (ci->highlight_count && !copyBitmap(q, at, *gci, highlightBitmap))
        return -1;
    q.finish();
    return 0;
}

int dbGetVideoSpecificInfo(void *, const db_file_spec *fs, db_video_specific_info *vsi,
                           db_content_info *ci, uint32_t *highlights,
                           int maxNumberHighlightsExpected)
{
    DbQuery q(kVideoCmd);
    if (!fs || !vsi) {
        DBLOG(DB_LOG_ERROR, "Invalid input: fs = %p, vsi = %p\n", static_cast<const void *>(fs),
              static_cast<void *>(vsi));
        return -1;
    }
    const int ret = runFileQuery(q, kVideoCmd, fs);
    if (ret != 0)
        return ret;
    std::memcpy(vsi, q.response() + kBlockAt, sizeof *vsi);
    if (ci)
        std::memcpy(ci, q.response() + kContentAt, sizeof *ci);
    copyHighlights(q, *vsi, highlights, maxNumberHighlightsExpected);
    q.finish();
    return 0;
}

int dbGetMoreInfo(void *, const db_file_spec *fs, db_more_info *mi)
{
    DbQuery q(kMoreCmd);
    if (!fs || !mi) {
        DBLOG(DB_LOG_ERROR, "Invalid input: fs = %p, mi = %p\n", static_cast<const void *>(fs),
              static_cast<void *>(mi));
        return -1;
    }
    const int ret = runFileQuery(q, kMoreCmd, fs);
    if (ret != 0)
        return ret;
    std::memcpy(mi, q.response() + kContentAt, sizeof *mi);
    q.finish();
    return 0;
}

int getVideoSpecificInfoResponse(rtosConnection_t *conn, const char *pDirName,
                                 const char *pFileName, uint8_t *response,
                                 db_content_info **ppContentInfo,
                                 db_video_specific_info **ppVideoInfo)
{
    *ppContentInfo = nullptr;
    *ppVideoInfo = nullptr;
    DB_ASSERT(pDirName);
    DB_ASSERT(pFileName);
    db_file_request req{};
    dbBuildFileRequest(&req, DB_CMD_GET_VIDEO_SPECIFIC_INFO, nullptr, nullptr);
    std::memcpy(req.dir_name, pDirName, DB_DIR_NAME_LEN);
    std::memcpy(req.file_name, pFileName, DB_FILE_NAME_LEN);
    int bytes = 0;
    const int status = dbResponseExchange(conn, &req, sizeof req, response, &bytes);
    if (status != 200)
        return status;
    if (bytes < kBlockAt)
        return dbDiscardResponse(bytes);
    db_content_info ci;
    std::memcpy(&ci, response + kContentAt, sizeof ci);
    if (ci.content_type == DB_CONTENT_TYPE_NOT_FOUND) {
        DBLOG(DB_LOG_NOTICE, "Invalid content type (-1), inferring FILE NOT_FOUND\n");
        return 404;
    }
    const DbContentTypeInfo *info = dbContentTypeInfo(ci.content_type);
    if (info && info->videoForResponse) {
        // The highlights that the video record announces must all be in the buffer.
        db_video_specific_info vsi{};
        if (bytes >= kVideoEnd)
            std::memcpy(&vsi, response + kBlockAt, sizeof vsi);
        if (bytes < kVideoEnd || uint64_t(bytes) < (uint64_t{vsi.highlight_count} + 30) * 4)
            return dbDiscardResponse(bytes);
    }
    // Both always point into the buffer; for other types the video record may not have arrived.
    *ppContentInfo = reinterpret_cast<db_content_info *>(response + kContentAt);
    *ppVideoInfo = reinterpret_cast<db_video_specific_info *>(response + kBlockAt);
    return 200;
}

int getMoreInfoResponse(rtosConnection_t *conn, const char *pDirName, const char *pFileName,
                        uint8_t *response, db_more_info **ppMoreInfo)
{
    *ppMoreInfo = nullptr;
    db_file_request req{};
    dbBuildFileRequest(&req, DB_CMD_GET_MORE_INFO, nullptr, nullptr);
    std::memcpy(req.dir_name, pDirName, DB_DIR_NAME_LEN);
    std::memcpy(req.file_name, pFileName, DB_FILE_NAME_LEN);
    int bytes = 0;
    const int status = dbResponseExchange(conn, &req, sizeof req, response, &bytes);
    if (status != 200)
        return status;
    if (bytes < kMoreEnd)
        return dbDiscardResponse(bytes);
    *ppMoreInfo = reinterpret_cast<db_more_info *>(response + kContentAt);
    return 200;
}

int dbGetChapteredVideoDuration(const char *pDirName, const char *pFileName, uint32_t *pDuration)
{
    *pDuration = 0;
    DbConnection conn;
    const int ret = conn.open();
    if (ret < 0) {
        DBLOG(DB_LOG_ERROR, "rtosConnectionCtor ret < 0");
        return ret;
    }
    uint8_t response[DB_FRAME_MAX] = {0};
    db_content_info *ci = nullptr;
    db_video_specific_info *vsi = nullptr;
    const int status = getVideoSpecificInfoResponse(conn.get(), pDirName, pFileName, response,
                                                    &ci, &vsi);
    if (vsi)
        *pDuration = vsi->duration_ms;
    return status;
}
