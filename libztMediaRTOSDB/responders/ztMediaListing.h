// The paging of the list responders: list requests page by page over one connection, each page
// one DbExchange, one retry counter for the whole listing (a failure starts the listing over),
// the total_entries clamp, and each entry handed to the caller. Call-local state only.
#ifndef ZT_MEDIA_LISTING_H
#define ZT_MEDIA_LISTING_H

#include <cstdint>
#include <functional>

#include "libztMediaRTOSDB/client/dbExchange.h"
#include "libztMediaRTOSDB/responders/ztMediaEntry.h"

namespace ztmedia {

struct ListingRequest {
    int maxRequests;         // list requests to send, retries included; 0: no limit
    uint32_t requestCount;   // page size asked for
    uint32_t startingIndex;  // where the listing (and every restart) begins
    uint32_t listOptions;
    uint32_t queryOptions;
    int paramCount;  // 0: plain list request; else the list with parameters
    uint32_t params[2];
};

// Pages over `conn` (opened by the caller, who closes it; closed after a failed exchange and
// reopened for the next page).
// Failures (send, receive, short response, a status other than 0, a page that brings no entry
// while total_entries says more remain) count on one retry counter: while it is at most 10, the
// listing waits 100 ms and starts over after onRestart(); a later failure answers 500.
// onEntry processes one entry (entries of files the database does not know, content type all
// ones, are skipped: they only advance the index) and returns 200 to go on (any other status ends the listing with
// that status). Returns 200 or the status that ended the listing.
int runListing(rtosConnection_t *conn, const ListingRequest &lr, const std::function<void()> &onRestart,
               const std::function<int(const ListEntry &)> &onEntry);

// Retries of one listing.
enum : int { ZT_LIST_RETRIES = 10 };

// The exchanges whose retries the responders count themselves (a list page, a group's members):
// one attempt with the default time-out and no request log of the exchange's own; a short or
// refused reply ends the exchange without a word, for the caller to report and try again.
constexpr DbExchangePolicy listingExchangePolicy()
{
    DbExchangePolicy p;
    p.requestLogged = false;
    p.shortRefused = true;
    p.statusRule = DbStatusRule::Refuse;
    return p;
}

}  // namespace ztmedia

#endif
