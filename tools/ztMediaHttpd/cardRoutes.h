// The card's own files over HTTP, with ztMediaHttpd --card DIR: GET /media/file/FOLDER/FILE
// sends the file (Range requests answered 206 or 416, so a video element can seek) and
// GET /media/thumbnail/FOLDER/FILE a small JPEG (card/thumbnail.h). Without --card, or for a
// name not of the camera's forms, both answer 404. Safe from any number of threads.
#ifndef ZT_HTTPD_CARD_ROUTES_H
#define ZT_HTTPD_CARD_ROUTES_H

#include "card/cardFolder.h"

struct mg_connection;

// Answers `uri` when it is one of the two routes (the HTTP status sent), else returns 0.
int serveCardRoute(const CardFolder &card, mg_connection *conn, const char *uri);

#endif
