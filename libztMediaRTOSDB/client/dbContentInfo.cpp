#include "libztMediaRTOSDB/client/dbContentInfo.h"

#include <algorithm>
#include <cstring>

#include "ztMedia/dbProtocol.h"

namespace {

constexpr DbExchangePolicy kContentPolicy =
    dbQueryPolicy("getContentInfo got %d bytes\n", DB_REPLY_BLOCK_AT, DbTypeCheck::Any);
constexpr DbExchangePolicy kGroupPolicy =
    dbQueryPolicy("getGroupContentInfo got %d bytes\n", DB_REPLY_GROUP_END, DbTypeCheck::Group);
// The one query that hands back a failed send's own result.
constexpr DbExchangePolicy kVideoPolicy = dbQueryPolicy("getVideoSpecificInfo got %d bytes\n", DB_REPLY_VIDEO_END,
                                                        DbTypeCheck::Video, "error on IPC send %d\n", true);
constexpr DbExchangePolicy kMorePolicy =
    dbQueryPolicy("getMoreInfo got %d bytes\n", DB_REPLY_MORE_END, DbTypeCheck::Any);

// Copies the bytes of one group bitmap that cover the members, as the receive buffer holds
// them: bytes that did not arrive read as zero. Refused only when the copy would leave the
// caller's buffer or the receive buffer.
bool copyBitmap(const uint8_t *reply, int size, uint64_t at, const db_group_info &g, uint8_t *out)
{
    const uint64_t need = (g.last_number - g.first_number) / 8 + 1;
    if (need > DB_GROUP_BITMAP_MAX || at + need > DB_FRAME_MAX) {
        DBLOG(DB_LOG_ERROR, "Mask size failed sanity check. Size=%d", dbGroupBitmapBytes(g));
        return false;
    }
    if (!out)
        return true;
    const uint64_t received = size > 0 ? static_cast<uint64_t>(size) : 0;
    const uint64_t arrived = received > at ? std::min(need, received - at) : 0;
    std::memcpy(out, reply + at, arrived);
    std::memset(out + arrived, 0, need - arrived);
    return true;
}

void copyHighlights(const uint8_t *reply, int size, const db_video_specific_info &vsi, uint32_t *highlights,
                    int maxExpected)
{
    if (vsi.highlight_count == 0) {
        DBLOG(DB_LOG_HEADERS,
              "highlights %p, maxNumberHighlightsExpected %d, vsi->highlight_count %d - skipping copy\n",
              static_cast<void *>(highlights), maxExpected, vsi.highlight_count);
        return;
    }
    if (!highlights) {
        DBLOG(DB_LOG_HEADERS, "highlights %p - skipping highlight copy\n", static_cast<void *>(highlights));
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
    const uint64_t arrived = static_cast<uint64_t>(size - DB_REPLY_VIDEO_END) / 4;
    if (words > arrived)
        words = arrived;
    std::memcpy(highlights, reply + DB_REPLY_VIDEO_END, words * 4);
}

// A query whose answer is the one record at offset 20, copied to *out.
template <typename Record>
int recordQuery(const DbExchangePolicy &policy, uint32_t command, const db_file_spec *fs, Record *out,
                const char *invalidText)
{
    DbExchange x(policy);
    uint8_t reply[DB_FRAME_MAX];
    if (!dbStartFileQuery(x, command, fs, reply, invalidText, out))
        return x.result();
    std::memcpy(out, reply + DB_REPLY_RECORD_AT, sizeof *out);
    x.finish();
    return 0;
}

}  // namespace

int dbGetContentInfo(void *, const db_file_spec *fs, db_content_info *ci)
{
    return recordQuery(kContentPolicy, DB_CMD_GET_CONTENT_INFO, fs, ci, "Invalid input: fs = %p, ci = %p\n");
}

int dbGetGroupContentInfo(void *, const db_file_spec *fs, db_group_info *gci, db_content_info *ci,
                          uint8_t *missingBitmap, uint8_t *highlightBitmap)
{
    DbExchange x(kGroupPolicy);
    uint8_t reply[DB_FRAME_MAX];
    if (!dbStartFileQuery(x, DB_CMD_GET_GROUP_CONTENT_INFO, fs, reply, "Invalid input: fs = %p, gci = %p, ci = %p\n",
                          gci, ci))
        return x.result();
    std::memcpy(ci, reply + DB_REPLY_RECORD_AT, sizeof *ci);
    std::memcpy(gci, reply + DB_REPLY_BLOCK_AT, sizeof *gci);
    uint64_t at = DB_REPLY_VIDEO_END;
    if (gci->num_missing) {
        if (!copyBitmap(reply, x.bytes(), at, *gci, missingBitmap))
            return -1;
        at += dbGroupBitmapBytes(*gci);
    }
    if (ci->highlight_count && !copyBitmap(reply, x.bytes(), at, *gci, highlightBitmap))
        return -1;
    x.finish();
    return 0;
}

int dbGetVideoSpecificInfo(void *, const db_file_spec *fs, db_video_specific_info *vsi, db_content_info *ci,
                           uint32_t *highlights, int maxNumberHighlightsExpected)
{
    DbExchange x(kVideoPolicy);
    uint8_t reply[DB_FRAME_MAX];
    if (!dbStartFileQuery(x, DB_CMD_GET_VIDEO_SPECIFIC_INFO, fs, reply, "Invalid input: fs = %p, vsi = %p\n", vsi))
        return x.result();
    std::memcpy(vsi, reply + DB_REPLY_BLOCK_AT, sizeof *vsi);
    if (ci)
        std::memcpy(ci, reply + DB_REPLY_RECORD_AT, sizeof *ci);
    copyHighlights(reply, x.bytes(), *vsi, highlights, maxNumberHighlightsExpected);
    x.finish();
    return 0;
}

int dbGetMoreInfo(void *, const db_file_spec *fs, db_more_info *mi)
{
    return recordQuery(kMorePolicy, DB_CMD_GET_MORE_INFO, fs, mi, "Invalid input: fs = %p, mi = %p\n");
}

int getVideoSpecificInfoResponse(rtosConnection_t *conn, const char *pDirName, const char *pFileName, uint8_t *response,
                                 db_content_info **ppContentInfo, db_video_specific_info **ppVideoInfo)
{
    *ppContentInfo = nullptr;
    *ppVideoInfo = nullptr;
    DB_ASSERT(pDirName);
    DB_ASSERT(pFileName);
    int bytes = 0;
    db_content_info ci;
    const int status =
        dbContentResponse(conn, DB_CMD_GET_VIDEO_SPECIFIC_INFO, pDirName, pFileName, response, &bytes, &ci);
    if (status != 200)
        return status;
    const DbContentTypeInfo *info = dbContentTypeInfo(ci.content_type);
    if (info && info->videoForResponse) {
        // The highlights that the video record announces must all be in the buffer.
        db_video_specific_info vsi{};
        if (bytes >= DB_REPLY_VIDEO_END)
            std::memcpy(&vsi, response + DB_REPLY_BLOCK_AT, sizeof vsi);
        if (bytes < DB_REPLY_VIDEO_END || uint64_t(bytes) < (uint64_t{vsi.highlight_count} + 30) * 4)
            return dbDiscardResponse(bytes);
    }
    // Both always point into the buffer; for other types the video record may not have arrived.
    *ppContentInfo = reinterpret_cast<db_content_info *>(response + DB_REPLY_RECORD_AT);
    *ppVideoInfo = reinterpret_cast<db_video_specific_info *>(response + DB_REPLY_BLOCK_AT);
    return 200;
}

int getMoreInfoResponse(rtosConnection_t *conn, const char *pDirName, const char *pFileName, uint8_t *response,
                        db_more_info **ppMoreInfo)
{
    *ppMoreInfo = nullptr;
    int bytes = 0;
    const int status = dbFileResponse(conn, DB_CMD_GET_MORE_INFO, pDirName, pFileName, response, &bytes);
    if (status != 200)
        return status;
    if (bytes < DB_REPLY_MORE_END)
        return dbDiscardResponse(bytes);
    *ppMoreInfo = reinterpret_cast<db_more_info *>(response + DB_REPLY_RECORD_AT);
    return 200;
}

int dbGetChapteredVideoDuration(const char *pDirName, const char *pFileName, uint32_t *pDuration)
{
    *pDuration = 0;
    rtosConnection_t conn = {};
    const int ret = rtosConnectionCtor(&conn);
    if (ret < 0) {
        DBLOG(DB_LOG_ERROR, "rtosConnectionCtor ret < 0");
        return ret;
    }
    uint8_t response[DB_FRAME_MAX] = {0};
    db_content_info *ci = nullptr;
    db_video_specific_info *vsi = nullptr;
    const int status = getVideoSpecificInfoResponse(&conn, pDirName, pFileName, response, &ci, &vsi);
    rtosConnectionDtor(&conn);
    if (vsi)
        *pDuration = vsi->duration_ms;
    return status;
}
