// The list-entry reader and the list header dumps.
#include "libztMediaRTOSDB/client/dbListEntry.h"

#include <cstring>

#include "libztMediaRTOSDB/client/dbCommon.h"

DbListReader::DbListReader(const uint8_t *response, int bytes, uint32_t honoured, size_t headerBytes)
    : mBase(response), mOff(headerBytes), mEnd(response && bytes > 0 ? static_cast<size_t>(bytes) : 0), mHeader{}
{
    if (mEnd)
        std::memcpy(&mHeader, response, mEnd < mOff ? mEnd : mOff);
    mOptions = mHeader.list_options & honoured;
}

DbListReader::DbListReader(const uint8_t *response, int bytes, uint32_t honoured)
    : DbListReader(response, bytes, honoured, sizeof(db_list_response_header))
{
}

DbListReader DbListReader::videoRecords(const uint8_t *response, int bytes)
{
    DbListReader r(response, bytes, 0, sizeof(db_response_header));
    r.mVideoRecords = true;
    return r;
}

const uint8_t *DbListReader::take(uint64_t n)
{
    if (mOff > mEnd || n > mEnd - mOff)
        return nullptr;
    const uint8_t *p = mBase + mOff;
    mOff += static_cast<size_t>(n);
    return p;
}

// A bitmap may not claim more than what is left of the receive buffer, whatever arrived.
DbEntryRead DbListReader::takeBitmap(uint32_t size, const uint8_t **out)
{
    if (mOff >= DB_FRAME_MAX || size > DB_FRAME_MAX - mOff) {
        DBLOG(DB_LOG_ERROR, "Mask size failed sanity check. Size=%d", size);
        return DbEntryRead::Invalid;
    }
    *out = take(size);
    return *out ? DbEntryRead::Ok : DbEntryRead::Short;
}

DbEntryRead DbListReader::readVideo(DbListEntry *e)
{
    const uint8_t *p = take(sizeof(db_video_specific_info));
    if (!p)
        return DbEntryRead::Short;
    std::memcpy(&e->vsi, p, sizeof e->vsi);
    e->hasVideo = true;
    e->highlights = take(4ull * e->vsi.highlight_count);
    return e->highlights ? DbEntryRead::Ok : DbEntryRead::Short;
}

DbEntryRead DbListReader::readGroup(DbListEntry *e, const DbContentTypeInfo &info)
{
    const uint8_t *p = take(sizeof(db_group_info));
    if (!p)
        return DbEntryRead::Short;
    std::memcpy(&e->gi, p, sizeof e->gi);
    e->hasGroup = true;
    e->bitmapBytes = dbGroupBitmapBytes(e->gi);
    DbEntryRead s = DbEntryRead::Ok;
    if (e->gi.num_missing)
        s = takeBitmap(e->bitmapBytes, &e->missing);
    if (s == DbEntryRead::Ok && info.secondBitmap && e->ci.highlight_count)
        s = takeBitmap(e->bitmapBytes, &e->second);
    return s;
}

DbEntryRead DbListReader::next(DbListEntry *e)
{
    *e = DbListEntry{};
    const uint8_t *p = take(sizeof(db_content_info));
    if (!p)
        return DbEntryRead::Short;
    std::memcpy(&e->ci, p, sizeof e->ci);
    if (mVideoRecords)
        return readVideo(e);
    const uint32_t type = e->ci.content_type;
    if (static_cast<int32_t>(type) > static_cast<int32_t>(DB_CONTENT_TYPE_MAX)) {
        DBLOG(DB_LOG_ERROR, "Invalid content type: %d\n", type);
        return DbEntryRead::Invalid;
    }
    if (mOptions & DB_LIST_INCLUDE_GUMI) {
        if (!(e->gumi = take(DB_GUMI_LEN)))
            return DbEntryRead::Short;
        if (dbHasParentGumi(e->ci.media_flags) && !(e->pgumi = take(DB_GUMI_LEN)))
            return DbEntryRead::Short;
    }
    if ((mOptions & DB_LIST_INCLUDE_MORE_INFO) && !take(sizeof(db_more_info)))
        return DbEntryRead::Short;
    const DbContentTypeInfo *info = dbContentTypeInfo(type);  // null for the not-found type
    if (!info)
        return DbEntryRead::Ok;
    // Without grouping, the server lists each member of a grouped video as a video of its own.
    const bool chapterRow = dbIsGroupedVideoType(type) && !(mOptions & DB_LIST_VIDEO_GROUPING);
    if (info->block == DbListBlock::Video || chapterRow)
        return readVideo(e);
    return info->block == DbListBlock::Group ? readGroup(e, *info) : DbEntryRead::Ok;
}

void dbLogListRequest(const db_list_request &r, const uint32_t *params)
{
    if (g_logLevel < DB_LOG_HEADERS)
        return;
    static const char *const kBits[] = {"sort_order", "video_grouping", "include_gumi", "include_more_info"};
    dbLogRequestHeader(DB_LOG_HEADERS, r.header);
    DBLOG(DB_LOG_HEADERS, "         starting_index %d\n", r.starting_index);
    for (int b = 0; b < 4; ++b)
        DBLOG(DB_LOG_HEADERS, "         list_options %s %d\n", kBits[b], (r.list_options >> b) & 1);
    DBLOG(DB_LOG_HEADERS, "         query_options 0x%08X\n", r.query_options);
    if (params) {
        DBLOG(DB_LOG_HEADERS, "         param1 0x%08X\n", params[0]);
        DBLOG(DB_LOG_HEADERS, "         param2 0x%08X\n", params[1]);
    }
}

void dbLogListResponse(const db_list_response_header &h)
{
    if (g_logLevel < DB_LOG_HEADERS)
        return;
    dbLogResponseHeader(DB_LOG_HEADERS, h.header);
    DBLOG(DB_LOG_HEADERS, "                start_index %d\n", h.start_index);
    DBLOG(DB_LOG_HEADERS, "                list_options 0x%08X\n", h.list_options);
    DBLOG(DB_LOG_HEADERS, "                query_options 0x%08X\n", h.query_options);
    DBLOG(DB_LOG_HEADERS, "                total_entries %d\n", h.total_entries);
    DBLOG(DB_LOG_HEADERS, "                session_id 0x%08X\n", h.session_id);
}
