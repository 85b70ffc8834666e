// Raw frames against a running ztMediaDBd, for its tests and benchmarks: replies received into
// room larger than a frame (so an oversized one shows), an independent decoder of list pages, and
// a generator of large manifests. Every call has its own connection, so threads may call at once.
#ifndef ZT_TEST_MEDIADB_WIRE_H
#define ZT_TEST_MEDIADB_WIRE_H

#include <cstring>
#include <string>
#include <vector>

#include "ztMedia/dbProtocol.h"

using Bytes = std::vector<uint8_t>;

// Sends `len` bytes of `req` and receives `frames` reply frames; fewer when the exchange failed
// or no frame came within `timeoutMs` (0: the channel's default).
std::vector<Bytes> dbExchange(const void *req, size_t len, size_t frames = 1, int timeoutMs = 0);
// The first reply frame, empty on failure.
Bytes dbExchangeOne(const void *req, size_t len);

// A record at `offset` of a frame (all zeros when the frame is too short).
template <typename T>
T dbRecordAt(const Bytes &frame, size_t offset)
{
    T record{};
    if (frame.size() >= offset + sizeof record)
        std::memcpy(&record, frame.data() + offset, sizeof record);
    return record;
}

db_file_request dbFileRequest(uint32_t command, const char *dir, const char *file, uint32_t token = 0x77);
// The histogram reply, and a file's upload word from its content info (zeros on failure).
db_histogram_response dbHistogram(uint32_t token = 42);
uint32_t dbUploadWord(const char *dir, const char *file);
// Writes a file's upload word: the reply's status, ~0 when no reply came.
uint32_t dbWriteUploadWord(const char *dir, const char *file, uint32_t word);
// A name field as a string (up to its first zero byte).
std::string dbName(const char *field, size_t width);

// One decoded list entry; the optional parts are empty when absent.
struct ListEntry {
    db_content_info content{};
    std::string dir, file;
    Bytes gumi, pgumi;
    db_more_info more{};
    bool hasVideo = false;
    db_video_specific_info video{};
    std::vector<uint32_t> highlights;
    bool hasGroup = false;
    db_group_info group{};
    Bytes missingMap, secondMap;
};

struct ListPage {
    db_list_response_header header{};
    std::vector<ListEntry> entries;
    size_t bytes = 0;
    std::string error;  // why the frame did not decode exactly to its end; empty when it did
};

// One page of command 0 (or 11 with the time window p1..p2).
ListPage dbListPage(uint32_t start, uint32_t count, uint32_t listOptions, uint32_t queryOptions,
                    uint32_t command = DB_CMD_LIST, uint32_t p1 = 0, uint32_t p2 = 0);
// Pages through the whole list with pages of `count`; *error names the first page that went wrong.
std::vector<ListEntry> dbListAll(uint32_t count, uint32_t listOptions, uint32_t queryOptions, std::string *error,
                                 uint32_t command = DB_CMD_LIST, uint32_t p1 = 0, uint32_t p2 = 0);
// "DIR/FILE" of every entry, in order.
std::vector<std::string> dbEntryKeys(const std::vector<ListEntry> &entries);

// A generated card of `entries` entries in directories of 1000, cycling through six kinds:
// a video with highlights, a chaptered video with two further chapters, a photo, a burst of 40
// with missing and highlighted members, a raw photo and a session file. Entry i has creation time
// 1000 + i (chapters 1000 + i + k), GUMI i in its last bytes; every tenth claims a parent.
struct GeneratedCard {
    struct Row {
        std::string dir, file;
        uint32_t type = 0, cre = 0;
        std::vector<std::pair<std::string, uint32_t>> chapters;  // name, creation time
    };
    std::vector<Row> rows;
    std::string json;
};
GeneratedCard generateCard(size_t entries);

#endif
