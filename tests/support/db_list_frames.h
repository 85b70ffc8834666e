// Builds list responses entry by entry for the client's list tests, fuzz seeds and benchmarks.
// Plain values; use from one thread.
#ifndef ZT_TEST_DB_LIST_FRAMES_H
#define ZT_TEST_DB_LIST_FRAMES_H

#include <cstring>
#include <vector>

#include "ztMedia/dbProtocol.h"

struct ListFrame {
    std::vector<uint8_t> bytes;
    uint32_t entries = 0;

    explicit ListFrame(uint32_t listOptions = DB_LIST_VIDEO_GROUPING, uint32_t token = 7)
    {
        db_list_response_header h{};
        h.header = {DB_CMD_LIST, 0, 0, 1, token};
        h.list_options = listOptions;
        h.session_id = 0x55;
        put(h);
    }
    template <class T>
    void put(const T &v)
    {
        const uint8_t *p = reinterpret_cast<const uint8_t *>(&v);
        bytes.insert(bytes.end(), p, p + sizeof v);
    }
    void putBytes(std::vector<uint8_t> b) { bytes.insert(bytes.end(), b.begin(), b.end()); }
    static db_content_info content(uint32_t type, const char *file, uint32_t flags = 0)
    {
        db_content_info c{};
        c.content_type = type;
        std::memcpy(c.dir_name, "100ZTCAM", 8);
        std::memcpy(c.file_name, file, 12);
        c.media_flags = flags;
        c.upload_status = 0x50003;
        c.file_size = 1000;
        c.mahs = 0x85;
        return c;
    }
    void video(const char *file, uint32_t durationMs, uint32_t highlights = 0)
    {
        put(content(0, file));
        db_video_specific_info v{};
        v.duration_ms = durationMs;
        v.highlight_count = highlights;
        v.cl = 9;
        put(v);
        for (uint32_t i = 0; i < highlights; ++i) put(i * 1000);
        ++entries;
    }
    void photo(const char *file) { put(content(4, file)); ++entries; }
    void group(uint32_t type, const char *file, uint32_t group, uint32_t first, uint32_t last,
               std::vector<uint8_t> bitmap = {}, uint32_t highlightCount = 0)
    {
        db_content_info c = content(type, file);
        c.highlight_count = highlightCount;
        put(c);
        db_group_info g{group, first, last, bitmap.empty() ? 0u : 1u, 5000};
        put(g);
        putBytes(bitmap);
        ++entries;
    }
    // Finishes the header: count_returned and total_entries (default: the entries added).
    std::vector<uint8_t> done(uint32_t total = 0, uint32_t count = ~0u)
    {
        db_list_response_header h;
        std::memcpy(&h, bytes.data(), sizeof h);
        h.header.count_returned = count == ~0u ? entries : count;
        h.total_entries = total ? total : entries;
        std::memcpy(bytes.data(), &h, sizeof h);
        return bytes;
    }
};

#endif
