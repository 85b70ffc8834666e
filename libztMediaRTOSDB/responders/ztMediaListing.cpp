// Paging of the list responders over the client's exchange.
#include "libztMediaRTOSDB/responders/ztMediaListing.h"

#include <cstring>

#include "libztMediaRTOSDB/client/dbLog.h"

namespace ztmedia {
namespace {

enum class Failure { None, Exchange, Status, Empty };

void logPageResponse(const uint8_t *response, int bytes) { dbLogListResponse(ListReader(response, bytes).header()); }

// On the listing's connection (the page logs its own request, before it reopens a dropped
// connection); the count is clamped to the page size, then the token compared.
constexpr DbExchangePolicy pagePolicy()
{
    DbExchangePolicy p = listingExchangePolicy();
    p.callersConnection = true;
    p.logResponse = logPageResponse;
    p.tokenAt = DbStep::AfterCount;
    p.countLevel = DB_LOG_NOTICE;
    return p;
}
constexpr DbExchangePolicy kPagePolicy = pagePolicy();

// The listing's connection: closed after a failed exchange, so that a late reply is not read as
// the next page's, and reopened for the next page.
struct Channel {
    rtosConnection_t *conn;
    bool open;
};

// One page: request, exchange, checks. Failure::None with the page's entry count in *entries.
Failure fetchPage(Channel &ch, const ListingRequest &lr, uint32_t count, uint32_t index, uint8_t *response, int *bytes,
                  uint32_t *entries)
{
    db_list_params_request req{};
    const bool withParams = lr.paramCount != 0;
    req.list.header = {withParams ? DB_CMD_LIST_WITH_PARAMS : DB_CMD_LIST, count, dbTokenOf(&req)};
    req.list.starting_index = index;
    req.list.list_options = lr.listOptions;
    req.list.query_options = lr.queryOptions;
    req.param1 = lr.params[0];
    req.param2 = lr.paramCount == 1 ? 0 : lr.params[1];
    dbLogListRequest(req.list, withParams ? &req.param1 : nullptr);
    std::memset(response, 0, DB_FRAME_MAX);
    if (!ch.open && !(ch.open = rtosConnectionCtor(ch.conn) == 0))
        return Failure::Exchange;
    DbExchange x(kPagePolicy);
    const bool ok = x.run(&req, withParams ? sizeof req : sizeof req.list, response, ch.conn);
    *bytes = x.bytes();
    if (!ok && *bytes < static_cast<int>(sizeof(db_response_header))) {
        rtosConnectionDtor(ch.conn);
        *ch.conn = rtosConnection_t{};
        ch.open = false;
        return Failure::Exchange;
    }
    if (!ok)
        return Failure::Status;
    const db_list_response_header h = ListReader(response, *bytes).header();
    *entries = h.header.count_returned;
    const uint32_t left = h.total_entries > index ? h.total_entries - index : 0;
    if (left < *entries) {
        DBLOG(DB_LOG_NOTICE, "%d total_entries, but %d starting_index with %d count_returned\n", h.total_entries, index,
              h.header.count_returned);
        DBLOG(DB_LOG_NOTICE, "truncating to %d items in this page\n", left);
        *entries = left;
    }
    return Failure::None;
}

}  // namespace

int runListing(rtosConnection_t *conn, const ListingRequest &lr, const std::function<void()> &onRestart,
               const std::function<int(const ListEntry &)> &onEntry)
{
    Channel ch{conn, true};
    uint8_t response[DB_FRAME_MAX];
    uint32_t index = lr.startingIndex;
    uint32_t count = lr.requestCount;
    int retries = 0;
    for (int sent = 0; lr.maxRequests <= 0 || sent < lr.maxRequests; ++sent) {
        int bytes = 0;
        uint32_t entries = 0;
        Failure f = fetchPage(ch, lr, count, index, response, &bytes, &entries);
        uint32_t processed = 0;
        ListReader rd(response, bytes);
        for (ListEntry e; f == Failure::None && processed < entries && rd.next(&e); ++processed) {
            // A file the database does not know is never shown, nor does it open a directory.
            const int status = e.ci.content_type == DB_CONTENT_TYPE_NOT_FOUND ? 200 : onEntry(e);
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
        if (bytes >= 0)  // rtosCall has paused after a failed send or receive already
            dbPause();
        if (f == Failure::Status)
            DBLOG(DB_LOG_NOTICE, "error on IPC received, retrying, status %d\n", dbStatus);
        else
            DBLOG(DB_LOG_NOTICE, "error on IPC received, retrying, bytesRead %d\n", bytes);
        index = lr.startingIndex;
        count = lr.requestCount;
        onRestart();
    }
    return 200;
}

}  // namespace ztmedia
