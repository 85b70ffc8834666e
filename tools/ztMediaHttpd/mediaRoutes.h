// The three media routes of the web host and how each turns a request into a responder call.
// Each call writes into its own sink, so any number run at once on different threads; the
// responder's status line and headers become the answer's status and headers.
#ifndef ZT_HTTPD_MEDIA_ROUTES_H
#define ZT_HTTPD_MEDIA_ROUTES_H

#include "httpAnswer.h"

struct MediaRoute;

// The media route of the decoded path `path`, or null when it is none.
const MediaRoute *findMediaRoute(const char *path);
// True when the request would write an upload or offload state.
bool writesState(const MediaRoute &route, const char *query);
// Runs the route's responder on the raw query string (may wait on the media database).
HttpAnswer runMediaRoute(const MediaRoute &route, const char *query);

#endif
