// The upload-status histogram query (command 10).
#include "libztMediaRTOSDB/client/dbHistogram.h"

#include <algorithm>
#include <cstring>

#include "libztMediaRTOSDB/client/dbExchange.h"

namespace {

// One attempt and a long wait: the server counts the whole card. A short reply reads as an empty
// histogram and a refused one is used all the same.
constexpr DbExchangePolicy kHistogramPolicy = dbLenientPolicy(DB_RETRIES_NONE, DB_TIMEOUT_LONG_S);

// Copies the counters that arrived whole; the rest read as 0.
void fillHistogram(const uint8_t *response, int bytes, uint32_t *histogram)
{
    std::memset(histogram, 0, DB_HISTOGRAM_BUCKETS * sizeof(uint32_t));
    size_t payload = static_cast<size_t>(bytes) - sizeof(db_response_header);
    size_t counters = std::min<size_t>(payload / sizeof(uint32_t), DB_HISTOGRAM_BUCKETS);
    if (counters < DB_HISTOGRAM_BUCKETS && payload > 0)
        DBLOG(DB_LOG_NOTICE, "%d bytes received, expecting %ld, missing counters read as 0\n", bytes,
              static_cast<long>(sizeof(db_histogram_response)));
    std::memcpy(histogram, response + sizeof(db_response_header), counters * sizeof(uint32_t));
}

}  // namespace

int dbGetUploadStatusHistogram(uint32_t token, uint32_t *pVersion, uint32_t *histogram)
{
    if (!pVersion || !histogram) {
        DBLOG(DB_LOG_ERROR, "Invalid input: version = %p, histogram = %p\n", static_cast<void *>(pVersion),
              static_cast<void *>(histogram));
        return -1;
    }
    DbExchange x(kHistogramPolicy);
    db_request_header req = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, token};
    uint8_t response[DB_FRAME_MAX];
    if (!x.run(&req, sizeof req, response)) {
        if (x.shortReply())
            std::memset(histogram, 0, DB_HISTOGRAM_BUCKETS * sizeof(uint32_t));
        return x.result();
    }
    *pVersion = dbResponseHeaderOf(response).rtos_db_version;
    x.close();
    fillHistogram(response, x.bytes(), histogram);
    return 0;
}
