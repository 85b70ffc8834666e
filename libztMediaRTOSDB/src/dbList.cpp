#include "libztMediaRTOSDB/src/dbList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "libztMediaRTOSDB/src/dbExchange.h"
#include "libztMediaRTOSDB/src/dbContentInfo.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/src/dbFileNames.h"

namespace {

constexpr size_t kHeaderSize = sizeof(db_list_response_header);

void logListRequest(const uint8_t *request)
{
    db_list_request r;
    std::memcpy(&r, request, sizeof r);
    const uint32_t lo = r.list_options, qo = r.query_options;
    DBLOG(DB_LOG_HEADERS, "Request: command_type %d\n", r.header.command_type);
    DBLOG(DB_LOG_HEADERS, "         request_count %d\n", r.header.request_count);
    DBLOG(DB_LOG_HEADERS, "         token 0x%08X\n", r.header.token);
    DBLOG(DB_LOG_HEADERS, "         starting_index %d\n", r.starting_index);
    DBLOG(DB_LOG_HEADERS, "         list_options sort_order %d\n", lo & 1);
    DBLOG(DB_LOG_HEADERS, "         list_options video_grouping %d\n", (lo >> 1) & 1);
    DBLOG(DB_LOG_HEADERS, "         list_options include_gumi %d\n", (lo >> 2) & 1);
    DBLOG(DB_LOG_HEADERS, "         list_options include_more_info %d\n", (lo >> 3) & 1);
    DBLOG(DB_LOG_HEADERS, "         query_options 0x%08X\n", qo);
    DBLOG(DB_LOG_HEADERS, "         query_options RTOS_DB_QUERY_METADATA_SESSION_FILES: %d\n",
          (qo & RTOS_DB_QUERY_METADATA_SESSION_FILES) ? 1 : 0);
    DBLOG(DB_LOG_HEADERS, "queryRTOSdb() req->command_type:%d, list_options:0x%x,%d, query_options:0x%x,%d",
          r.header.command_type, lo, lo, qo, qo);
}

// The list header of a response, zeros for the words that did not arrive.
db_list_response_header listHeaderOf(const uint8_t *response, int bytesRead)
{
    db_list_response_header h{};
    if (bytesRead > 0)
        std::memcpy(&h, response, bytesRead < static_cast<int>(kHeaderSize) ? bytesRead : kHeaderSize);
    return h;
}

void logListResponse(const uint8_t *response, int bytes)
{
    const db_list_response_header h = listHeaderOf(response, bytes);
    const uint32_t lo = h.list_options;
    dbLogResponseHeader(DB_LOG_HEADERS, h.header);
    DBLOG(DB_LOG_HEADERS, "                start_index %d\n", h.start_index);
    DBLOG(DB_LOG_HEADERS, "                list_options sort_order %d\n", lo & 1);
    DBLOG(DB_LOG_HEADERS, "                list_options video_grouping %d\n", (lo >> 1) & 1);
    DBLOG(DB_LOG_HEADERS, "                list_options include_gumi %d\n", (lo >> 2) & 1);
    DBLOG(DB_LOG_HEADERS, "                list_options include_more_info %d\n", (lo >> 3) & 1);
    DBLOG(DB_LOG_HEADERS, "                query_options 0x%08X\n", h.query_options);
    DBLOG(DB_LOG_HEADERS, "                total_entries %d\n", h.total_entries);
    DBLOG(DB_LOG_HEADERS, "                session_id 0x%08X\n", h.session_id);
}

// One attempt and a long wait: a page may cost the server a walk of the whole card. A refused
// reply or a token mismatch is only noted; the count is clamped to what was asked for.
constexpr DbExchangePolicy listPolicy()
{
    DbExchangePolicy p;
    p.retries = DB_RETRIES_NONE;
    p.timeoutSec = DB_TIMEOUT_LONG_S;
    p.logRequest = logListRequest;
    p.logResponse = logListResponse;
    p.responseLogAt = DbStep::BeforeCount;
    p.failText = "*pBytesRead=%d, RTOS transaction failed.\n";
    p.shortText = "*pBytesRead=%d < sizeof db_response_header:%d, failed, ret -3\n";
    p.shortResult = -3;
    p.statusText = "error on IPC received, status %d\n";
    p.tokenAt = DbStep::AfterCount;
    p.countLevel = DB_LOG_NOTICE;
    return p;
}
constexpr DbExchangePolicy kListPolicy = listPolicy();

// One list entry as read off the wire, with the buffers its item points into.
struct Entry {
    cah_item_s item;
    db_content_info content;
    db_group_info group;
    bool hasGroup;
    const uint8_t *bitmap;  // null when no member is missing
    uint32_t bitmapBytes;
    char dir[DB_DIR_NAME_LEN + 1];
    char file[DB_NAME_BUF];
    char gumi[2 * DB_GUMI_LEN + 1];
    char pgumi[2 * DB_GUMI_LEN + 1];
};

enum class Step { Ok, Short, Invalid };

// Reads forward through the response; every take is checked against the bytes received.
struct Reader {
    const uint8_t *base;
    size_t off;
    size_t end;
    const uint8_t *take(uint64_t n)
    {
        if (n > end - off)
            return nullptr;
        const uint8_t *p = base + off;
        off += n;
        return p;
    }
    // Room left in the receive buffer itself, whatever arrived.
    uint64_t frameRoom() const { return off < DB_FRAME_MAX ? DB_FRAME_MAX - off : 0; }
};

void hexGumi(const uint8_t *bytes, char *out)
{
    static const char kHex[] = "0123456789ABCDEF";
    for (uint32_t i = 0; i < DB_GUMI_LEN; ++i) {
        out[2 * i] = kHex[bytes[i] >> 4];
        out[2 * i + 1] = kHex[bytes[i] & 15];
    }
    out[2 * DB_GUMI_LEN] = 0;
}

Step readGumis(Reader &rd, Entry &e)
{
    const uint8_t *g = rd.take(DB_GUMI_LEN);
    if (!g)
        return Step::Short;
    hexGumi(g, e.gumi);
    e.item.gumi = e.gumi;
    if (!dbHasParentGumi(e.content.media_flags))
        return Step::Ok;
    if (!(g = rd.take(DB_GUMI_LEN)))
        return Step::Short;
    hexGumi(g, e.pgumi);
    e.item.pgumi = e.pgumi;
    return Step::Ok;
}

Step readVideoBlock(Reader &rd, Entry &e)
{
    const uint8_t *p = rd.take(sizeof(db_video_specific_info));
    if (!p)
        return Step::Short;
    db_video_specific_info v;
    std::memcpy(&v, p, sizeof v);
    if (!rd.take(4ull * v.highlight_count))
        return Step::Short;
    e.item.duration = (v.duration_ms + 500) / 1000;
    e.item.cl = v.cl != 0;
    return Step::Ok;
}

// A bitmap may not claim more than what is left of the receive buffer.
Step takeBitmap(Reader &rd, uint32_t size, const uint8_t **out)
{
    if (size > rd.frameRoom()) {
        DBLOG(DB_LOG_ERROR, "Mask size failed sanity check. Size=%d", size);
        return Step::Invalid;
    }
    *out = rd.take(size);
    return *out ? Step::Ok : Step::Short;
}

int64_t memberCount(const db_group_info &g)
{
    const int64_t first = static_cast<int32_t>(g.first_number);
    const int64_t last = static_cast<int32_t>(g.last_number);
    return last >= first ? last - first + 1 : 0;
}

Step readGroupBlock(Reader &rd, Entry &e, const DbContentTypeInfo &info)
{
    const uint8_t *p = rd.take(sizeof(db_group_info));
    if (!p)
        return Step::Short;
    std::memcpy(&e.group, p, sizeof e.group);
    e.hasGroup = true;
    e.bitmapBytes = dbGroupBitmapBytes(e.group);
    if (e.group.num_missing) {
        const Step s = takeBitmap(rd, e.bitmapBytes, &e.bitmap);
        if (s != Step::Ok)
            return s;
    }
    if (info.secondBitmap && e.content.highlight_count) {
        const uint8_t *skipped;
        const Step s = takeBitmap(rd, e.bitmapBytes, &skipped);
        if (s != Step::Ok)
            return s;
    }
    e.item.group_number = e.group.group_number;
    e.item.first_number = e.group.first_number;
    e.item.last_number = e.group.last_number;
    e.item.num_missing = e.group.num_missing;
    e.item.size = e.group.group_size;
    return Step::Ok;
}

// Calls fn(n) for every member n of the group whose bitmap bit is set (all without a bitmap),
// until fn returns false; the first DB_GROUP_MEMBERS_WALKED_MAX members only.
template <class Fn>
void forEachMember(const Entry &e, Fn fn)
{
    const int64_t first = static_cast<int32_t>(e.group.first_number);
    const int64_t count = memberCount(e.group);
    if (count > DB_GROUP_MEMBERS_WALKED_MAX)
        DBLOG(DB_LOG_NOTICE, "group of %lld members: only the first %u are walked\n",
              static_cast<long long>(count), unsigned(DB_GROUP_MEMBERS_WALKED_MAX));
    for (int64_t i = 0; i < std::min<int64_t>(count, DB_GROUP_MEMBERS_WALKED_MAX); ++i) {
        const uint32_t n = static_cast<uint32_t>(first + i);
        if ((!e.bitmap || dbGroupMemberPresent(e.bitmap, e.group.first_number, n)) && !fn(n))
            return;
    }
}

// One exchange per present member. Member numbers past four digits fit no name, so they are not
// asked and count as 0 ms, like members whose duration is unknown: a hostile range costs at most
// 10,000 exchanges.
void groupedVideoDuration(Entry &e)
{
    const DbMemberPattern pattern = dbMemberPatternFor(e.content.content_type, e.file);
    uint64_t sumMs = 0;
    bool more = false;
    forEachMember(e, [&](uint32_t n) {
        if (n > DB_GROUP_DURATION_MEMBER_MAX) {
            more = true;
            return true;
        }
        char name[DB_NAME_BUF];
        uint32_t ms = 0;
        dbMemberName(pattern, e.group.group_number, n, name);
        dbGetChapteredVideoDuration(e.dir, name, &ms);
        sumMs += ms;
        return true;
    });
    if (more)
        DBLOG(DB_LOG_NOTICE, "%.12s: durations past member %u not asked\n", e.file,
              unsigned(DB_GROUP_DURATION_MEMBER_MAX));
    e.item.duration = static_cast<uint32_t>((sumMs + 500) / 1000);
}

Step readEntry(Reader &rd, uint32_t listOptions, bool wantDuration, Entry &e)
{
    const uint8_t *p = rd.take(sizeof(db_content_info));
    if (!p)
        return Step::Short;
    std::memcpy(&e.content, p, sizeof e.content);
    const db_content_info &c = e.content;
    if (static_cast<int32_t>(c.content_type) > static_cast<int32_t>(DB_CONTENT_TYPE_MAX)) {
        DBLOG(DB_LOG_ERROR, "Invalid content type: %d\n", c.content_type);
        return Step::Invalid;
    }
    std::memcpy(e.dir, c.dir_name, DB_DIR_NAME_LEN);
    std::memcpy(e.file, c.file_name, DB_FILE_NAME_LEN);
    e.item.dir_name = e.dir;
    e.item.file_name = e.file;
    e.item.content_type = c.content_type;
    e.item.upload_status = c.upload_status & DB_UPLOAD_STATE_MASK;
    e.item.highlight_count = c.highlight_count;
    e.item.mahs = c.mahs & 0x7F;
    e.item.creation_time = c.creation_time;
    e.item.size = c.file_size;

    Step s = Step::Ok;
    // include_more_info is never asked for by these queries and is not looked at when echoed.
    if (listOptions & DB_LIST_INCLUDE_GUMI)
        s = readGumis(rd, e);
    const DbContentTypeInfo *info = dbContentTypeInfo(c.content_type);  // null for -1
    if (s != Step::Ok || !info)
        return s;
    if (info->block == DbListBlock::Video)
        return readVideoBlock(rd, e);
    if (info->block == DbListBlock::Group) {
        s = readGroupBlock(rd, e, *info);
        if (s == Step::Ok && wantDuration && dbIsGroupedVideoType(c.content_type))
            groupedVideoDuration(e);
    }
    return s;
}

void logGroup(const Entry &e)
{
    if (g_logLevel < DB_LOG_HEADERS)
        return;
    DBLOG(DB_LOG_HEADERS, "\n\ngroupInfo->group_number, %d\n", e.group.group_number);
    DBLOG(DB_LOG_HEADERS, "groupInfo->first_number, %d\n", e.group.first_number);
    DBLOG(DB_LOG_HEADERS, "groupInfo->last_number, %d\n", e.group.last_number);
    DBLOG(DB_LOG_HEADERS, "groupInfo->num_missing, %d\n", e.group.num_missing);
    DBLOG(DB_LOG_HEADERS, "groupInfo->group_size, %llu\n",
          static_cast<unsigned long long>(e.group.group_size));
    if (!e.bitmap)
        return;
    std::string line = "missing:";  // every byte of the bitmap
    for (uint32_t i = 0; i < e.bitmapBytes; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", e.bitmap[i]);
        line += hex;
    }
    DBLOG(DB_LOG_HEADERS, "%s\n", line.c_str());
}

void handOutFiles(Entry &e, cah_file_callback fileCallback, void *fileContext)
{
    if (!e.hasGroup) {
        fileCallback(fileContext, e.dir, e.file);
        return;
    }
    logGroup(e);
    const DbMemberPattern pattern = dbMemberPatternFor(e.content.content_type, e.file);
    DBLOG(DB_LOG_HEADERS, "filename: %s format: %s\n", e.file, pattern.text);
    forEachMember(e, [&](uint32_t n) {
        char name[DB_NAME_BUF];
        dbMemberName(pattern, e.group.group_number, n, name);
        fileCallback(fileContext, e.dir, name);
        return true;
    });
}

int listPage(bool session, uint32_t listOptions, uint32_t queryOptions,
             uint32_t request_count, uint32_t starting_index, uint32_t token,
             cah_item_callback itemCallback, void *itemContext, cah_file_callback fileCallback,
             void *fileContext, uint32_t *pSessionId, uint32_t *pTotalEntries)
{
    DbTimer timer;
    uint8_t response[DB_FRAME_MAX];
    int bytesRead = 0;
    int ret = queryRTOSdb(static_cast<int>(request_count), static_cast<int>(starting_index), token,
                          response, listOptions, queryOptions, &bytesRead);
    if (ret < 0)
        return ret;
    const db_list_response_header h = listHeaderOf(response, bytesRead);
    if (pSessionId)
        *pSessionId = h.session_id;
    if (pTotalEntries)
        *pTotalEntries = h.total_entries;
    ret = processQueryResponse(response, bytesRead, static_cast<int>(starting_index), itemCallback,
                               itemContext, fileCallback, fileContext);
    if (ret != 0)
        return ret;
    unsigned long sec, usec;
    timer.elapsed(&sec, &usec);
    DBLOG(DB_LOG_HEADERS,
          session ? "dbGetCAHSessionFileList time %lu sec, %lu usec, count_retured:%d\n"
                  : "dbGetCAHItems time %lu sec, %lu usec, count_returned:%d\n",
          sec, usec, h.header.count_returned);
    return static_cast<int>(h.header.count_returned);
}

}  // namespace

