// Content information of one file: its content record, group record with bitmaps, video record
// with highlights and extra video information. The query family copies into the caller's records
// (result 0 or negative); the response family leaves them in the caller's 1500-byte buffer and
// hands back pointers into it (result an HTTP status). Nothing is kept; re-entrant.
#ifndef ZT_DB_CONTENT_INFO_H
#define ZT_DB_CONTENT_INFO_H

#include <cstdint>

#include "libztMediaRTOSDB/client/dbExchange.h"

// The query family (dbGetContentInfo, dbGetGroupContentInfo, dbGetVideoSpecificInfo,
// dbGetMoreInfo) and dbGetChapteredVideoDuration are public: ztMedia/ztMediaDB.h.

// --- Response family: the caller's open connection and DB_FRAME_MAX-byte response buffer ------
// 200 with both pointers into `response`: content at offset 20, video record at 96. For the
// video types the record and all its highlights arrived; for any other type answered with fewer
// than 120 bytes the video record holds whatever the buffer held (zeros in a cleared buffer), so
// do not trust its highlight_count there. 404 for an unknown file, 500 or 503 otherwise
// (pointers null). Null names are a programming error (assertion).
int getVideoSpecificInfoResponse(rtosConnection_t *conn, const char *pDirName, const char *pFileName, uint8_t *response,
                                 db_content_info **ppContentInfo, db_video_specific_info **ppVideoInfo);
int getMoreInfoResponse(rtosConnection_t *conn, const char *pDirName, const char *pFileName, uint8_t *response,
                        db_more_info **ppMoreInfo);

#endif
