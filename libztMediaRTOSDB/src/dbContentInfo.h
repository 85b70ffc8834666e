// Content information of one file: its content record, group record with bitmaps, video record
// with highlights and extra video information. The query family copies into the caller's records
// (result 0 or negative); the response family leaves them in the caller's 1500-byte buffer and
// hands back pointers into it (result an HTTP status). Nothing is kept; re-entrant.
#ifndef ZT_DB_CONTENT_INFO_H
#define ZT_DB_CONTENT_INFO_H

#include <cstdint>

#include "libztMediaRTOSDB/src/dbFileQuery.h"

// Room the caller gives each bitmap buffer of dbGetGroupContentInfo: one bit per member of the
// widest group (member numbers have four digits).
enum : uint32_t { DB_GROUP_BITMAP_MAX = 1250 };

// --- Query family: the first parameter is unused (callers pass null) --------------------------
int dbGetContentInfo(void *unused, const db_file_spec *fs, db_content_info *ci);
// Fills the group and content records; when members are missing, ((last - first) / 8 + 1) bytes
// of the missing bitmap go to `missingBitmap`, and when the content record counts highlights as
// many of the second bitmap to `highlightBitmap` (each DB_GROUP_BITMAP_MAX bytes; null skips the
// copy). Bytes that did not arrive are copied as zeros and the result is still 0. -1 only when a
// copy would not fit DB_GROUP_BITMAP_MAX bytes or would lie past the 1500-byte receive buffer.
int dbGetGroupContentInfo(void *unused, const db_file_spec *fs, db_group_info *gci,
                          db_content_info *ci, uint8_t *missingBitmap, uint8_t *highlightBitmap);
// Fills the 24 fixed bytes of the video record (which keeps the highlight_count sent) and the
// content record; copies at most maxNumberHighlightsExpected highlight words (none when null),
// never more than arrived. Video types only (0..3, 12..14).
int dbGetVideoSpecificInfo(void *unused, const db_file_spec *fs, db_video_specific_info *vsi,
                           db_content_info *ci, uint32_t *highlights,
                           int maxNumberHighlightsExpected);
int dbGetMoreInfo(void *unused, const db_file_spec *fs, db_more_info *mi);

// --- Response family: the caller's open connection and DB_FRAME_MAX-byte response buffer ------
// 200 with both pointers into `response`: content at offset 20, video record at 96. For the
// video types the record and all its highlights arrived; for any other type answered with fewer
// than 120 bytes the video record holds whatever the buffer held (zeros in a cleared buffer), so
// do not trust its highlight_count there. 404 for an unknown file, 500 or 503 otherwise
// (pointers null). Null names are a programming error (assertion).
int getVideoSpecificInfoResponse(rtosConnection_t *conn, const char *pDirName,
                                 const char *pFileName, uint8_t *response,
                                 db_content_info **ppContentInfo,
                                 db_video_specific_info **ppVideoInfo);
int getMoreInfoResponse(rtosConnection_t *conn, const char *pDirName, const char *pFileName,
                        uint8_t *response, db_more_info **ppMoreInfo);

// Duration in milliseconds of one video file (0 when unknown). Returns the status of
// getVideoSpecificInfoResponse, or the negative result of opening the connection.
int dbGetChapteredVideoDuration(const char *pDirName, const char *pFileName, uint32_t *pDuration);

#endif
