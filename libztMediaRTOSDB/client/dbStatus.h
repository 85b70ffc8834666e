// Upload and offload status writes. A write replaces a file's whole upload_status word, so the
// merging writers read the current word first (dbGetContentInfo), merge and write; the
// read-merge-write is not atomic. Nothing is kept between calls; re-entrant.
#ifndef ZT_DB_STATUS_H
#define ZT_DB_STATUS_H

#include <cstdint>

#include "libztMediaRTOSDB/client/dbTransport.h"
#include "ztMedia/ztMediaDB.h"

// Reads the file's word and merges `value` into it: isUpload replaces the upload state (low
// half); otherwise the low 16 bits of value are offload flags set into (or, with clear, cleared
// from) the high half. 0 with `value` replaced by the merged word, else the query's result.
int getCurrUploadStatusAndMergeNewStatus(const char *dirName, const char *fileName, uint32_t &value, bool isUpload,
                                         bool clear);

// dbSetUploadStatusRawBits and dbSetCAHUploadStatus are public: ztMedia/ztMediaDB.h.

// The HTTP write: 400 for a value out of range (untouched connection); otherwise closes the
// caller's connection, merges, reopens it and writes, answering 200, 404, 500 or 503. After a
// failed merge or reopening the connection is closed and zeroed; otherwise it is open again.
int getWriteUploadStatusResponse(rtosConnection_t *conn, const char *dirName, const char *fileName, uint8_t *response,
                                 uint32_t value, bool isUpload, bool clear);

#endif
