// The upload-status histogram query (command 10).
#include "libztMediaRTOSDB/src/dbHistogram.h"

#include <algorithm>
#include <cstring>

#include "libztMediaRTOSDB/src/dbCommon.h"

namespace {

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
    DbConnection conn;
    int ret = conn.open();
    if (ret < 0) {
        DBLOG(DB_LOG_ERROR, "Failed to ininialize IPC: %d\n", ret);
        return ret;
    }
    db_request_header req = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, token};
    dbLogRequestHeader(DB_LOG_HEADERS, req);

    uint8_t response[DB_FRAME_MAX];
    int bytes = rtosCall(conn.get(), &req, sizeof req, response, DB_RETRIES_NONE, DB_TIMEOUT_LONG_S);
    if (bytes < 0) {
        DBLOG(DB_LOG_ERROR, "RTOS transaction failed.\n");
        return -1;
    }
    if (dbNoteShortResponse(bytes)) {
        std::memset(histogram, 0, DB_HISTOGRAM_BUCKETS * sizeof(uint32_t));
        return 0;
    }
    db_response_header h;
    std::memcpy(&h, response, sizeof h);
    dbLogResponseHeader(DB_LOG_HEADERS, h);
    *pVersion = h.rtos_db_version;
    if (h.status != 0) dbNoteErrorStatus(h.status);
    conn.close();
    fillHistogram(response, bytes, histogram);
    return 0;
}
