// The one reader of list entries off the wire, shared by the client's list queries, the list
// responders and the grouped-video members: it walks the records of one reply (left in the
// caller's buffer, every read checked against the bytes that arrived) and hands out each entry
// with pointers into that buffer. It also holds the level-4 dumps of a list request and of a
// list response header. Stateless but for its cursor; valid while the reply buffer is.
#ifndef ZT_DB_LIST_ENTRY_H
#define ZT_DB_LIST_ENTRY_H

#include <cstddef>
#include <cstdint>

#include "ztMedia/dbProtocol.h"

// One entry as the wire carries it.
struct DbListEntry {
    db_content_info ci;
    const uint8_t *gumi;   // null unless the reply carries GUMIs
    const uint8_t *pgumi;  // null unless also media_flags bit 0
    bool hasVideo;
    db_video_specific_info vsi;
    const uint8_t *highlights;  // vsi.highlight_count little-endian words
    bool hasGroup;
    db_group_info gi;
    uint32_t bitmapBytes;
    const uint8_t *missing;  // null when num_missing is 0
    const uint8_t *second;   // highlighted members of a photo group; null when none
};

// Ok; Short: the reply ends inside the entry; Invalid: a content type above the table (the
// not-found type passes, without a block) or a group bitmap larger than the rest of the
// receive buffer could hold.
enum class DbEntryRead : uint8_t { Ok, Short, Invalid };

class DbListReader {
public:
    // The entries of a list response of `bytes` bytes (header zeros where it did not arrive).
    // Only the echoed list_options bits in `honoured` shape the entries: the candidate list
    // never asks for the extra-information record and does not look for one.
    DbListReader(const uint8_t *response, int bytes, uint32_t honoured = ~0u);
    // The records of a multi-file video reply: each entry a content and a video record.
    static DbListReader videoRecords(const uint8_t *response, int bytes);

    const db_list_response_header &header() const { return mHeader; }
    DbEntryRead next(DbListEntry *e);

private:
    DbListReader(const uint8_t *response, int bytes, uint32_t honoured, size_t headerBytes);
    const uint8_t *take(uint64_t n);
    DbEntryRead takeBitmap(uint32_t size, const uint8_t **out);
    DbEntryRead readVideo(DbListEntry *e);
    DbEntryRead readGroup(DbListEntry *e, const DbContentTypeInfo &info);

    const uint8_t *mBase;
    size_t mOff;
    size_t mEnd;
    uint32_t mOptions = 0;
    bool mVideoRecords = false;
    db_list_response_header mHeader;
};

// The level-4 dumps of a list request (with its two parameters when `params` is not null) and
// of a list response header.
void dbLogListRequest(const db_list_request &r, const uint32_t *params);
void dbLogListResponse(const db_list_response_header &h);

#endif
