#include "libztMediaRTOSDB/client/dbScandir.h"

#include <cstring>

#include "libztMediaRTOSDB/client/dbExchange.h"

namespace {

constexpr int kHeader = sizeof(db_scandir_response_header);
constexpr int kEntry = sizeof(db_scandir_wire_entry);

struct Scan {
    zt_file_info *entries;
    int capacity;
    int stored = 0;
    uint32_t received = 0;  // wire entries taken, kept or not
    zt_file_filter filter;

    // Offers the entries of one transfer; false when one would not fit.
    bool offer(const uint8_t *wire, uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i) {
            db_scandir_wire_entry e;
            std::memcpy(&e, wire + i * kEntry, sizeof e);
            ++received;
            if (e.file_name[0] == 0)
                DBLOG(DB_LOG_ERROR, "zt_file_info filename is empty!");
            if (filter && !filter(e.file_name, DB_FILE_NAME_LEN))
                continue;
            if (stored >= capacity)
                return false;
            zt_file_info &out = entries[stored++];
            std::memcpy(out.file_name, e.file_name, DB_FILE_NAME_LEN);
            out.file_name[DB_FILE_NAME_LEN] = 0;
            out.modified_time = e.second_value;
            out.file_size = e.first_value;
        }
        return true;
    }
};

void logScanHeader(const uint8_t *response, int)
{
    db_scandir_response_header h;
    std::memcpy(&h, response, sizeof h);
    DBLOG(DB_LOG_HEADERS, "ResponseHeader: command_type %d\n", h.command_type);
    DBLOG(DB_LOG_HEADERS, "                status %d\n", h.status);
    DBLOG(DB_LOG_HEADERS, "                number_file_names %d\n", h.number_file_names);
    DBLOG(DB_LOG_HEADERS, "                number_transfers %d\n", h.number_transfers);
}

// Ten retries; a refused scan fails, a token mismatch is only noted. The scan header shares the
// response header's status and token words but has no count to clamp.
constexpr DbExchangePolicy scanPolicy()
{
    DbExchangePolicy p;
    p.retries = DB_RETRIES_DEFAULT;
    p.logToken = false;
    p.logResponse = logScanHeader;
    p.responseLogAt = DbStep::BeforeCount;
    p.failText = "bytesRead=%d, RTOS transaction failed.\n";
    p.minBytes = kHeader;
    p.shortText = "bytesRead=%d < sizeof db_scandir_response_header:%d, failed, ret -3\n";
    p.shortResult = DB_SCAN_SHORT_HEADER;
    p.statusRule = DbStatusRule::Fail;
    p.statusText = "DB_CMD_NON_DB_SCANDIR, error on IPC received, status %d\n";
    p.statusResult = DB_SCAN_STATUS;
    p.tokenAt = DbStep::BeforeCount;
    p.tokenText = "DB_CMD_NON_DB_SCANDIR response token is not matched!";
    return p;
}
constexpr DbExchangePolicy kScanPolicy = scanPolicy();

// The first transfer's entries; sets *result to -5 or -10 where the scan goes on regardless.
// Returns false when the directory is empty (nothing more to do).
bool takeFirstTransfer(Scan &scan, const uint8_t *response, int bytes, const db_scandir_response_header &h,
                       const char *dirName, int *result)
{
    const uint32_t inFrame = static_cast<uint32_t>(bytes - kHeader) / kEntry;
    if (inFrame == 0 && h.number_file_names == 0) {
        DBLOG(DB_LOG_ERROR, "no files in directory %s", dirName);
        return false;
    }
    if (inFrame == 0) {
        DBLOG(DB_LOG_ERROR, "no zt_file_info received!");
        *result = DB_SCAN_NO_ENTRIES;
        return true;
    }
    uint32_t take = inFrame < h.number_file_names ? inFrame : h.number_file_names;
    if (take > static_cast<uint32_t>(scan.capacity)) {
        DBLOG(DB_LOG_ERROR, "not enough size of file_entries!");
        *result = DB_SCAN_TOO_SMALL;
        take = static_cast<uint32_t>(scan.capacity);
    }
    if (!scan.offer(response + kHeader, take))
        *result = DB_SCAN_TOO_SMALL;
    return true;
}

// Receives the transfers after the first. Returns false when the array overflowed.
bool takeFurtherTransfers(Scan &scan, rtosConnection_t *conn, const db_scandir_response_header &h)
{
    uint8_t frame[DB_FRAME_MAX];
    for (uint32_t t = 1; t < h.number_transfers && scan.received < h.number_file_names; ++t) {
        const int bytes = rtosConnectionRecv(conn, frame, sizeof frame, DB_TIMEOUT_DEFAULT_S);
        if (bytes < kEntry)
            break;
        uint32_t count = static_cast<uint32_t>(bytes) / kEntry;
        if (count > h.number_file_names - scan.received)
            count = h.number_file_names - scan.received;
        if (scan.received > static_cast<uint32_t>(scan.capacity) || !scan.offer(frame, count))
            return false;
    }
    return true;
}

}  // namespace

int scandirRTOSdb(const char *dirName, zt_file_info *entries, int *pCount, zt_file_filter filter)
{
    Scan scan{entries, *pCount < 0 ? 0 : *pCount, 0, 0, filter};
    *pCount = 0;
    if (!dirName || std::strlen(dirName) != DB_DIR_NAME_LEN)
        return DB_SCAN_BAD_DIR_NAME;
    DbExchange x(kScanPolicy);
    uint8_t response[DB_FRAME_MAX];
    db_scandir_request req{};
    req.header = {DB_CMD_NON_DB_SCANDIR, 1, dbTokenOf(response)};
    std::memcpy(req.dir_name, dirName, DB_DIR_NAME_LEN);
    if (!x.run(&req, sizeof req, response))
        return x.result();
    db_scandir_response_header h;
    std::memcpy(&h, response, sizeof h);

    int result = 0;
    if (takeFirstTransfer(scan, response, x.bytes(), h, dirName, &result) &&
        !takeFurtherTransfers(scan, x.connection(), h))
        result = DB_SCAN_TOO_SMALL;
    *pCount = scan.stored;
    return result;
}
