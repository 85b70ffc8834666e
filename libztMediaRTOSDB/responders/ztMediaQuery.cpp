// Query-string parsing: URL helpers, the per-key rule and the request parsers.
#include "libztMediaRTOSDB/responders/ztMediaQuery.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "libztMediaRTOSDB/client/dbLog.h"
#include "libztMediaRTOSDB/responders/ztMediaJson.h"
#include "ztMedia/dbProtocol.h"

namespace ztmedia {
namespace {

enum : size_t { kValueMax = 64, kFieldsMax = 1024, kUnsupportedMax = sizeof(dbSettings_t::unsupported) };

struct Word {
    const char *word;
    int32_t filter;
    uint32_t options;
};
// The low byte of the options names the kind of list asked for; it is dropped before the request
// goes out.
enum : uint32_t {
    Q_HIGHLIGHTS = 1,
    Q_CLIPS = 2,
    Q_GROUPS = 4,
    Q_KIND_BITS = 0xFF,
    Q_V = RTOS_DB_QUERY_VIDEOS,
    Q_P = RTOS_DB_QUERY_PHOTOS,
    Q_NONE =
        Q_V | Q_P | RTOS_DB_QUERY_METADATA_SESSION_FILES | RTOS_DB_QUERY_RAW_PHOTOS | Q_HIGHLIGHTS | Q_CLIPS | Q_GROUPS,
};
// The "f" words of the media list.
const Word kListWords[] = {
    {"photos", 1, Q_P},
    {"video", 2, Q_V},
    {"clips", 4, Q_V | Q_P | Q_CLIPS},
    {"videoclips", 4, Q_V | Q_CLIPS},
    {"photoclips", 5, Q_P | Q_CLIPS},
    {"highlights", 6, Q_V | Q_P | Q_HIGHLIGHTS},
    {"videohighlights", 7, Q_V | Q_HIGHLIGHTS},
    {"photohighlights", 8, Q_P | Q_HIGHLIGHTS},
    {"groups", 10, Q_V | Q_P | Q_GROUPS},
    {"videogroups", 10, Q_V | Q_GROUPS},
    {"photogroups", 11, Q_P | Q_GROUPS},
    {"raw", 12, RTOS_DB_QUERY_RAW_PHOTOS},
    {"gumi", FILTER_GUMI, 0},
    {"none", 14, Q_NONE},
    {"upload", FILTER_UPLOAD, 0},
    {"offload", FILTER_OFFLOAD, 0},
};
// The "t" words of the metadata request.
const Word kDataSets[] = {
    {"videoinfo", FILTER_VIDEOINFO, 0}, {"dur", FILTER_DUR, 0},
    {"v4info", FILTER_V4INFO, 0},       {"v5info", FILTER_V5INFO, 0},
    {"upload", FILTER_META_UPLOAD, 0},  {"offload", FILTER_META_OFFLOAD, 0},
};

template <size_t N>
const Word *findWord(const Word (&table)[N], const char *value)
{
    for (const Word &w : table)
        if (std::strcmp(w.word, value) == 0)
            return &w;
    return nullptr;
}

// A decoded value as the log shows it: escaped, so that a value holding a newline or a control
// byte cannot forge or garble a line.
JsonText shown(const char *value) { return jsonText(value, ZT_JSON_TEXT_IN_MAX); }

// The status and message of a key that is present but failed (r is 0, -2 or another failure).
int keyFailure(int r, const char *key, const char *buf, const char *emptyFormat, const char *tooLongFormat)
{
    if (r == 0) {
        DBLOG(DB_LOG_ERROR, emptyFormat, key);
        return 400;
    }
    if (r == -2) {
        DBLOG(DB_LOG_ERROR, tooLongFormat, key, shown(buf).text);
        return 400;
    }
    DBLOG(DB_LOG_ERROR, "Internal failure (%d) while processing %s\n", r, key);
    return 500;
}

bool foundTwice(const char *q, size_t len, const char *key)
{
    char tmp[kFieldsMax];
    return mg_get_var2(q, len, key, tmp, sizeof tmp, 1) != -1;
}

int repeatedStatus(const char *q, size_t len, const char *key, const char *format)
{
    if (!foundTwice(q, len, key))
        return 200;
    DBLOG(DB_LOG_ERROR, format, key);
    return 400;
}

int parseFilter(const char *q, size_t len, dbSettings_t *s)
{
    char value[kValueMax];
    const int r = mg_get_var(q, len, "f", value, sizeof value);
    if (r == -1)
        return 200;
    if (r <= 0)
        return keyFailure(r, "f", value, "Field '%s' has no value\n", "Insufficient storage for %s=%s\n");
    const Word *w = findWord(kListWords, value);
    if (!w) {
        DBLOG(DB_LOG_ERROR, "%s=%s not implemented\n", "f", shown(value).text);
        return 501;
    }
    s->filter = w->filter;
    s->rtosDBQueryOptions |= w->options;
    if (w->filter == FILTER_UPLOAD)
        s->whitelistMask = dataSetMask(DS_UPLOAD);
    else if (w->filter == FILTER_OFFLOAD)
        s->whitelistMask = dataSetMask(DS_OFFLOAD);
    return repeatedStatus(q, len, "f", "Field '%s' found multiple times\n");
}

// Appends one unknown field name to `unsupported`; false once a name did not fit whole.
bool noteUnsupported(dbSettings_t *s, const char *name)
{
    const size_t used = std::strlen(s->unsupported);
    const size_t room = kUnsupportedMax - used;
    const int n = std::snprintf(s->unsupported + used, room, "%s%s", used ? "," : "", name);
    return n >= 0 && static_cast<size_t>(n) < room;
}

void logSettings(const dbSettings_t &s)
{
    if (g_logLevel < DB_LOG_DETAIL)
        return;
    DBLOG(DB_LOG_DETAIL, "pSettings->filter = 0x%08x", static_cast<unsigned>(s.filter));
    DBLOG(DB_LOG_DETAIL, "pSettings->rtosDBQueryOptions = 0x%08x", s.rtosDBQueryOptions);
    DBLOG(DB_LOG_DETAIL, "pSettings->newUploadStatus = 0x%08x", s.newUploadStatus);
    DBLOG(DB_LOG_DETAIL, "pSettings->newOffloadStatus = 0x%08x", s.newOffloadStatus);
    DBLOG(DB_LOG_DETAIL, "pSettings->clearOffloadStatus = %s", s.clearOffloadStatus ? "true" : "false");
    DBLOG(DB_LOG_DETAIL, "pSettings->dirName = '%s'", shown(s.dirName).text);
    DBLOG(DB_LOG_DETAIL, "pSettings->fileName = '%s'", shown(s.fileName).text);
    DBLOG(DB_LOG_DETAIL, "pSettings->whitelistMask = 0x%08x", static_cast<unsigned>(s.whitelistMask));
    DBLOG(DB_LOG_DETAIL, "pSettings->unsupported = '%s'", shown(s.unsupported).text);
}

int parseOffloadSet(const char *q, size_t len, const char *status, dbSettings_t *s)
{
    static const struct {
        const char *word;
        uint32_t bit;
    } kTargets[] = {{"app", 1}, {"pc", 2}, {"other", 4}};
    uint32_t bit = 0;
    for (const auto &t : kTargets)
        if (std::strcmp(t.word, status) == 0)
            bit = t.bit;
    char value[kValueMax];
    const int r = bit ? mg_get_var(q, len, "value", value, sizeof value) : -1;
    const bool set = r > 0 && std::strcmp(value, "true") == 0;
    const bool clear = r > 0 && std::strcmp(value, "false") == 0;
    if (!set && !clear) {
        DBLOG(DB_LOG_ERROR, "%s=%s is an invalid offload set request\n", "status", shown(status).text);
        return 400;
    }
    s->newOffloadStatus = bit;
    s->clearOffloadStatus = clear;
    s->filter = s->filter == FILTER_OFFLOAD ? FILTER_OFFLOAD_SET : FILTER_META_OFFLOAD_SET;
    return 200;
}

int parseUploadSet(const char *status, dbSettings_t *s)
{
    char *end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(status, &end, 10);
    if (errno != 0 || *end != 0) {
        DBLOG(DB_LOG_ERROR, "%s=%s is an invalid value\n", "status", shown(status).text);
        return 400;
    }
    s->newUploadStatus = static_cast<uint32_t>(v);  // the low 32 bits: "-1" is 0xFFFFFFFF
    s->filter = s->filter == FILTER_UPLOAD ? FILTER_UPLOAD_SET : FILTER_META_UPLOAD_SET;
    return 200;
}

bool isUploadFilter(int32_t f) { return f == FILTER_UPLOAD || f == FILTER_META_UPLOAD; }
bool isOffloadFilter(int32_t f) { return f == FILTER_OFFLOAD || f == FILTER_META_OFFLOAD; }

int parseDataSet(const char *q, size_t len, dbSettings_t *s)
{
    char value[kValueMax];
    const int r = mg_get_var(q, len, "t", value, sizeof value);
    if (r == -1) {
        DBLOG(DB_LOG_ERROR, "Field '%s' not found\n", "t");
        return 400;
    }
    if (r <= 0)
        return keyFailure(r, "t", value, "Field '%s' has no value\n", "Insufficient internal storage for %s=%s\n");
    const Word *w = findWord(kDataSets, value);
    if (!w) {
        DBLOG(DB_LOG_ERROR, "%s=%s not implemented\n", "t", shown(value).text);
        return 501;
    }
    s->filter = w->filter;
    return repeatedStatus(q, len, "t", "Required field '%s' found multiple times\n");
}

int parseQueryP(const char *q, size_t len, dbSettings_t *s)
{
    if (s->dirName[0] != 0)
        dbAssertFail("parseQueryP", __LINE__, "0 == pSettings->dirName[0]");
    if (s->fileName[0] != 0)
        dbAssertFail("parseQueryP", __LINE__, "0 == pSettings->fileName[0]");
    char value[kValueMax];
    const int r = mg_get_var(q, len, "p", value, sizeof value);
    if (r == -1) {
        DBLOG(DB_LOG_ERROR, "Required field '%s' not found\n", "p");
        return 400;
    }
    if (r <= 0)
        return keyFailure(r, "p", value, "Required field '%s' has no value\n", "Insufficient storage for %s=%s\n");
    char *save = nullptr;
    const char *dir = strtok_r(value, "/", &save);
    // The path is a database key, never opened as a path: "." and ".." are names the database
    // does not know, and a third part is not read.
    if (!dir || std::strlen(dir) >= sizeof s->dirName) {
        DBLOG(DB_LOG_ERROR, "invalid directory name: dir:'%s'\n", shown(dir ? dir : "").text);
        return 400;
    }
    const char *file = strtok_r(nullptr, "/", &save);
    if (!file || std::strlen(file) >= sizeof s->fileName) {
        DBLOG(DB_LOG_ERROR, "invalid filename: file:'%s'\n", shown(file ? file : "").text);
        return 400;
    }
    std::snprintf(s->dirName, sizeof s->dirName, "%s", dir);
    std::snprintf(s->fileName, sizeof s->fileName, "%s", file);
    const char *ext = s->fileName + 8;
    if (s->fileName[8] != '.' ||
        (std::strcmp(ext + 1, "JPG") != 0 && std::strcmp(ext + 1, "MP4") != 0 && std::strcmp(ext + 1, "360") != 0)) {
        DBLOG(DB_LOG_NOTICE, "Not a JPG or MP4 file name '%s', inferring FILE NOT_FOUND\n", shown(s->fileName).text);
        return 404;
    }
    return repeatedStatus(q, len, "p", "Required field '%s' found multiple times\n");
}

}  // namespace

int mg_strncasecmp(const char *s1, const char *s2, size_t len)
{
    int diff = 0;
    if (len > 0) {
        do {
            diff = std::tolower(static_cast<unsigned char>(*s1++)) - std::tolower(static_cast<unsigned char>(*s2++));
        } while (diff == 0 && s1[-1] != '\0' && --len > 0);
    }
    return diff;
}

int mg_url_decode(const char *src, int src_len, char *dst, int dst_len, int is_form_url_encoded)
{
    if (src_len < 1) {
        if (dst && dst_len > 0)
            dst[0] = 0;
        return 0;
    }
    if (!dst || dst_len < 2) {
        if (dst && dst_len > 0)
            dst[0] = 0;
        return -1;
    }
    auto hex = [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                           : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    };
    int i = 0, j = 0;
    for (; i < src_len && j < dst_len - 1; ++i, ++j) {
        if (i < src_len - 2 && src[i] == '%' && std::isxdigit(static_cast<unsigned char>(src[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(src[i + 2]))) {
            dst[j] = static_cast<char>(hex(src[i + 1]) << 4 | hex(src[i + 2]));
            i += 2;
        } else if (is_form_url_encoded && src[i] == '+') {
            dst[j] = ' ';
        } else {
            dst[j] = src[i];
        }
    }
    dst[j] = 0;
    return i >= src_len ? j : -1;
}

int mg_get_var2(const char *data, size_t data_len, const char *name, char *dst, size_t dst_len, size_t occurrence)
{
    if (!dst || dst_len == 0)
        return -2;
    dst[0] = 0;
    if (!data || !name || data_len == 0)
        return -1;
    const size_t name_len = std::strlen(name);
    const char *end = data + data_len;
    for (const char *p = data; p + name_len < end; ++p) {
        if ((p == data || p[-1] == '&') && p[name_len] == '=' && mg_strncasecmp(name, p, name_len) == 0 &&
            occurrence-- == 0) {
            p += name_len + 1;
            const void *amp = std::memchr(p, '&', static_cast<size_t>(end - p));
            const char *s = amp ? static_cast<const char *>(amp) : end;
            const int len = mg_url_decode(p, static_cast<int>(s - p), dst,
                                          static_cast<int>(dst_len > 0x7FFFFFFF ? 0x7FFFFFFF : dst_len), 1);
            return len == -1 ? -2 : len;
        }
    }
    return -1;
}

int mg_get_var(const char *data, size_t data_len, const char *name, char *dst, size_t dst_len)
{
    return mg_get_var2(data, data_len, name, dst, dst_len, 0);
}

dbSettings_t freshSettings(uint64_t whitelistMask)
{
    dbSettings_t s;
    std::memset(&s, 0, sizeof s);
    s.whitelistMask = whitelistMask;
    return s;
}

int parseQueryFields(const char *q, size_t len, dbSettings_t *s)
{
    if (s->unsupported[0] != 0)
        dbAssertFail("parseQueryFields", __LINE__, "0 == pSettings->unsupported[0]");
    char value[kFieldsMax];
    const int r = mg_get_var(q, len, "fields", value, sizeof value);
    if (r == -1)
        return 200;
    if (r <= 0)
        return keyFailure(r, "fields", value, "Field '%s' has no value\n", "Insufficient storage for %s=%s\n");
    char *list = value;
    if (r >= 2 && value[0] == '"' && value[r - 1] == '"') {
        value[r - 1] = 0;
        ++list;
    }
    uint64_t mask = 0;
    bool room = true;
    char *save = nullptr;
    for (char *piece = strtok_r(list, ",", &save); piece; piece = strtok_r(nullptr, ",", &save)) {
        DBLOG(DB_LOG_HEADERS, "    field %s\n", shown(piece).text);
        if (const FieldInfo *f = findFieldCode(piece)) {
            mask |= f->selects;
            continue;
        }
        if (!jsonSafe(piece, std::strlen(piece))) {  // echoed as it is, it would break the answer
            DBLOG(DB_LOG_ERROR, "%s=%s is an invalid value\n", "fields", shown(piece).text);
            return 400;
        }
        if (room)
            room = noteUnsupported(s, piece);
    }
    if (!room) {
        DBLOG(DB_LOG_ERROR, "Insufficient storage for unsupported fields");
        return 500;
    }
    DBLOG(DB_LOG_NOTICE, "fieldMask = 0x%08X, unsupported %s\n", static_cast<unsigned>(mask),
          shown(s->unsupported).text);
    s->whitelistMask = mask;
    return repeatedStatus(q, len, "fields", "Field '%s' found multiple times\n");
}

int parseQueryFolder(const char *q, size_t len, dbSettings_t *s)
{
    if (s->dirName[0] != 0)
        dbAssertFail("parseQueryFolder", __LINE__, "0 == pSettings->dirName[0]");
    char value[kValueMax];
    int r = mg_get_var(q, len, "folder", value, sizeof value);
    if (r >= static_cast<int>(sizeof s->dirName)) {
        DBLOG(DB_LOG_ERROR, "%s=%s is an invalid value\n", "folder", shown(value).text);
        return 400;
    }
    if (r > 0) {
        std::memcpy(s->dirName, value, static_cast<size_t>(r) + 1);
        const int status = repeatedStatus(q, len, "folder", "Field '%s' found multiple times\n");
        if (status != 200)
            return status;
    } else if (r != 0 && r != -1) {
        return keyFailure(r, "folder", value, "Field '%s' has no value\n", "Insufficient storage for %s=%s\n");
    }
    r = mg_get_var(q, len, "files", value, sizeof value);
    if (r > 0 && s->dirName[0] == 0) {
        DBLOG(DB_LOG_ERROR, "Required field 'folder' missing\n");
        return 400;
    }
    if (r == -1 && s->dirName[0] != 0) {
        DBLOG(DB_LOG_ERROR, "Required field '%s' missing\n", "files");
        return 400;
    }
    if (r < -1)
        return keyFailure(r, "files", value, "Field '%s' has no value\n", "Insufficient storage for %s=%s\n");
    return 200;
}

int parseQueryStatus(const char *q, size_t len, dbSettings_t *s)
{
    if (!q)
        dbAssertFail("parseQueryStatus", __LINE__, "pQueryString");
    char value[kValueMax];
    const int r = mg_get_var(q, len, "status", value, sizeof value);
    if (r == -1)
        return 200;
    if (r == 0) {
        if (!isUploadFilter(s->filter) && !isOffloadFilter(s->filter))
            return 200;
        DBLOG(DB_LOG_ERROR, "Required field '%s' has no value\n", "status");
        return 400;
    }
    if (r < 0)
        return keyFailure(r, "status", value, "Field '%s' has no value\n", "Insufficient storage for %s=%s\n");
    int status = 200;
    if (isUploadFilter(s->filter))
        status = parseUploadSet(value, s);
    else if (isOffloadFilter(s->filter))
        status = parseOffloadSet(q, len, value, s);
    if (status != 200)
        return status;
    return repeatedStatus(q, len, "status", "Required field '%s' found multiple times\n");
}

int parseMediaListQuery(const char *q, size_t len, dbSettings_t *s)
{
    int status = parseFilter(q, len, s);
    if (status == 200)
        status = parseQueryFields(q, len, s);
    if (status == 200)
        status = parseQueryFolder(q, len, s);
    if (status == 200)
        status = parseQueryStatus(q, len, s);
    if (len == 0) {
        s->rtosDBQueryOptions = DB_QUERY_CAH_LIST;
        s->whitelistMask = FM_LEGACY;
    } else {
        s->rtosDBQueryOptions &= ~Q_KIND_BITS;
    }
    logSettings(*s);
    if (status != 200)
        DBLOG(DB_LOG_ERROR, "parseMediaListQuery ret: %d, query:'%s'", status, shown(q).text);
    return status;
}

int parseMetadataQuery(const char *q, size_t len, dbSettings_t *s)
{
    if (!q)
        dbAssertFail("generateMetadata", __LINE__, "pQueryString");
    int status = parseDataSet(q, len, s);
    if (status == 200)
        status = parseQueryP(q, len, s);
    if (status == 200)
        status = parseQueryStatus(q, len, s);
    s->rtosDBQueryOptions &= ~Q_KIND_BITS;
    logSettings(*s);
    return status;
}

}  // namespace ztmedia
