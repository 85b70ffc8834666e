// See mediaRoutes.h. The raw query goes to the responders, which read it with the project's own
// URL helpers, so it means here exactly what it means to ztMediaCGI.
#include "mediaRoutes.h"

#include <cstdlib>
#include <cstring>

#include "libztMediaRTOSDB/responders/ztMediaOutput.h"
#include "libztMediaRTOSDB/responders/ztMediaQuery.h"
#include "ztMedia/ztMediaResponders.h"

struct MediaRoute {
    const char *path;
    int (*answer)(const ztMediaSink *sink, mg_connection *conn, const char *query);
};

namespace {

const MediaRoute kRoutes[] = {
    {"/media/list", generateMediaListTo},
    {"/media/metadata", generateMetadataTo},
    {"/media/paged", generatePagedListTo},
};

void appendTo(void *context, const char *data, size_t size) { static_cast<std::string *>(context)->append(data, size); }

// Splits the responder's bytes ("HTTP/1.1 200 \r\nName: value\r\n...\r\n\r\nbody"); the
// length line is dropped, the engine counts the body itself. False when they are not a response.
bool parseResponse(const std::string &bytes, HttpAnswer *answer)
{
    const char prefix[] = "HTTP/1.1 ";
    size_t headEnd = bytes.find("\r\n\r\n");
    if (bytes.compare(0, sizeof(prefix) - 1, prefix) != 0 || headEnd == std::string::npos)
        return false;
    answer->status = atoi(bytes.c_str() + sizeof(prefix) - 1);
    size_t at = bytes.find("\r\n") + 2;
    while (at < headEnd + 2) {
        size_t end = bytes.find("\r\n", at);
        size_t colon = bytes.find(": ", at);
        if (colon == std::string::npos || colon > end)
            return false;
        std::string name = bytes.substr(at, colon - at);
        if (strcasecmp(name.c_str(), "Content-Length") != 0)
            answer->headers.emplace_back(name, bytes.substr(colon + 2, end - colon - 2));
        at = end + 2;
    }
    answer->body = bytes.substr(headEnd + 4);
    return answer->status >= 100 && answer->status < 600;
}

}  // namespace

const MediaRoute *findMediaRoute(const char *path)
{
    for (const MediaRoute &route : kRoutes) {
        if (strcmp(path, route.path) == 0)
            return &route;
    }
    return nullptr;
}

bool writesState(const MediaRoute &route, const char *query)
{
    if (route.answer != generateMetadataTo)
        return false;
    dbSettings_t s = {};
    if (ztmedia::parseMetadataQuery(query, strlen(query), &s) != 200)
        return false;
    return s.filter == ztmedia::FILTER_META_UPLOAD_SET || s.filter == ztmedia::FILTER_META_OFFLOAD_SET;
}

HttpAnswer runMediaRoute(const MediaRoute &route, const char *query)
{
    std::string bytes;
    const ztMediaSink sink = {appendTo, &bytes};
    route.answer(&sink, nullptr, query);
    // A responder that fails before its status line writes nothing: answer 500 then.
    if (bytes.empty())
        ztmedia::writeHttpErrorResponseHeader(ztmedia::Reply{&sink, nullptr}, 500);
    HttpAnswer answer;
    if (!parseResponse(bytes, &answer))
        return textAnswer(500, "Malformed responder output\n");
    return answer;
}
