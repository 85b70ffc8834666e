// List queries of the media database and the parser of list responses: one page per query,
// each entry handed to an item callback (a filled cah_item_s) and a file callback (every file the
// entry stands for, groups expanded into their members). Items and names live on the parser's
// stack and are valid only during the callback. Re-entrant; callbacks run on the calling thread.
#ifndef ZT_DB_LIST_H
#define ZT_DB_LIST_H

#include <cstdint>

#include "libztMediaRTOSDB/src/dbRecords.h"

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
    uint32_t mahs;           // low 7 bits
    uint32_t creation_time;
    uint32_t duration;       // seconds, rounded; grouped videos: the members' sum
    uint32_t cl;             // 1 when the video record's cl is non-zero
    uint64_t size;           // file_size, or group_size for groups
    char *dir_name;          // 8 characters, terminated
    char *file_name;         // 12 characters, terminated
};

typedef void (*cah_item_callback)(void *context, cah_item_s *item);
typedef void (*cah_file_callback)(void *context, char *dirName, char *fileName);

enum : uint32_t {
    DB_LIST_CAH_OPTIONS = DB_LIST_VIDEO_GROUPING,  // the candidate list groups videos
    DB_LIST_SESSION_OPTIONS = 0,
    // Durations asked per grouped video (one exchange each); chapter numbers have two digits.
    DB_GROUP_DURATION_LOOKUPS_MAX = 100,
};

// Sends one list query (command 0) and receives the page into `response` (DB_FRAME_MAX bytes).
// *pBytesRead gets the byte count or the transport's negative result. Returns 0 (a non-zero
// status or a token mismatch is only logged; count_returned is clamped to request_count), the
// negative result of the connection or the exchange, or -3 when fewer than 20 bytes came back.
int queryRTOSdb(int request_count, int starting_index, uint32_t token, uint8_t *response,
                uint32_t list_options, uint32_t query_options, int *pBytesRead);

// Walks the list response of `bytesRead` bytes. Returns 0 when every entry was handed out, -1 on
// an invalid content type or a group bitmap larger than the rest of the receive buffer, and the
// number of entries handed out when the response ends inside an entry. Reads nothing beyond
// `bytesRead`; a response shorter than the list header hands out nothing. An echoed
// include_more_info bit is not looked at. With an item callback, a grouped video's duration
// asks the database for at most DB_GROUP_DURATION_LOOKUPS_MAX members (the rest count as 0 ms);
// with only a file callback no durations are asked for (nothing would receive them).
int processQueryResponse(const uint8_t *response, int bytesRead, int starting_index,
                         cah_item_callback itemCallback, void *itemContext,
                         cah_file_callback fileCallback, void *fileContext);

// One page of the candidate list (list_options 2, query_options 0xFFFFFB00) or of the metadata
// session files (0, 0x2400). *pSessionId (required) and *pTotalEntries (optional) receive the
// response's words. Returns count_returned, or the negative result of the query or the parser.
int dbGetCAHList(uint32_t request_count, uint32_t starting_index, uint32_t token,
                 cah_item_callback itemCallback, void *itemContext, cah_file_callback fileCallback,
                 void *fileContext, uint32_t *pSessionId, uint32_t *pTotalEntries);
int dbGetCAHSessionFileList(uint32_t request_count, uint32_t starting_index, uint32_t token,
                            cah_item_callback itemCallback, void *itemContext,
                            cah_file_callback fileCallback, void *fileContext,
                            uint32_t *pSessionId, uint32_t *pTotalEntries);

#endif
