// See mediaRoutes.h. Query keys are found with the project's own URL helpers (ztmedia::), so a
// query means here exactly what it means to ztMediaCGI; civetweb only decoded the path.
#include "mediaRoutes.h"

#include <cerrno>
#include <climits>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <civetweb.h>

#include "libztMediaRTOSDB/src/ztMediaOutput.h"
#include "libztMediaRTOSDB/src/ztMediaQuery.h"
#include "libztMediaRTOSDB/src/ztMediaResponders.h"

namespace {

// Reads "0x"-prefixed hexadecimal or decimal (an int may carry a '-'); the whole text must be used.
bool parseNumber(const char *text, bool isSigned, long long lo, long long hi, long long *out)
{
    const char *digits = text;
    bool negative = isSigned && *digits == '-';
    if (negative)
        ++digits;
    int base = (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) ? 16 : 10;
    if (base == 16)
        digits += 2;
    if (!((*digits >= '0' && *digits <= '9') || (base == 16 && isxdigit((unsigned char)*digits))))
        return false;
    char *end = nullptr;
    errno = 0;
    unsigned long long v = strtoull(digits, &end, base);
    if (errno != 0 || *end != '\0' || v > (unsigned long long)LLONG_MAX)
        return false;
    long long value = negative ? -(long long)v : (long long)v;
    if (value < lo || value > hi)
        return false;
    *out = value;
    return true;
}

struct PagedKey {
    const char *name;
    bool required;
    bool isSigned;
};

// In the order of PagedParams; p1 and p2 are the optional list parameters.
const PagedKey kPagedKeys[] = {
    {"max", true, true}, {"count", true, true}, {"start", true, true},
    {"lo", true, false}, {"qo", true, false}, {"p1", false, false}, {"p2", false, false},
};

int answerList(mg_connection *conn, const char *query)
{
    return generateMediaList(conn, query);
}

int answerMetadata(mg_connection *conn, const char *query)
{
    return generateMetadata(conn, query);
}

int answerPaged(mg_connection *conn, const char *query)
{
    PagedParams p;
    std::string why;
    if (!decodePagedQuery(query, &p, &why)) {
        fprintf(stderr, "ztMediaHttpd: /media/paged: %s\n", why.c_str());
        ztmedia::writeHttpErrorResponseHeader(conn, 400);
        return -1;
    }
    return dbGetPagedList(conn, p.maxRequests, p.requestCount, p.startingIndex, p.listOptions,
                          p.queryOptions, p.paramCount, p.params);
}

struct Route {
    const char *path;
    int (*answer)(mg_connection *conn, const char *query);
};

const Route kRoutes[] = {
    {"/media/list", answerList},
    {"/media/metadata", answerMetadata},
    {"/media/paged", answerPaged},
};

// The status code of a captured response ("HTTP/1.1 200 \r\n..."), 0 when there is none.
int statusOf(const std::string &response)
{
    const char prefix[] = "HTTP/1.1 ";
    if (response.compare(0, sizeof(prefix) - 1, prefix) != 0)
        return 0;
    return atoi(response.c_str() + sizeof(prefix) - 1);
}

} // namespace

bool decodePagedQuery(const char *query, PagedParams *out, std::string *why)
{
    const size_t keys = sizeof(kPagedKeys) / sizeof(kPagedKeys[0]);
    long long values[keys] = {};
    bool present[keys] = {};
    size_t len = strlen(query);
    for (size_t i = 0; i < keys; ++i) {
        const PagedKey &key = kPagedKeys[i];
        char text[32];
        int got = ztmedia::mg_get_var(query, len, key.name, text, sizeof(text));
        if (got == -1 && !key.required)
            continue;
        long long lo = key.isSigned ? INT_MIN : 0, hi = key.isSigned ? INT_MAX : UINT32_MAX;
        if (got <= 0 || !parseNumber(text, key.isSigned, lo, hi, &values[i])) {
            *why = std::string("'") + key.name +
                   (got == -1 ? "' is missing" : "' is not a number in range");
            return false;
        }
        present[i] = true;
    }
    if (present[6] && !present[5]) {
        *why = "'p2' without 'p1'";
        return false;
    }
    out->maxRequests = (int)values[0];
    out->requestCount = (int)values[1];
    out->startingIndex = (int)values[2];
    out->listOptions = (uint32_t)values[3];
    out->queryOptions = (uint32_t)values[4];
    out->paramCount = present[6] ? 2 : present[5] ? 1 : 0;
    out->params[0] = (uint32_t)values[5];
    out->params[1] = (uint32_t)values[6];
    return true;
}

int serveMediaRoute(ResponseCapture &capture, mg_connection *conn, const char *uri,
                    const char *query)
{
    for (const Route &route : kRoutes) {
        if (strcmp(uri, route.path) != 0)
            continue;
        std::string response;
        bool ok = capture.run([&] {
            // A responder that fails before its status line prints nothing: answer 500 then.
            long before = ftell(stdout);
            route.answer(conn, query ? query : "");
            if (ftell(stdout) == before)
                ztmedia::writeHttpErrorResponseHeader(conn, 500);
        }, &response);
        if (!ok) {
            mg_send_http_error(conn, 500, "%s", "Response capture failed\n");
            return 500;
        }
        mg_write(conn, response.data(), response.size());
        int status = statusOf(response);
        return status > 0 && status < 1000 ? status : 500;   // 0 would tell civetweb "not handled"
    }
    return 0;
}
