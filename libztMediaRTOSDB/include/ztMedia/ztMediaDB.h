// The media database client for host programs: every database command, the list item record,
// the directory-scan record and the log level. Each command opens and closes its own connection
// to the channel "rtos_media_db"; the caller owns every buffer and nothing is kept between calls,
// so calls may run on different threads at once. Callbacks run on the calling thread.
#ifndef ZT_MEDIA_ZT_MEDIA_DB_H
#define ZT_MEDIA_ZT_MEDIA_DB_H

#include <cstdint>

#include "dbProtocol.h"
#include "ztMediaExport.h"

// --- Log level -------------------------------------------------------------------------------
// Sets the platform's kernel-log level (g_logLevel) that every client message is measured
// against; returns the platform's result (0, or -1 for a negative level, which is left alone).
ZT_MEDIA_API
int dbSetLogLvl(int level);

// --- Upload-status histogram -------------------------------------------------------------------
// Asks for the histogram (command 10, request_count 1, the caller's token; one attempt, 900 s
// time-out). Returns 0 when `histogram` (DB_HISTOGRAM_BUCKETS counters) was filled, or negative
// when the channel could not be opened (its result) or the exchange failed (-1), or -1 for null
// outputs. Filling: a response shorter than a header gives all zeros and leaves `*pVersion`
// alone; a header-only response gives all zeros; counters that did not arrive read as 0; a
// non-zero status is logged and the counters are used all the same. The echoed token is not
// compared.
ZT_MEDIA_API
int dbGetUploadStatusHistogram(uint32_t token, uint32_t *pVersion, uint32_t *histogram);

// --- List pages --------------------------------------------------------------------------------
// The record handed to item callbacks for one list entry.
struct cah_item_s {
    char *gumi;   // 32 upper-case hex digits, or null when the list carries no GUMIs
    char *pgumi;  // parent GUMI alike, or null
    uint32_t content_type;
    uint32_t group_number;  // group types; else 0
    uint32_t first_number;
    uint32_t last_number;
    uint32_t num_missing;
    uint32_t upload_status;  // the upload state (low 16 bits of the word)
    uint32_t highlight_count;
    uint32_t mahs;  // low 7 bits
    uint32_t creation_time;
    uint32_t duration;  // seconds, rounded; grouped videos: the members' sum
    uint32_t cl;        // 1 when the video record's cl is non-zero
    uint64_t size;      // file_size, or group_size for groups
    char *dir_name;     // 8 characters, terminated
    char *file_name;    // 12 characters, terminated
};

// Items and names live on the parser's stack and are valid only during the callback.
typedef void (*cah_item_callback)(void *context, cah_item_s *item);
typedef void (*cah_file_callback)(void *context, char *dirName, char *fileName);

// One page of the candidate list (list_options 2, query_options 0xFFFFFB00) or of the metadata
// session files (0, 0x2400): each entry goes to the item callback and every file it stands for
// (groups expanded into their members) to the file callback; either may be null. *pSessionId
// (required) and *pTotalEntries (optional) receive the response's words. Returns count_returned,
// or the negative result of the query or the parser.
ZT_MEDIA_API
int dbGetCAHList(uint32_t request_count, uint32_t starting_index, uint32_t token, cah_item_callback itemCallback,
                 void *itemContext, cah_file_callback fileCallback, void *fileContext, uint32_t *pSessionId,
                 uint32_t *pTotalEntries);
ZT_MEDIA_API
int dbGetCAHSessionFileList(uint32_t request_count, uint32_t starting_index, uint32_t token,
                            cah_item_callback itemCallback, void *itemContext, cah_file_callback fileCallback,
                            void *fileContext, uint32_t *pSessionId, uint32_t *pTotalEntries);

// --- Upload status writes ----------------------------------------------------------------------
// Writes `word` unmerged with the caller's token. 0 (a short or refused response is logged and
// still reported as 0), or the negative result of the connection or the exchange.
ZT_MEDIA_API
int dbSetUploadStatusRawBits(const char *dirName, const char *fileName, uint32_t word, uint32_t token);
// Records upload state `state` (0..31) for the candidate list: reads the file's word, replaces
// its low half and writes it back (not atomic). -1 for a state out of range, names not exactly 8
// and 12 characters, or a failed read; else dbSetUploadStatusRawBits's.
ZT_MEDIA_API
int dbSetCAHUploadStatus(const char *dirName, const char *fileName, uint32_t state, uint32_t token);

// --- Content information and identifiers -------------------------------------------------------
// The 20-byte file specification: directory name (bytes 0..7) and file name (bytes 8..19),
// neither necessarily terminated.
typedef db_file_name_pair db_file_spec;

// Room the caller gives each bitmap buffer of dbGetGroupContentInfo: one bit per member of the
// widest group (member numbers have four digits).
enum : uint32_t { DB_GROUP_BITMAP_MAX = 1250 };

// Each copies into the caller's records and returns 0, or negative for a bad argument, a failed
// channel or a response that cannot be used. The first parameter is unused (callers pass null).
ZT_MEDIA_API
int dbGetContentInfo(void *unused, const db_file_spec *fs, db_content_info *ci);
// Fills the group and content records; when members are missing, ((last - first) / 8 + 1) bytes
// of the missing bitmap go to `missingBitmap`, and for photo groups with highlights as many of
// the second bitmap to `highlightBitmap` (each DB_GROUP_BITMAP_MAX bytes; null skips the copy).
// Bytes that did not arrive are copied as zeros and the result is still 0. -1 only when a copy
// would not fit DB_GROUP_BITMAP_MAX bytes or would lie past the 1500-byte receive buffer.
ZT_MEDIA_API
int dbGetGroupContentInfo(void *unused, const db_file_spec *fs, db_group_info *gci, db_content_info *ci,
                          uint8_t *missingBitmap, uint8_t *highlightBitmap);
// Fills the 24 fixed bytes of the video record (which keeps the highlight_count sent) and the
// content record; copies at most maxNumberHighlightsExpected highlight words (none when null),
// never more than arrived. Video types only (0..3, 12..14).
ZT_MEDIA_API
int dbGetVideoSpecificInfo(void *unused, const db_file_spec *fs, db_video_specific_info *vsi, db_content_info *ci,
                           uint32_t *highlights, int maxNumberHighlightsExpected);
ZT_MEDIA_API
int dbGetMoreInfo(void *unused, const db_file_spec *fs, db_more_info *mi);
// Fills `gumi` and `pgumi` (16 bytes each; pgumi may be null). The parent is all zeros unless
// media_flags bit 0 is set and it arrived; both are zeros when the GUMI did not arrive.
ZT_MEDIA_API
int dbGetGUMIByFileName(void *unused, const db_file_spec *fs, uint8_t *gumi, uint8_t *pgumi);
// Writes the directory name (bytes 0..7) and file name (bytes 8..19) of the file with `gumi`
// into `out` (20 bytes, zero-padded, not terminated when a name fills its field).
ZT_MEDIA_API
int dbGetFileNameByGUMI(void *unused, const uint8_t *gumi, char *out);
// Duration in milliseconds of one video file (0 when unknown). Returns an HTTP status (200, 404,
// 500 or 503), or the negative result of opening the connection.
ZT_MEDIA_API
int dbGetChapteredVideoDuration(const char *pDirName, const char *pFileName, uint32_t *pDuration);

// --- Directory scan ----------------------------------------------------------------------------
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
ZT_MEDIA_API
int scandirRTOSdb(const char *dirName, zt_file_info *entries, int *pCount, zt_file_filter filter);

#endif