int queryRTOSdb(int request_count, int starting_index, uint32_t token, uint8_t *response,
                uint32_t list_options, uint32_t query_options, int *pBytesRead)
{
    DbExchange x(kListPolicy);
    db_list_request req{};
    req.header = {DB_CMD_LIST, static_cast<uint32_t>(request_count), token};
    req.starting_index = static_cast<uint32_t>(starting_index);
    req.list_options = list_options;
    req.query_options = query_options;
    const bool ok = x.run(&req, sizeof req, response);
    if (pBytesRead && x.connection())
        *pBytesRead = x.bytes();
    return ok ? 0 : x.result();
}

int processQueryResponse(const uint8_t *response, int bytesRead, int starting_index,
                         cah_item_callback itemCallback, void *itemContext,
                         cah_file_callback fileCallback, void *fileContext)
{
    if (!response || bytesRead < 0)
        bytesRead = 0;
    const db_list_response_header h = listHeaderOf(response, bytesRead);
    int count = static_cast<int>(h.header.count_returned);
    const uint32_t left = h.total_entries - static_cast<uint32_t>(starting_index);
    if (left < h.header.count_returned) {
        count = static_cast<int>(left);
        DBLOG(DB_LOG_NOTICE, "%d total_entries, but %d starting_index with %d count_returned\n",
              h.total_entries, starting_index, h.header.count_returned);
        DBLOG(DB_LOG_NOTICE, "truncating to %d items in this page\n", count);
    }
    if (count <= 0)
        return 0;

    Reader rd{response, kHeaderSize, static_cast<size_t>(bytesRead)};
    if (rd.end < rd.off)
        rd.end = rd.off;
    for (int handed = 0; handed < count; ++handed) {
        Entry e{};
        const Step s = readEntry(rd, h.list_options, itemCallback != nullptr, e);
        if (s == Step::Invalid)
            return -1;
        if (s == Step::Short) {
            DBLOG(DB_LOG_ERROR, "ERROR: Db response size too small.");
            return handed;
        }
        if (itemCallback)
            itemCallback(itemContext, &e.item);
        if (fileCallback)
            handOutFiles(e, fileCallback, fileContext);
    }
    return 0;
}

int dbGetCAHList(uint32_t request_count, uint32_t starting_index, uint32_t token,
                 cah_item_callback itemCallback, void *itemContext, cah_file_callback fileCallback,
                 void *fileContext, uint32_t *pSessionId, uint32_t *pTotalEntries)
{
    return listPage(false, DB_LIST_CAH_OPTIONS, DB_QUERY_CAH_LIST, request_count, starting_index, token,
                    itemCallback, itemContext, fileCallback, fileContext, pSessionId,
                    pTotalEntries);
}

int dbGetCAHSessionFileList(uint32_t request_count, uint32_t starting_index, uint32_t token,
                            cah_item_callback itemCallback, void *itemContext,
                            cah_file_callback fileCallback, void *fileContext,
                            uint32_t *pSessionId, uint32_t *pTotalEntries)
{
    return listPage(true, DB_LIST_SESSION_OPTIONS, DB_QUERY_SESSION_FILE_LIST, request_count,
                    starting_index, token, itemCallback, itemContext, fileCallback, fileContext,
                    pSessionId, pTotalEntries);
}
