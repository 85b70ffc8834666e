// The card's own files over HTTP, with ztMediaHttpd --card DIR: GET /media/file/FOLDER/FILE
// sends the file (Range requests answered 206 or 416, so a video element can seek) and
// GET /media/thumbnail/FOLDER/FILE a small JPEG (card/thumbnail.h). Without --card, or for a
// name not of the camera's forms, both answer 404. Safe from any number of threads.
#ifndef ZT_HTTPD_CARD_ROUTES_H
#define ZT_HTTPD_CARD_ROUTES_H

#include "card/cardFolder.h"
#include "httpAnswer.h"

// True when the decoded path `uri` is one of the two routes.
bool isCardRoute(const char *uri);
// The answer to `uri` (a card route) with the request's Range header (null when absent). A file
// answer holds an open descriptor; reading a thumbnail may take a while.
HttpAnswer serveCardRoute(const CardFolder &card, const char *uri, const char *range);

#endif
