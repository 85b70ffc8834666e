#include "mediadb/manifest.h"

#include <cjson/cJSON.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "ztMedia/dbProtocol.h"

namespace {

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

// Reads the fields of one JSON object; every error names where it happened.
class Reader {
public:
    Reader(const cJSON *obj, std::string where) : mObj(obj), mWhere(std::move(where)) {}

    const std::string &where() const { return mWhere; }
    const cJSON *item(const char *key) const { return cJSON_GetObjectItemCaseSensitive(mObj, key); }

    Status fail(const char *key, const std::string &why) const
    {
        return Status::error(mWhere + " field \"" + key + "\": " + why);
    }

    // An integer in [lo, hi]; absent leaves *out as it is unless `required`.
    Status number(const char *key, double lo, double hi, double *out, bool required = false) const
    {
        const cJSON *v = item(key);
        if (!v)
            return required ? fail(key, "missing") : Status{};
        if (!cJSON_IsNumber(v) || std::floor(v->valuedouble) != v->valuedouble)
            return fail(key, "not an integer");
        if (v->valuedouble < lo || v->valuedouble > hi)
            return fail(key, "out of range");
        *out = v->valuedouble;
        return {};
    }

    Status u32(const char *key, uint32_t *out, bool required = false) const
    {
        double d = *out;
        Status s = number(key, 0, 4294967295.0, &d, required);
        *out = static_cast<uint32_t>(d);
        return s;
    }

    Status u64(const char *key, uint64_t *out) const
    {
        double d = static_cast<double>(*out);
        Status s = number(key, 0, 18446744073709549568.0, &d);  // the largest double below 2^64
        *out = static_cast<uint64_t>(d);
        return s;
    }

    Status i32(const char *key, int32_t *out) const
    {
        double d = *out;
        Status s = number(key, -2147483648.0, 2147483647.0, &d);
        *out = static_cast<int32_t>(d);
        return s;
    }

    // A string of exactly `len` characters (or 1..len when `upTo`).
    Status name(const char *key, size_t len, std::string *out, bool upTo = false) const
    {
        const cJSON *v = item(key);
        if (!v)
            return fail(key, "missing");
        if (!cJSON_IsString(v))
            return fail(key, "not a string");
        std::string s = v->valuestring;
        if (upTo ? (s.empty() || s.size() > len) : s.size() != len)
            return fail(key, quoted(s) + " is not " + (upTo ? "1 to " : "") + std::to_string(len) + " characters");
        // A name is also a path component and part of every message about its file.
        for (unsigned char c : s)
            if (c < 0x20 || c == 0x7f || c == '/')
                return fail(key, quoted(s) + " holds a control character or '/'");
        *out = s;
        return {};
    }

    Status gumi(const char *key, uint8_t out[DB_GUMI_LEN]) const
    {
        const cJSON *v = item(key);
        if (!v)
            return {};
        if (!cJSON_IsString(v) || std::string(v->valuestring).size() != 2 * DB_GUMI_LEN)
            return fail(key, "not 32 hex digits");
        for (uint32_t i = 0; i < DB_GUMI_LEN; i++) {
            int hi = hexValue(v->valuestring[2 * i]), lo = hexValue(v->valuestring[2 * i + 1]);
            if (hi < 0 || lo < 0)
                return fail(key, "not 32 hex digits");
            out[i] = static_cast<uint8_t>(hi << 4 | lo);
        }
        return {};
    }

    // An array of u32 of at most `max` items.
    Status u32List(const char *key, size_t max, std::vector<uint32_t> *out) const
    {
        const cJSON *v = item(key);
        if (!v)
            return {};
        if (!cJSON_IsArray(v))
            return fail(key, "not an array");
        if (static_cast<size_t>(cJSON_GetArraySize(v)) > max)
            return fail(key, "more than " + std::to_string(max) + " items");
        const cJSON *x;
        cJSON_ArrayForEach(x, v)
        {
            if (!cJSON_IsNumber(x) || std::floor(x->valuedouble) != x->valuedouble || x->valuedouble < 0 ||
                x->valuedouble > 4294967295.0)
                return fail(key, "items must be integers from 0 to 4294967295");
            out->push_back(static_cast<uint32_t>(x->valuedouble));
        }
        return {};
    }

