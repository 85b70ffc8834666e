// The upload-status histogram query: how many files of the card sit in each upload state 0..31.
// The caller owns the outputs; one connection per call, nothing kept. Re-entrant.
#ifndef ZT_DB_HISTOGRAM_H
#define ZT_DB_HISTOGRAM_H

#include <cstdint>

#include "ztMedia/dbProtocol.h"

// Asks for the histogram (command 10, request_count 1, the caller's token; one attempt, 900 s
// time-out). Returns 0 when `histogram` (DB_HISTOGRAM_BUCKETS counters) was filled, or negative
// when the channel could not be opened (its result) or the exchange failed (-1), or -1 for null
// outputs. Filling: a response shorter than a header gives all zeros and leaves `*pVersion`
// alone; a header-only response gives all zeros; counters that did not arrive read as 0; a
// non-zero status is logged and the counters are used all the same. The echoed token is not
// compared.
int dbGetUploadStatusHistogram(uint32_t token, uint32_t *pVersion, uint32_t *histogram);

#endif
