// The query-string form of the paged list, shared by the CGI program and the web host.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "libztMediaRTOSDB/client/dbLog.h"
#include "libztMediaRTOSDB/responders/ztMediaOutput.h"
#include "libztMediaRTOSDB/responders/ztMediaQuery.h"

namespace ztmedia {
namespace {

struct PagedKey {
    const char *key;
    bool required;
    uint64_t max;
};
// In the argument order of dbGetPagedList.
const PagedKey kPagedKeys[] = {
    {"max", true, 0x7FFFFFFF}, {"count", true, 0x7FFFFFFF}, {"start", true, 0x7FFFFFFF}, {"lo", true, 0xFFFFFFFF},
    {"qo", true, 0xFFFFFFFF},  {"p1", false, 0xFFFFFFFF},   {"p2", false, 0xFFFFFFFF},
};
constexpr size_t kKeys = sizeof kPagedKeys / sizeof kPagedKeys[0];

// A whole decimal or 0x-hex number up to `max`.
bool parseNumber(const char *text, uint64_t max, uint64_t *value)
{
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char *digits = hex ? text + 2 : text;
    if (!std::isxdigit(static_cast<unsigned char>(digits[0])))
        return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(digits, &end, hex ? 16 : 10);
    if (errno || *end || v > max)
        return false;
    *value = v;
    return true;
}

// 200 with the values (present[i] false for an absent optional key), or 400.
int decodePaged(const char *q, size_t len, uint64_t *values, bool *present)
{
    for (size_t i = 0; i < kKeys; ++i) {
        const PagedKey &k = kPagedKeys[i];
        char text[32];
        const int r = mg_get_var(q, len, k.key, text, sizeof text);
        present[i] = r != -1;
        values[i] = 0;
        if (r == -1 && !k.required)
            continue;
        if (r == -1) {
            DBLOG(DB_LOG_ERROR, "Required field '%s' missing\n", k.key);
            return 400;
        }
        char again[32];
        if (r <= 0 || !parseNumber(text, k.max, &values[i])) {
            DBLOG(DB_LOG_ERROR, "%s=%s is an invalid value\n", k.key, r > 0 ? text : "");
            return 400;
        }
        if (mg_get_var2(q, len, k.key, again, sizeof again, 1) != -1) {
            DBLOG(DB_LOG_ERROR, "Field '%s' found multiple times\n", k.key);
            return 400;
        }
    }
    return 200;
}

}  // namespace
}  // namespace ztmedia

int generatePagedList(mg_connection *conn, const char *queryString)
{
    return generatePagedListTo(ztMediaStdoutSink(), conn, queryString);
}

int generatePagedListTo(const ztMediaSink *sink, mg_connection *conn, const char *queryString)
{
    using namespace ztmedia;
    const Reply reply{sink, conn};
    const char *q = queryText(queryString);
    uint64_t v[kKeys];
    bool present[kKeys];
    const int status = decodePaged(q, std::strlen(q), v, present);
    if (status != 200)
        return refuseRequest(reply, status);
    const uint32_t params[2] = {static_cast<uint32_t>(v[5]), static_cast<uint32_t>(v[6])};
    // Without p1 the request is a plain list, whatever p2 says.
    const int paramCount = !present[5] ? 0 : present[6] ? 2 : 1;
    return dbGetPagedListTo(sink, conn, static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                            static_cast<uint32_t>(v[3]), static_cast<uint32_t>(v[4]), paramCount, params);
}