    Status uploadStatus(uint32_t *out) const
    {
        Status s = u32("upload_status", out);
        if (s.ok() && (*out & DB_UPLOAD_STATE_MASK) > DB_UPLOAD_STATE_MAX)
            return fail("upload_status",
                        "upload state " + std::to_string(*out & DB_UPLOAD_STATE_MASK) + " is above 31");
        return s;
    }

    // An object-valued field; null child when absent.
    Status object(const char *key, const cJSON **out) const
    {
        *out = item(key);
        if (*out && !cJSON_IsObject(*out))
            return fail(key, "not an object");
        return {};
    }

private:
    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    const cJSON *mObj;
    std::string mWhere;
};

#define ZT_TRY(expr)                                                                                                   \
    do {                                                                                                               \
        Status zt_s_ = (expr);                                                                                         \
        if (!zt_s_.ok())                                                                                               \
            return zt_s_;                                                                                              \
    } while (0)

Status parseVideo(const Reader &parent, VideoRecord *v)
{
    const cJSON *obj;
    ZT_TRY(parent.object("video", &obj));
    if (!obj)
        return {};
    Reader r(obj, parent.where() + " video");
    static const struct {
        const char *key;
        uint32_t VideoRecord::*field;
    } kFields[] = {{"ls", &VideoRecord::ls},
                   {"duration_ms", &VideoRecord::durationMs},
                   {"profile", &VideoRecord::profile},
                   {"avc_profile", &VideoRecord::avcProfile},
                   {"cl", &VideoRecord::cl}};
    for (const auto &f : kFields)
        ZT_TRY(r.u32(f.key, &(v->*f.field)));
    return r.u32List("highlights", MANIFEST_MAX_HIGHLIGHTS, &v->highlights);
}

Status parseMore(const Reader &parent, db_more_info *m)
{
    const cJSON *obj;
    ZT_TRY(parent.object("more", &obj));
    if (!obj)
        return {};
    Reader r(obj, parent.where() + " more");
    static const struct {
        const char *key;
        int32_t db_more_info::*field;
    } kFields[] = {{"width", &db_more_info::width},
                   {"height", &db_more_info::height},
                   {"fps_num", &db_more_info::frame_rate_numerator},
                   {"fps_den", &db_more_info::frame_rate_denominator},
                   {"progressive", &db_more_info::is_progressive},
                   {"subsampled", &db_more_info::is_subsampled}};
    for (const auto &f : kFields) {
        int32_t value = m->*f.field;
        ZT_TRY(r.i32(f.key, &value));
        m->*f.field = value;
    }
    return {};
}

Status checkMembersInRange(const Reader &r, const char *key, const GroupRecord &g, const std::vector<uint32_t> &numbers)
{
    for (uint32_t n : numbers)
        if (n < g.first || n > g.last)
            return r.fail(key, "member " + std::to_string(n) + " is outside first..last");
    return {};
}

// Defaults when the manifest leaves them out: chaptered groups count from 0 (member 0 is the first
// file), the others from 1; one member number per file; size is the sum of the files.
Status parseGroup(const Reader &parent, MediaEntry *e)
{
    GroupRecord &g = e->group;
    g.first = e->type == DB_CONTENT_TYPE_CHAPTERED_VIDEO ? 0 : 1;
    g.last = g.first + static_cast<uint32_t>(e->members.size());
    g.groupSize = e->size;
    for (const MemberFile &m : e->members)
        g.groupSize += m.size;
    const cJSON *obj;
    ZT_TRY(parent.object("group", &obj));
    if (!obj)
        return {};
    Reader r(obj, parent.where() + " group");
    ZT_TRY(r.u32("group_number", &g.groupNumber));
    ZT_TRY(r.u32("first", &g.first));
    ZT_TRY(r.u32("last", &g.last));
    if (g.last < g.first)
        return r.fail("last", "below first");
    if (g.last - g.first >= MANIFEST_MAX_GROUP_SPAN)
        return r.fail("last", "group spans more than " + std::to_string(MANIFEST_MAX_GROUP_SPAN) + " members");
    ZT_TRY(r.u32List("missing", MANIFEST_MAX_GROUP_SPAN, &g.missing));
    ZT_TRY(r.u32List("highlighted", MANIFEST_MAX_GROUP_SPAN, &g.highlighted));
    ZT_TRY(checkMembersInRange(r, "missing", g, g.missing));
    ZT_TRY(checkMembersInRange(r, "highlighted", g, g.highlighted));
    return r.u64("group_size", &g.groupSize);
}

Status parseMembers(const Reader &parent, MediaEntry *e)
{
    const cJSON *list = parent.item("members");
    if (!list)
        return {};
    if (!cJSON_IsArray(list))
        return parent.fail("members", "not an array");
    const cJSON *item;
    size_t i = 0;
    cJSON_ArrayForEach(item, list)
    {
        Reader r(item, parent.where() + " members[" + std::to_string(i++) + "]");
        if (!cJSON_IsObject(item))
            return Status::error(r.where() + ": not an object");
        MemberFile m;
        m.uploadStatus = e->uploadStatus;
        ZT_TRY(r.name("file", DB_FILE_NAME_LEN, &m.file));
        ZT_TRY(r.u64("size", &m.size));
        ZT_TRY(r.u32("cre", &m.cre));
        ZT_TRY(r.u32("mod", &m.mod));
        ZT_TRY(r.uploadStatus(&m.uploadStatus));
        ZT_TRY(parseVideo(r, &m.video));
        e->members.push_back(std::move(m));
    }
    return {};
}

Status parseEntry(const cJSON *item, size_t index, MediaEntry *e, EntrySource source)
{
    std::string where = "media[" + std::to_string(index) + "]";
    if (!cJSON_IsObject(item))
        return Status::error(where + ": not an object");
    Reader first(item, where);
    ZT_TRY(first.name("dir", DB_DIR_NAME_LEN, &e->dir));
    ZT_TRY(first.name("file", DB_FILE_NAME_LEN, &e->file));
    Reader r(item, where + " (" + fileKey(e->dir, e->file) + ")");
    ZT_TRY(r.u32("type", &e->type, true));
    if (e->type > DB_CONTENT_TYPE_MAX)
        return r.fail("type", std::to_string(e->type) + " is above 14");
    static const struct {
        const char *key;
        uint32_t MediaEntry::*field;
    } kFields[] = {
        {"cre", &MediaEntry::cre},   {"mod", &MediaEntry::mod},   {"flags", &MediaEntry::flags},
        {"mahs", &MediaEntry::mahs}, {"rot", &MediaEntry::rot},   {"fov", &MediaEntry::fov},
        {"lc", &MediaEntry::lc},     {"prjn", &MediaEntry::prjn}, {"highlight_count", &MediaEntry::highlightCount}};
    for (const auto &f : kFields)
        ZT_TRY(r.u32(f.key, &(e->*f.field)));
    ZT_TRY(r.u64("size", &e->size));
    ZT_TRY(r.uploadStatus(&e->uploadStatus));
    ZT_TRY(r.gumi("gumi", e->gumi));
    ZT_TRY(r.gumi("pgumi", e->pgumi));
    ZT_TRY(parseVideo(r, &e->video));
    ZT_TRY(parseMore(r, &e->more));
    ZT_TRY(parseMembers(r, e));
    ZT_TRY(parseGroup(r, e));
    if (source == EntrySource::Drop)
        return {};
    char *json = cJSON_PrintUnformatted(item);
    e->source = json ? json : "";
    cJSON_free(json);
    return {};
}

Status parseDirs(const cJSON *dirs, MediaCard *card)
{
    if (!dirs)
        return {};
    if (!cJSON_IsObject(dirs))
        return Status::error("field \"dirs\": not an object");
    const cJSON *dir;
    cJSON_ArrayForEach(dir, dirs)
    {
        std::string where = std::string("dirs ") + quoted(dir->string);
        if (std::string(dir->string).size() != DB_DIR_NAME_LEN)
            return Status::error(where + ": directory name is not 8 characters");
        if (!cJSON_IsArray(dir))
            return Status::error(where + ": not an array");
        std::vector<DirListing> &list = card->dirs[dir->string];
        const cJSON *item;
        size_t i = 0;
        cJSON_ArrayForEach(item, dir)
        {
            Reader r(item, where + "[" + std::to_string(i++) + "]");
            if (!cJSON_IsObject(item))
                return Status::error(r.where() + ": not an object");
            DirListing d;
            ZT_TRY(r.name("file", DB_FILE_NAME_LEN, &d.file, true));
            ZT_TRY(r.u64("a", &d.first));
            ZT_TRY(r.u64("b", &d.second));
            list.push_back(d);
        }
    }
    return {};
}

Status parseCardFields(const cJSON *root, MediaCard *card)
{
    Reader r(root, "manifest");
    const cJSON *id = r.item("card_id");
    if (id) {
        if (!cJSON_IsString(id) || !checkCardId(id->valuestring))
            return r.fail("card_id", "not a one-line string of 1 to 31 characters");
        card->cardId = id->valuestring;
    }
    ZT_TRY(r.u32("version", &card->version));
    return r.u32("session_id", &card->sessionId);
}

}  // namespace

