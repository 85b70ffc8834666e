// List queries of the media database and the parser of list responses: one page per query,
// each entry handed to an item callback (a filled cah_item_s) and a file callback (every file the
// entry stands for, groups expanded into their members). Items and names live on the parser's
// stack and are valid only during the callback. Re-entrant; callbacks run on the calling thread.
#ifndef ZT_DB_LIST_H
#define ZT_DB_LIST_H

#include <cstdint>

#include "ztMedia/ztMediaDB.h"

// cah_item_s, the callbacks, dbGetCAHList and dbGetCAHSessionFileList are public:
// ztMedia/ztMediaDB.h.

enum : uint32_t {
    DB_LIST_CAH_OPTIONS = DB_LIST_VIDEO_GROUPING,  // the candidate list groups videos
    DB_LIST_SESSION_OPTIONS = 0,
    // The largest member number a camera name holds (four digits): a grouped video's duration
    // asks every present member up to it, one exchange each.
    DB_GROUP_DURATION_MEMBER_MAX = 9999,
    // Members of one group walked (handed out as files, asked for durations). Camera member
    // numbers have four digits, so this only cuts a member range no camera writes, which would
    // otherwise cost up to 2^32 file callbacks for one entry of one frame.
    DB_GROUP_MEMBERS_WALKED_MAX = 65536,
};

// Sends one list query (command 0) and receives the page into `response` (DB_FRAME_MAX bytes).
// *pBytesRead gets the byte count or the transport's negative result. Returns 0 (a non-zero
// status or a token mismatch is only logged; count_returned is clamped to request_count), the
// negative result of the connection or the exchange, or -3 when fewer than 20 bytes came back.
int queryRTOSdb(int request_count, int starting_index, uint32_t token, uint8_t *response, uint32_t list_options,
                uint32_t query_options, int *pBytesRead);

// Walks the list response of `bytesRead` bytes. Returns 0 when every entry was handed out, -1 on
// an invalid content type or a group bitmap larger than the rest of the receive buffer, and the
// number of entries handed out when the response ends inside an entry. Reads nothing beyond
// `bytesRead`; a response shorter than the list header hands out nothing. An echoed
// include_more_info bit is not looked at. With an item callback, a grouped video's duration
// asks the database for every present member numbered up to DB_GROUP_DURATION_MEMBER_MAX (any
// higher ones, which no name can carry, count as 0 ms);
// with only a file callback no durations are asked for (nothing would receive them). At most
// DB_GROUP_MEMBERS_WALKED_MAX members of one group are handed out as files.
int processQueryResponse(const uint8_t *response, int bytesRead, int starting_index, cah_item_callback itemCallback,
                         void *itemContext, cah_file_callback fileCallback, void *fileContext);

#endif
