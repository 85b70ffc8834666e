#include "tests/support/mediadb_wire.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstdio>

#include "platform/ztipc.h"

namespace {

constexpr size_t kRoom = 4 * DB_FRAME_MAX;  // a reply over one frame is received whole

bool oneOf(uint32_t type, std::initializer_list<uint32_t> types)
{
    return std::find(types.begin(), types.end(), type) != types.end();
}

// Walks a frame; every take fails once the frame has no room left for it.
struct Cursor {
    const Bytes &bytes;
    size_t offset;
    bool take(void *dst, size_t n)
    {
        if (offset + n > bytes.size())
            return false;
        if (n)  // an empty vector's data() may be null
            std::memcpy(dst, bytes.data() + offset, n);
        offset += n;
        return true;
    }
    bool take(Bytes *dst, size_t n)
    {
        dst->resize(n);
        return take(dst->data(), n);
    }
};

bool decodeBlock(Cursor &c, uint32_t listOptions, ListEntry *e)
{
    uint32_t t = e->content.content_type;
    bool chapterRow = oneOf(t, {1, 2}) && !(listOptions & DB_LIST_VIDEO_GROUPING);
    if (oneOf(t, {0, 3, 12, 13, 14}) || chapterRow) {
        e->hasVideo = true;
        if (!c.take(&e->video, sizeof e->video))
            return false;
        e->highlights.resize(e->video.highlight_count);
        return c.take(e->highlights.data(), e->highlights.size() * sizeof(uint32_t));
    }
    if (!oneOf(t, {1, 2, 5, 6, 8, 10}))
        return true;
    e->hasGroup = true;
    if (!c.take(&e->group, sizeof e->group))
        return false;
    size_t mapBytes = ((e->group.last_number - e->group.first_number) / 32 + 1) * 4;
    if (e->group.num_missing && !c.take(&e->missingMap, mapBytes))
        return false;
    return !oneOf(t, {5, 6, 8, 10}) || !e->content.highlight_count || c.take(&e->secondMap, mapBytes);
}

bool decodeEntry(Cursor &c, uint32_t listOptions, ListEntry *e)
{
    if (!c.take(&e->content, sizeof e->content))
        return false;
    e->dir = dbName(e->content.dir_name, DB_DIR_NAME_LEN);
    e->file = dbName(e->content.file_name, DB_FILE_NAME_LEN);
    if ((listOptions & DB_LIST_INCLUDE_GUMI) &&
        (!c.take(&e->gumi, DB_GUMI_LEN) ||
         ((e->content.media_flags & DB_MEDIA_FLAG_PARENT_GUMI) && !c.take(&e->pgumi, DB_GUMI_LEN))))
        return false;
    if ((listOptions & DB_LIST_INCLUDE_MORE_INFO) && !c.take(&e->more, sizeof e->more))
        return false;
    return decodeBlock(c, listOptions, e);
}

}  // namespace

std::vector<Bytes> dbExchange(const void *req, size_t len, size_t frames, int timeoutMs)
{
    std::vector<Bytes> out;
    rtosConnection_t c{};
    if (ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &c) < 0)
        return out;
    timeval tv{timeoutMs / 1000, timeoutMs % 1000 * 1000};
    if (timeoutMs > 0)
        setsockopt(c.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (ztIpcSend(&c, req, len) >= 0) {
        for (size_t i = 0; i < frames; i++) {
            Bytes buf(kRoom);
            int n = ztIpcReceiveInto(&c, buf.data(), buf.size());
            if (n < 0)
                break;
            buf.resize(static_cast<size_t>(n));
            out.push_back(std::move(buf));
        }
    }
    ztIpcDestroy(&c);
    return out;
}

Bytes dbExchangeOne(const void *req, size_t len)
{
    std::vector<Bytes> frames = dbExchange(req, len);
    return frames.empty() ? Bytes() : frames[0];
}

db_file_request dbFileRequest(uint32_t command, const char *dir, const char *file, uint32_t token)
{
    db_file_request r{{command, 1, token}, {}, {}};
    std::memcpy(r.dir_name, dir, std::min<size_t>(std::strlen(dir), DB_DIR_NAME_LEN));
    std::memcpy(r.file_name, file, std::min<size_t>(std::strlen(file), DB_FILE_NAME_LEN));
    return r;
}

db_histogram_response dbHistogram(uint32_t token)
{
    const db_request_header req{DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, token};
    return dbRecordAt<db_histogram_response>(dbExchangeOne(&req, sizeof req), 0);
}

uint32_t dbUploadWord(const char *dir, const char *file)
{
    const db_file_request req = dbFileRequest(DB_CMD_GET_CONTENT_INFO, dir, file);
    return dbRecordAt<db_content_info>(dbExchangeOne(&req, sizeof req), sizeof(db_response_header)).upload_status;
}

uint32_t dbWriteUploadWord(const char *dir, const char *file, uint32_t word)
{
    const db_file_request f = dbFileRequest(DB_CMD_WRITE_UPLOAD_STATUS, dir, file, 9);
    db_status_write_request w{f.header, {}, {}, word};
    std::memcpy(w.dir_name, f.dir_name, DB_DIR_NAME_LEN);
    std::memcpy(w.file_name, f.file_name, DB_FILE_NAME_LEN);
    const Bytes reply = dbExchangeOne(&w, sizeof w);
    return reply.size() < sizeof(db_response_header) ? ~0u : dbRecordAt<db_response_header>(reply, 0).status;
}

