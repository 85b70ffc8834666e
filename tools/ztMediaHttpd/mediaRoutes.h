// The three media routes of the web host and how each turns a request into a responder call.
// The responders' bytes go to the client unchanged (raw mg_write): they carry their own status
// line and headers. Stateless apart from the capture, which serialises the responders.
#ifndef ZT_HTTPD_MEDIA_ROUTES_H
#define ZT_HTTPD_MEDIA_ROUTES_H

#include <cstdint>
#include <string>

#include "responseCapture.h"

struct mg_connection;

// The decoded parameters of /media/paged ("max", "count", "start", "lo", "qo", "p1", "p2").
struct PagedParams {
    int maxRequests = 0;
    int requestCount = 0;
    int startingIndex = 0;
    uint32_t listOptions = 0;
    uint32_t queryOptions = 0;
    int paramCount = 0;
    uint32_t params[2] = {0, 0};
};

// Decodes the paged query; false with *why naming the first bad or missing key.
bool decodePagedQuery(const char *query, PagedParams *out, std::string *why);

// Answers `uri` when it is one of the media routes (the HTTP status sent), else returns 0.
int serveMediaRoute(ResponseCapture &capture, mg_connection *conn, const char *uri,
                    const char *query);

#endif
