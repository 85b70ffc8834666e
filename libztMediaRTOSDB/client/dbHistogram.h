// The upload-status histogram query: how many files of the card sit in each upload state 0..31.
// The caller owns the outputs; one connection per call, nothing kept. Re-entrant.
#ifndef ZT_DB_HISTOGRAM_H
#define ZT_DB_HISTOGRAM_H

#include <cstdint>

#include "ztMedia/ztMediaDB.h"

// dbGetUploadStatusHistogram is declared with the other entry points in ztMedia/ztMediaDB.h.

#endif
