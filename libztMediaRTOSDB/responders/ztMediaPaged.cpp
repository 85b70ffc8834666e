// The paged-list responder: a window of the list with every member of every entry, built in
// the one media buffer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "libztMediaRTOSDB/client/dbCommon.h"
#include "libztMediaRTOSDB/client/dbLog.h"
#include "libztMediaRTOSDB/responders/ztMediaGroupedVideo.h"
#include "libztMediaRTOSDB/responders/ztMediaListing.h"
#include "platform/ztcamera.h"

namespace ztmedia {
namespace {

int pagedEntry(ztMediaDBOutput_t *out, uint32_t queryOptions, ListDirectory &d, const ListEntry &e)
{
    int status = 200;
    auto keep = [&](int r) { status = worst(status, r) == 200 ? 200 : 500; };
    if (d.isNewFor(e.ci.dir_name)) {
        if (d.open)
            keep(ZT_OUT(out, OutBuf::Media, "]},"));
        keep(d.start(out, OutBuf::Media, e.ci.dir_name));
    }
    if (!entryShown(e, queryOptions))
        return status;
    GroupMembers members;
    if (e.cls == EC_GROUPED_VIDEO) {
        if (fetchGroupMembers(e, &members) != 200)
            return 500;
        if (members.count == 0)  // no member exists: nothing to show
            return status;
    }
    keep(ZT_OUT(out, OutBuf::Media, d.hasEntry ? ",{" : "{"));
    keep(writeEntryMembers(out, OutBuf::Media, MemberForm::PagedList, e, ~0ull));
    if (e.cls == EC_GROUPED_VIDEO)
        keep(writeGroupMembers(out, OutBuf::Media, members));
    else
        keep(ZT_OUT(out, OutBuf::Media, "}"));
    d.hasEntry = true;
    return status;
}

}  // namespace
}  // namespace ztmedia

int dbGetPagedList(mg_connection *conn, int maxRequests, int request_count, int starting_index, uint32_t list_options,
                   uint32_t query_options, int paramCount, const uint32_t *params)
{
    return dbGetPagedListTo(ztMediaStdoutSink(), conn, maxRequests, request_count, starting_index, list_options,
                            query_options, paramCount, params);
}

int dbGetPagedListTo(const ztMediaSink *sink, mg_connection *conn, int maxRequests, int request_count,
                     int starting_index, uint32_t list_options, uint32_t query_options, int paramCount,
                     const uint32_t *params)
{
    using namespace ztmedia;
    const Reply reply{sink, conn};
    // Only the media buffer is used: the record's other buffers stay unallocated.
    ztMediaDBOutput_t out{};
    out.conn = conn;
    out.localBuffer = static_cast<char *>(std::calloc(1, ZT_OUT_BUFFER_SIZE));
    if (!out.localBuffer) {
        DBLOG(DB_LOG_ERROR, "malloc failed medialist\n");
        return refuseRequest(reply, 500);
    }
    out.localBufferPos = out.localBuffer;
    DbTimer timer;
    char id[ZT_CARD_ID_MAX] = {0};
    rtosConnection_t db = {};
    const bool opened = rtosConnectionCtor(&db) == 0;
    if (getCardIDStr(id) < 0)
        std::snprintf(id, sizeof id, "0");
    int status = opened ? 200 : 500;
    ListDirectory d{};
    if (opened && maxRequests > 0) {
        ListingRequest lr{maxRequests,
                          static_cast<uint32_t>(request_count),
                          static_cast<uint32_t>(starting_index),
                          list_options,
                          query_options,
                          paramCount,
                          {0, 0}};
        if (paramCount != 0 && params) {
            lr.params[0] = params[0];
            lr.params[1] = paramCount == 1 ? 0 : params[1];
        }
        DBLOG(DB_LOG_HEADERS,
              "dbGetPagedList() req->command_type:%d, list_options:0x%x,%d, query_options:0x%x,%d, param1:0x%x,%d, "
              "param2:0x%x,%d",
              paramCount ? DB_CMD_LIST_WITH_PARAMS : DB_CMD_LIST, list_options, list_options, query_options,
              query_options, lr.params[0], lr.params[0], lr.params[1], lr.params[1]);
        auto restart = [&] {
            d = ListDirectory{};
            outRewind(&out, OutBuf::Media);
            out.localBuffer[0] = 0;
        };
        status =
            runListing(&db, lr, restart, [&](const ListEntry &e) { return pagedEntry(&out, query_options, d, e); });
    }
    rtosConnectionDtor(&db);
    sendListResponse(reply, status, id, std::string(), out.localBuffer,
                     status == 200 && d.open ? "]}]}\r\n" : "]}\r\n");
    if (g_logLevel >= DB_LOG_HEADERS) {
        unsigned long sec, usec;
        timer.elapsed(&sec, &usec);
        DBLOG(DB_LOG_HEADERS, "dbGetPagedList time %lu sec, %lu usec\n", sec, usec);
    }
    std::free(out.localBuffer);
    return status == 200 ? 0 : -1;
}