std::string quoted(const std::string &text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size() && i < 40; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c < 0x20 || c == 0x7f ? std::string(hex) : std::string(1, static_cast<char>(c));
    }
    return out + (text.size() > 40 ? "\"..." : "\"");
}

bool checkCardId(const std::string &id)
{
    if (id.empty() || id.size() > MANIFEST_MAX_CARD_ID)
        return false;
    for (unsigned char c : id)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

Status checkUniqueFiles(const MediaCard &card)
{
    std::map<std::string, size_t> seen;
    for (size_t index = 0; index < card.media.size(); index++) {
        const MediaEntry &e = card.media[index];
        std::vector<std::string> keys = {fileKey(e.dir, e.file)};
        for (const MemberFile &m : e.members)
            keys.push_back(fileKey(e.dir, m.file));
        for (const std::string &key : keys) {
            auto [it, fresh] = seen.emplace(key, index);
            if (!fresh)
                return Status::error("media[" + std::to_string(index) + "]: file " + key +
                                     " is already listed by media[" + std::to_string(it->second) + "]");
        }
    }
    return {};
}

namespace {

// Walks the top level of a manifest one value at a time, each value parsed by cJSON, so that a
// large card never stands in memory as one JSON tree: the entries of "media" are handed over one
// by one and freed, the other members are gathered into a small object.
class TopLevelWalk {
public:
    explicit TopLevelWalk(const std::string &text)
        : mBegin(text.data()), mAt(text.data()), mEnd(text.data() + text.size())
    {
    }

    // Calls onEntry for every element of the first "media" array (*sawMedia true when there was
    // one) and leaves the other members in *rest.
    Status run(const std::function<Status(const cJSON *)> &onEntry, JsonPtr *rest, bool *sawMedia)
    {
        *sawMedia = false;
        if (!take('{')) {
            JsonPtr v = value();
            return v ? Status::error("the top level is not an object") : invalid();
        }
        rest->reset(cJSON_CreateObject());
        if (!take('}')) {
            do {
                ZT_TRY(member(onEntry, rest, sawMedia));
            } while (take(','));
            if (!take('}'))
                return invalid();
        }
        skipSpace();
        return mAt == mEnd || *mAt == '\0' ? Status{} : invalid();
    }

private:
    // "key": value; the first "media" array goes element by element to onEntry.
    Status member(const std::function<Status(const cJSON *)> &onEntry, JsonPtr *rest, bool *sawMedia)
    {
        JsonPtr key = value();
        if (!key || !cJSON_IsString(key.get()) || !take(':'))
            return invalid();
        if (!*sawMedia && std::strcmp(key->valuestring, "media") == 0 && peek('[')) {
            *sawMedia = true;
            return eachElement(onEntry);
        }
        JsonPtr v = value();
        if (!v)
            return invalid();
        cJSON_AddItemToObject(rest->get(), key->valuestring, v.release());
        return {};
    }

    Status eachElement(const std::function<Status(const cJSON *)> &onEntry)
    {
        take('[');
        if (take(']'))
            return {};
        do {
            JsonPtr element = value();
            if (!element)
                return invalid();
            ZT_TRY(onEntry(element.get()));
        } while (take(','));
        return take(']') ? Status{} : invalid();
    }

    void skipSpace()
    {
        while (mAt < mEnd && (*mAt == ' ' || *mAt == '\t' || *mAt == '\n' || *mAt == '\r'))
            mAt++;
    }
    bool peek(char c)
    {
        skipSpace();
        return mAt < mEnd && *mAt == c;
    }
    bool take(char c)
    {
        if (!peek(c))
            return false;
        mAt++;
        return true;
    }
    // One value at the cursor, which then stands just past it; null when it is not valid JSON.
    JsonPtr value()
    {
        skipSpace();
        const char *end = nullptr;
        JsonPtr v(cJSON_ParseWithLengthOpts(mAt, static_cast<size_t>(mEnd - mAt), &end, false), cJSON_Delete);
        if (!v) {
            mErrorAt = cJSON_GetErrorPtr() ? cJSON_GetErrorPtr() : mAt;
            return v;
        }
        mAt = end;
        return v;
    }
    Status invalid() const
    {
        const char *at = mErrorAt ? mErrorAt : mAt;
        return Status::error("not valid JSON near byte " + std::to_string(at - mBegin));
    }

    const char *mBegin, *mAt, *mEnd;
    const char *mErrorAt = nullptr;
};

}  // namespace

Status parseManifest(const std::string &text, MediaCard *card, EntrySource source)
{
    *card = MediaCard{};
    JsonPtr rest(nullptr, cJSON_Delete);
    bool sawMedia = false;
    const auto addEntry = [&](const cJSON *item) {
        MediaEntry e;
        ZT_TRY(parseEntry(item, card->media.size(), &e, source));
        card->media.push_back(std::move(e));
        return Status{};
    };
    ZT_TRY(TopLevelWalk(text).run(addEntry, &rest, &sawMedia));
    if (!sawMedia)
        return Status::error("field \"media\": missing or not an array");
    ZT_TRY(parseCardFields(rest.get(), card));
    ZT_TRY(checkUniqueFiles(*card));
    return parseDirs(cJSON_GetObjectItemCaseSensitive(rest.get(), "dirs"), card);
}

namespace {

// Reads at most MANIFEST_MAX_BYTES: a huge file or an endless stream (/dev/zero) is refused
// before it can exhaust memory. Regular files and pipes only.
Status readBounded(const std::string &path, std::string *text)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Status::error(std::string("cannot be read: ") + std::strerror(errno));
    struct stat st {};
    std::string why;
    if (fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode)))
        why = "not a regular file or a pipe";
    else if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) > MANIFEST_MAX_BYTES)
        why = std::to_string(st.st_size) + " bytes, more than a manifest may hold (256 MiB)";
    if (why.empty())
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // opened non-blocking only for a FIFO
    char buf[65536];
    ssize_t n = 0;
    while (why.empty() && (n = read(fd, buf, sizeof buf)) != 0) {
        if (n < 0 && errno != EINTR)
            why = std::string("cannot be read: ") + std::strerror(errno);
        else if (n > 0 && text->size() + static_cast<size_t>(n) > MANIFEST_MAX_BYTES)
            why = "more than a manifest may hold (256 MiB)";
        else if (n > 0)
            text->append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return why.empty() ? Status{} : Status::error(why);
}

}  // namespace

Status loadManifestFile(const std::string &path, MediaCard *card, EntrySource source)
{
    std::string text;
    Status s = readBounded(path, &text);
    if (s.ok())
        s = parseManifest(text, card, source);
    if (!s.ok())
        s.message = "manifest " + path + ": " + s.message;
    return s;
}

Status parseMediaEntryJson(const std::string &json, size_t index, MediaEntry *entry)
{
    JsonPtr item(cJSON_ParseWithLength(json.data(), json.size()), cJSON_Delete);
    if (!item)
        return Status::error("media[" + std::to_string(index) + "]: not valid JSON");
    *entry = MediaEntry{};
    return parseEntry(item.get(), index, entry, EntrySource::Keep);
}
