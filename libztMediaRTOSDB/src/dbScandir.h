// Directory scan through the media database channel: the files of one 8-character directory,
// possibly over several transfers, into an array that the caller owns, with an optional filter.
// Nothing is kept between calls; re-entrant.
#ifndef ZT_DB_SCANDIR_H
#define ZT_DB_SCANDIR_H

#include <cstdint>

#include "ztMedia/dbProtocol.h"

// One scanned file (32 bytes).
struct zt_file_info {
    uint8_t reserved[3];  // left as the caller had them
    char file_name[DB_FILE_NAME_LEN + 1];
    uint64_t modified_time;  // the wire entry's second value
    uint64_t file_size;      // the wire entry's first value
};
static_assert(sizeof(zt_file_info) == 32, "zt_file_info");

// Keeps a file when it returns non-zero; gets the wire entry's 12-character name and 12.
typedef int (*zt_file_filter)(const char *name, int length);

// Results besides 0 and the transport's negative results.
enum : int {
    DB_SCAN_SHORT_HEADER = -3,
    DB_SCAN_BAD_DIR_NAME = -4,
    DB_SCAN_NO_ENTRIES = -5,
    DB_SCAN_STATUS = -7,
    DB_SCAN_TOO_SMALL = -10,
};

// Scans `dirName` (exactly 8 characters) into `entries`; *pCount holds the capacity on entry and
// the number stored on return (entries stored before a failure stay counted). Returns 0, -3
// (first transfer shorter than its header), -4 (bad name, nothing sent), -5 (names announced but
// the first transfer held none), -7 (error status), -10 (array too small), or the negative result
// of the connection or the exchange.
int scandirRTOSdb(const char *dirName, zt_file_info *entries, int *pCount, zt_file_filter filter);

#endif
