#include "libztMediaRTOSDB/client/dbList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "libztMediaRTOSDB/client/dbExchange.h"
#include "libztMediaRTOSDB/client/dbContentInfo.h"
#include "libztMediaRTOSDB/client/dbListEntry.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/client/dbFileNames.h"

namespace {

void logListRequest(const uint8_t *request)
{
    db_list_request r;
    std::memcpy(&r, request, sizeof r);
    dbLogListRequest(r, nullptr);
}

void logListResponse(const uint8_t *response, int bytes) { dbLogListResponse(DbListReader(response, bytes).header()); }

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

// The candidate list looks for no extra-information record, whatever the reply echoes.
constexpr uint32_t kHonouredOptions = ~uint32_t{DB_LIST_INCLUDE_MORE_INFO};

// One list entry as read off the wire, with the buffers its item points into.
struct Entry {
    DbListEntry w;
    cah_item_s item;
    char dir[DB_DIR_NAME_LEN + 1];
    char file[DB_NAME_BUF];
    char gumi[2 * DB_GUMI_LEN + 1];
    char pgumi[2 * DB_GUMI_LEN + 1];
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

int64_t memberCount(const db_group_info &g)
{
    const int64_t first = static_cast<int32_t>(g.first_number);
    const int64_t last = static_cast<int32_t>(g.last_number);
    return last >= first ? last - first + 1 : 0;
}

// Calls fn(n) for every member n of the group whose bitmap bit is set (all without a bitmap),
// until fn returns false; the first DB_GROUP_MEMBERS_WALKED_MAX members only.
template <class Fn>
void forEachMember(const Entry &e, Fn fn)
{
    const int64_t first = static_cast<int32_t>(e.w.gi.first_number);
    const int64_t count = memberCount(e.w.gi);
    if (count > DB_GROUP_MEMBERS_WALKED_MAX)
        DBLOG(DB_LOG_NOTICE, "group of %lld members: only the first %u are walked\n", static_cast<long long>(count),
              unsigned(DB_GROUP_MEMBERS_WALKED_MAX));
    for (int64_t i = 0; i < std::min<int64_t>(count, DB_GROUP_MEMBERS_WALKED_MAX); ++i) {
        const uint32_t n = static_cast<uint32_t>(first + i);
        if ((!e.w.missing || dbGroupMemberPresent(e.w.missing, e.w.gi.first_number, n)) && !fn(n))
            return;
    }
}

// One exchange per present member. Member numbers past four digits fit no name, so they are not
// asked and count as 0 ms, like members whose duration is unknown: a hostile range costs at most
// 10,000 exchanges.
void groupedVideoDuration(Entry &e)
{
    const DbMemberPattern pattern = dbMemberPatternFor(e.w.ci.content_type, e.file);
    uint64_t sumMs = 0;
    bool more = false;
    forEachMember(e, [&](uint32_t n) {
        if (n > DB_GROUP_DURATION_MEMBER_MAX) {
            more = true;
            return true;
        }
        char name[DB_NAME_BUF];
        uint32_t ms = 0;
        dbMemberName(pattern, e.w.gi.group_number, n, name);
        dbGetChapteredVideoDuration(e.dir, name, &ms);
        sumMs += ms;
        return true;
    });
    if (more)
        DBLOG(DB_LOG_NOTICE, "%.12s: durations past member %u not asked\n", e.file,
              unsigned(DB_GROUP_DURATION_MEMBER_MAX));
    e.item.duration = static_cast<uint32_t>((sumMs + 500) / 1000);
}

// Fills the item of an entry read off the wire.
void fillItem(Entry &e, bool wantDuration)
{
    const db_content_info &c = e.w.ci;
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
    if (e.w.gumi) {
        hexGumi(e.w.gumi, e.gumi);
        e.item.gumi = e.gumi;
    }
    if (e.w.pgumi) {
        hexGumi(e.w.pgumi, e.pgumi);
        e.item.pgumi = e.pgumi;
    }
    if (e.w.hasVideo) {
        e.item.duration = (e.w.vsi.duration_ms + 500) / 1000;
        e.item.cl = e.w.vsi.cl != 0;
    }
    if (!e.w.hasGroup)
        return;
    e.item.group_number = e.w.gi.group_number;
    e.item.first_number = e.w.gi.first_number;
    e.item.last_number = e.w.gi.last_number;
    e.item.num_missing = e.w.gi.num_missing;
    e.item.size = e.w.gi.group_size;
    if (wantDuration && dbIsGroupedVideoType(c.content_type))
        groupedVideoDuration(e);
}

void logGroup(const Entry &e)
{
    if (g_logLevel < DB_LOG_HEADERS)
        return;
    DBLOG(DB_LOG_HEADERS, "\n\ngroupInfo->group_number, %d\n", e.w.gi.group_number);
    DBLOG(DB_LOG_HEADERS, "groupInfo->first_number, %d\n", e.w.gi.first_number);
    DBLOG(DB_LOG_HEADERS, "groupInfo->last_number, %d\n", e.w.gi.last_number);
    DBLOG(DB_LOG_HEADERS, "groupInfo->num_missing, %d\n", e.w.gi.num_missing);
    DBLOG(DB_LOG_HEADERS, "groupInfo->group_size, %llu\n", static_cast<unsigned long long>(e.w.gi.group_size));
    if (!e.w.missing)
        return;
    std::string line = "missing:";  // every byte of the bitmap
    for (uint32_t i = 0; i < e.w.bitmapBytes; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", e.w.missing[i]);
        line += hex;
    }
    DBLOG(DB_LOG_HEADERS, "%s\n", line.c_str());
}

void handOutFiles(Entry &e, cah_file_callback fileCallback, void *fileContext)
{
    if (!e.w.hasGroup) {
        fileCallback(fileContext, e.dir, e.file);
        return;
    }
    logGroup(e);
    const DbMemberPattern pattern = dbMemberPatternFor(e.w.ci.content_type, e.file);
    DBLOG(DB_LOG_HEADERS, "filename: %s format: %s\n", e.file, pattern.text);
    forEachMember(e, [&](uint32_t n) {
        char name[DB_NAME_BUF];
        dbMemberName(pattern, e.w.gi.group_number, n, name);
        fileCallback(fileContext, e.dir, name);
        return true;
    });
}

int listPage(bool session, uint32_t listOptions, uint32_t queryOptions, uint32_t request_count, uint32_t starting_index,
             uint32_t token, cah_item_callback itemCallback, void *itemContext, cah_file_callback fileCallback,
             void *fileContext, uint32_t *pSessionId, uint32_t *pTotalEntries)
{
    DbTimer timer;
    uint8_t response[DB_FRAME_MAX];
    int bytesRead = 0;
    int ret = queryRTOSdb(static_cast<int>(request_count), static_cast<int>(starting_index), token, response,
                          listOptions, queryOptions, &bytesRead);
    if (ret < 0)
        return ret;
    const db_list_response_header h = DbListReader(response, bytesRead).header();
    if (pSessionId)
        *pSessionId = h.session_id;
    if (pTotalEntries)
        *pTotalEntries = h.total_entries;
    ret = processQueryResponse(response, bytesRead, static_cast<int>(starting_index), itemCallback, itemContext,
                               fileCallback, fileContext);
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

int queryRTOSdb(int request_count, int starting_index, uint32_t token, uint8_t *response, uint32_t list_options,
                uint32_t query_options, int *pBytesRead)
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

int processQueryResponse(const uint8_t *response, int bytesRead, int starting_index, cah_item_callback itemCallback,
                         void *itemContext, cah_file_callback fileCallback, void *fileContext)
{
    DbListReader rd(response, bytesRead, kHonouredOptions);
    const db_list_response_header &h = rd.header();
    int count = static_cast<int>(h.header.count_returned);
    const uint32_t left = h.total_entries - static_cast<uint32_t>(starting_index);
    if (left < h.header.count_returned) {
        count = static_cast<int>(left);
        DBLOG(DB_LOG_NOTICE, "%d total_entries, but %d starting_index with %d count_returned\n", h.total_entries,
              starting_index, h.header.count_returned);
        DBLOG(DB_LOG_NOTICE, "truncating to %d items in this page\n", count);
    }
    for (int handed = 0; handed < count; ++handed) {
        Entry e{};
        const DbEntryRead s = rd.next(&e.w);
        if (s == DbEntryRead::Invalid)
            return -1;
        if (s == DbEntryRead::Short) {
            DBLOG(DB_LOG_ERROR, "ERROR: Db response size too small.");
            return handed;
        }
        fillItem(e, itemCallback != nullptr);
        if (itemCallback)
            itemCallback(itemContext, &e.item);
        if (fileCallback)
            handOutFiles(e, fileCallback, fileContext);
    }
    return 0;
}

int dbGetCAHList(uint32_t request_count, uint32_t starting_index, uint32_t token, cah_item_callback itemCallback,
                 void *itemContext, cah_file_callback fileCallback, void *fileContext, uint32_t *pSessionId,
                 uint32_t *pTotalEntries)
{
    return listPage(false, DB_LIST_CAH_OPTIONS, DB_QUERY_CAH_LIST, request_count, starting_index, token, itemCallback,
                    itemContext, fileCallback, fileContext, pSessionId, pTotalEntries);
}

int dbGetCAHSessionFileList(uint32_t request_count, uint32_t starting_index, uint32_t token,
                            cah_item_callback itemCallback, void *itemContext, cah_file_callback fileCallback,
                            void *fileContext, uint32_t *pSessionId, uint32_t *pTotalEntries)
{
    return listPage(true, DB_LIST_SESSION_OPTIONS, DB_QUERY_SESSION_FILE_LIST, request_count, starting_index, token,
                    itemCallback, itemContext, fileCallback, fileContext, pSessionId, pTotalEntries);
}
