// The three media routes of the web host and how each turns a request into a responder call.
// The responders' bytes go to the client unchanged (raw mg_write): they carry their own status
// line and headers. Stateless apart from the capture, which serialises the responders.
#ifndef ZT_HTTPD_MEDIA_ROUTES_H
#define ZT_HTTPD_MEDIA_ROUTES_H

#include <string>

#include "responseCapture.h"

struct mg_connection;

// Answers `uri` when it is one of the media routes (the HTTP status sent), else returns 0.
int serveMediaRoute(ResponseCapture &capture, mg_connection *conn, const char *uri,
                    const char *query);

#endif
