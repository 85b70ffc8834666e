// List responses for the client's list tests, fuzz seeds and benchmarks: well-formed entries are
// written by the server's own encoder (putListEntry), faults by hand with raw(), put() and putBytes().
// Plain values; use from one thread.
#ifndef ZT_TEST_DB_LIST_FRAMES_H
#define ZT_TEST_DB_LIST_FRAMES_H

#include <cstring>
#include <vector>

#include "mediadb/record_encoder.h"

struct ListFrame {
    std::vector<uint8_t> bytes;
    uint32_t entries = 0;
    uint32_t listOptions;

    explicit ListFrame(uint32_t options = DB_LIST_VIDEO_GROUPING, uint32_t token = 7) : listOptions(options)
    {
        db_list_response_header h{};
        h.header = {DB_CMD_LIST, 0, 0, 1, token};
        h.list_options = options;
        h.session_id = 0x55;
        const uint8_t *p = reinterpret_cast<const uint8_t *>(&h);
        bytes.assign(p, p + sizeof h);
    }
    template <class T>
    void put(const T &v)
    {
        const uint8_t *p = reinterpret_cast<const uint8_t *>(&v);
        bytes.insert(bytes.end(), p, p + sizeof v);
    }
    void putBytes(const std::vector<uint8_t> &b) { bytes.insert(bytes.end(), b.begin(), b.end()); }

    // An entry in 100ZTCAM with upload word 0x50003, size 1000 and mahs 0x85.
    static MediaEntry entry(uint32_t type, const char *file, uint32_t flags = 0)
    {
        MediaEntry e;
        e.type = type;
        e.dir = "100ZTCAM";
        e.file.assign(file, strnlen(file, DB_FILE_NAME_LEN));
        e.flags = flags;
        e.uploadStatus = 0x50003;
        e.size = 1000;
        e.mahs = 0x85;
        return e;
    }
    static db_content_info content(uint32_t type, const char *file, uint32_t flags = 0)
    {
        return contentInfoOf(entry(type, file, flags), -1);
    }
    // Appends `e` as the server lists it; false when it would not fit in a frame.
    bool add(const MediaEntry &e)
    {
        FrameWriter w;
        if (!putListEntry(w, e, -1, listOptions))
            return false;
        putBytes(w.frame());
        ++entries;
        return true;
    }
    // The builders below return the frame for chaining.
    ListFrame &video(const char *file, uint32_t durationMs, uint32_t highlights = 0)
    {
        MediaEntry e = entry(0, file);
        e.video.durationMs = durationMs;
        e.video.cl = 9;
        for (uint32_t i = 0; i < highlights; ++i)
            e.video.highlights.push_back(i * 1000);
        add(e);
        return *this;
    }
    ListFrame &photo(const char *file)
    {
        add(entry(4, file));
        return *this;
    }
    ListFrame &group(uint32_t type, const char *file, uint32_t group, uint32_t first, uint32_t last,
                     std::vector<uint32_t> missing = {}, uint32_t highlightCount = 0)
    {
        MediaEntry e = entry(type, file);
        e.highlightCount = highlightCount;
        e.group = {group, first, last, std::move(missing), {}, 5000};
        add(e);
        return *this;
    }
    // Appends records put by hand as one more entry.
    template <class... T>
    ListFrame &raw(const T &...records)
    {
        (put(records), ...);
        ++entries;
        return *this;
    }
    // Finishes the header: count_returned and total_entries (default: the entries added).
    std::vector<uint8_t> done(uint32_t total = 0, uint32_t count = ~0u)
    {
        db_list_response_header h;
        std::memcpy(&h, bytes.data(), sizeof h);
        h.header.count_returned = count == ~0u ? entries : count;
        h.total_entries = total ? total : entries;
        h.list_options = listOptions;  // a test may echo options the entries were not written for
        std::memcpy(bytes.data(), &h, sizeof h);
        return bytes;
    }
};

#endif
