// Unique media identifier (GUMI) lookups: file name to GUMI and parent GUMI, and GUMI back to
// the file name. The query-family calls copy into the caller's buffers; getFileGUMIResponse
// points into the caller's response buffer (valid until it is reused). Re-entrant.
#ifndef ZT_DB_GUMI_H
#define ZT_DB_GUMI_H

#include <cstdint>

#include "libztMediaRTOSDB/src/dbFileQuery.h"

// Fills `gumi` and `pgumi` (16 bytes each; pgumi may be null). The parent is all zeros unless
// media_flags bit 0 is set and it arrived; both are zeros when the GUMI did not arrive.
// 0, or negative on a bad argument, a failed channel or a response shorter than 96 bytes.
int dbGetGUMIByFileName(void *unused, const db_file_spec *fs, uint8_t *gumi, uint8_t *pgumi);
// Writes the directory name (bytes 0..7) and file name (bytes 8..19) of the file with `gumi`
// into `out` (20 bytes, zero-padded, not terminated when a name fills its field). 0 or negative.
int dbGetFileNameByGUMI(void *unused, const uint8_t *gumi, char *out);

// 200 with pointers into `response` to the content record, the GUMI (zeros when it did not
// arrive) and the parent GUMI (null unless media_flags bit 0 is set); 404 for an unknown file;
// 500 or 503 otherwise, all pointers null.
int getFileGUMIResponse(rtosConnection_t *conn, const char *pDirName, const char *pFileName,
                        uint8_t *response, db_content_info **ppContentInfo, uint8_t **ppGumi,
                        uint8_t **ppParentGumi);

#endif