std::string dbName(const char *field, size_t width) { return std::string(field, strnlen(field, width)); }

ListPage dbListPage(uint32_t start, uint32_t count, uint32_t listOptions, uint32_t queryOptions, uint32_t command,
                    uint32_t p1, uint32_t p2)
{
    db_list_params_request req{{{command, count, 0x5150 + start}, start, listOptions, queryOptions}, p1, p2};
    size_t len = command == DB_CMD_LIST_WITH_PARAMS ? sizeof req : sizeof req.list;
    Bytes frame = dbExchangeOne(&req, len);
    ListPage page;
    page.bytes = frame.size();
    Cursor c{frame, 0};
    if (!c.take(&page.header, sizeof page.header)) {
        page.error = "reply of " + std::to_string(frame.size()) + " bytes";
        return page;
    }
    for (uint32_t i = 0; i < page.header.header.count_returned; i++) {
        ListEntry e;
        if (!decodeEntry(c, listOptions, &e)) {
            page.error = "entry " + std::to_string(i) + " runs past the frame";
            return page;
        }
        page.entries.push_back(std::move(e));
    }
    if (c.offset != frame.size())
        page.error = std::to_string(frame.size() - c.offset) + " bytes after the last entry";
    return page;
}

std::vector<ListEntry> dbListAll(uint32_t count, uint32_t listOptions, uint32_t queryOptions, std::string *error,
                                 uint32_t command, uint32_t p1, uint32_t p2)
{
    std::vector<ListEntry> all;
    for (uint32_t start = 0;;) {
        ListPage page = dbListPage(start, count, listOptions, queryOptions, command, p1, p2);
        std::string where = "page at " + std::to_string(start) + ": ";
        if (page.error.empty() && page.bytes > DB_FRAME_MAX)
            page.error = std::to_string(page.bytes) + " bytes";
        if (page.error.empty() && page.entries.empty() && start < page.header.total_entries)
            page.error = "no entry although the list goes on";
        if (!page.error.empty()) {
            *error = where + page.error;
            return all;
        }
        all.insert(all.end(), page.entries.begin(), page.entries.end());
        start += static_cast<uint32_t>(page.entries.size());
        if (start >= page.header.total_entries)
            return all;
    }
}

std::vector<std::string> dbEntryKeys(const std::vector<ListEntry> &entries)
{
    std::vector<std::string> keys;
    keys.reserve(entries.size());
    for (const ListEntry &e : entries)
        keys.push_back(e.dir + "/" + e.file);
    return keys;
}

GeneratedCard generateCard(size_t entries)
{
    static const struct {
        const char *prefix, *suffix;
        uint32_t type;
    } kKinds[] = {{"ZX01", "MP4", 0}, {"ZX01", "MP4", 2}, {"ZCAM", "JPG", 4},
                  {"ZB01", "JPG", 5}, {"ZRAW", "GPR", 9}, {"ZSES", "BIN", 7}};
    GeneratedCard card;
    card.json = R"({"card_id":"GEN","version":3,"session_id":9,"media":[)";
    char text[1024];
    for (size_t i = 0; i < entries; i++) {
        const auto &k = kKinds[i % 6];
        std::snprintf(text, sizeof text, "%s%04u.%s", k.prefix, static_cast<unsigned>(i % 10000), k.suffix);
        GeneratedCard::Row row{std::to_string(100 + i / 1000) + "ZTCAM", text, k.type, uint32_t(1000 + i), {}};
        uint32_t flags =
            (k.type == 9 ? uint32_t{DB_MEDIA_FLAG_RAW} : 0u) | (i % 10 == 9 ? uint32_t{DB_MEDIA_FLAG_PARENT_GUMI} : 0u);
        std::snprintf(text, sizeof text,
                      R"(%s{"dir":"%s","file":"%s","type":%u,"cre":%u,"size":%zu,"flags":%u,)"
                      R"("gumi":"A0000000000000000000%012zX","pgumi":"B0000000000000000000%012zX",)"
                      R"("more":{"width":%zu,"height":%zu},"video":{"duration_ms":%zu,"highlights":[)",
                      i ? "," : "", row.dir.c_str(), row.file.c_str(), k.type, row.cre, 1000 + i, flags, i, i, i, i + 1,
                      1500 + i);
        card.json += text;
        for (size_t h = 0; h < (i % 7) * 10; h++)
            card.json += (h ? "," : "") + std::to_string(h * 100);
        card.json += "]}";
        if (k.type == 5)
            card.json += R"(,"highlight_count":1,"group":{"group_number":)" + std::to_string(i) +
                         R"(,"first":1,"last":40,"missing":[3,7],"highlighted":[2]})";
        if (k.type == 2) {
            card.json += R"(,"members":[)";
            for (uint32_t m = 2; m <= 3; m++) {
                std::snprintf(text, sizeof text, "ZX%02u%04u.MP4", m, static_cast<unsigned>(i % 10000));
                row.chapters.push_back({text, row.cre + m - 1});
                card.json += std::string(m > 2 ? "," : "") + R"({"file":")" + text + R"(","cre":)" +
                             std::to_string(row.cre + m - 1) + R"(,"video":{"duration_ms":2000}})";
            }
            card.json += "]";
        }
        card.json += "}";
        card.rows.push_back(std::move(row));
    }
    card.json += "]}";
    return card;
}
