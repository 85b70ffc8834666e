// Paging of the list responders over the client's transport.
#include "libztMediaRTOSDB/src/ztMediaListing.h"

#include <cstring>

#include "libztMediaRTOSDB/src/dbCommon.h"
#include "libztMediaRTOSDB/src/dbLog.h"

namespace ztmedia {
namespace {

enum class Failure { None, Exchange, Status, Empty };

// One page: request, exchange, checks. Failure::None with the page's entry count in *count.
Failure fetchPage(DbConnection &conn, const ListingRequest &lr, uint32_t count, uint32_t index,
                  uint8_t *response, int *bytes, uint32_t *entries)
{
    db_list_params_request req{};
    const bool withParams = lr.paramCount != 0;
    req.list.header = {withParams ? DB_CMD_LIST_WITH_PARAMS : DB_CMD_LIST, count, dbTokenOf(&req)};
    req.list.starting_index = index;
    req.list.list_options = lr.listOptions;
    req.list.query_options = lr.queryOptions;
    req.param1 = lr.params[0];
    req.param2 = lr.paramCount == 1 ? 0 : lr.params[1];
    logListRequest(req.list, withParams ? &req.param1 : nullptr);
    std::memset(response, 0, DB_FRAME_MAX);
    if (!conn.isOpen() && conn.open() < 0)
        return Failure::Exchange;
    *bytes = rtosCall(conn.get(), &req, withParams ? sizeof req : sizeof req.list, response,
                      DB_RETRIES_NONE, DB_TIMEOUT_DEFAULT_S);
    if (*bytes < static_cast<int>(sizeof(db_response_header))) {
        conn.close();  // a late reply must not be read as the next page's
        return Failure::Exchange;
    }
    ListReader rd(response, *bytes);
    db_list_response_header h = rd.header();
    logListResponse(h);
    if (h.header.status != 0)
        return Failure::Status;
    dbClampCount(&h.header, count, DB_LOG_NOTICE);
    dbCheckToken(req.list.header.token, h.header.token);
    *entries = h.header.count_returned;
    const uint32_t left = h.total_entries > index ? h.total_entries - index : 0;
    if (left < *entries) {
        DBLOG(DB_LOG_NOTICE, "%d total_entries, but %d starting_index with %d count_returned\n",
              h.total_entries, index, h.header.count_returned);
        DBLOG(DB_LOG_NOTICE, "truncating to %d items in this page\n", left);
        *entries = left;
    }
    return Failure::None;
}

}  // namespace

int runListing(DbConnection &conn, const ListingRequest &lr, const std::function<void()> &onRestart,
               const std::function<int(const ListEntry &)> &onEntry)
{
    uint8_t response[DB_FRAME_MAX];
    uint32_t index = lr.startingIndex;
    uint32_t count = lr.requestCount;
    int retries = 0;
    for (int sent = 0; lr.maxRequests <= 0 || sent < lr.maxRequests; ++sent) {
        int bytes = 0;
        uint32_t entries = 0;
        Failure f = fetchPage(conn, lr, count, index, response, &bytes, &entries);
        uint32_t processed = 0;
        ListReader rd(response, bytes);
        for (ListEntry e; f == Failure::None && processed < entries && rd.next(&e); ++processed) {
            const int status = onEntry(e);
            if (status != 200)
                return status;
        }
        index += processed;
        const uint32_t total = rd.header().total_entries;
        if (f == Failure::None && processed == 0 && total > index)
            f = Failure::Empty;
        if (f == Failure::None) {
            if (total <= index)
                return 200;
            count = count < total + 1 - index ? count : total + 1 - index;
            continue;
        }
        const uint32_t dbStatus = rd.header().header.status;
        if (retries > ZT_LIST_RETRIES) {
            if (f == Failure::Status)
                DBLOG(DB_LOG_ERROR, "error on IPC received, exiting, status %d\n", dbStatus);
            else
                DBLOG(DB_LOG_ERROR, "error on IPC received, exiting, bytesRead %d\n", bytes);
            return 500;
        }
        ++retries;
        if (f == Failure::Status) {
            dbNoteErrorStatus(dbStatus);
        } else {
            if (bytes >= 0)  // rtosCall has paused after a failed send or receive already
                dbPause();
            DBLOG(DB_LOG_NOTICE, "error on IPC received, retrying, bytesRead %d\n", bytes);
        }
        index = lr.startingIndex;
        count = lr.requestCount;
        onRestart();
    }
    return 200;
}

}  // namespace ztmedia
