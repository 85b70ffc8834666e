// Unique media identifier (GUMI) lookups: file name to GUMI and parent GUMI, and GUMI back to
// the file name. The query-family calls copy into the caller's buffers; getFileGUMIResponse
// points into the caller's response buffer (valid until it is reused). Re-entrant.
#ifndef ZT_DB_GUMI_H
#define ZT_DB_GUMI_H

#include <cstdint>

#include "libztMediaRTOSDB/client/dbExchange.h"

// dbGetGUMIByFileName and dbGetFileNameByGUMI are public: ztMedia/ztMediaDB.h.

// 200 with pointers into `response` to the content record, the GUMI (zeros when it did not
// arrive) and the parent GUMI (null unless media_flags bit 0 is set); 404 for an unknown file;
// 500 or 503 otherwise, all pointers null.
int getFileGUMIResponse(rtosConnection_t *conn, const char *pDirName, const char *pFileName, uint8_t *response,
                        db_content_info **ppContentInfo, uint8_t **ppGumi, uint8_t **ppParentGumi);

#endif
