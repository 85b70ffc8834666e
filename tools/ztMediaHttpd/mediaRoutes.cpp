// See mediaRoutes.h. The raw query goes to the responders, which read it with the project's own
// URL helpers, so it means here exactly what it means to ztMediaCGI; civetweb decodes the path.
#include "mediaRoutes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <civetweb.h>

#include "libztMediaRTOSDB/src/ztMediaOutput.h"
#include "ztMedia/ztMediaResponders.h"

namespace {

struct Route {
    const char *path;
    int (*answer)(mg_connection *conn, const char *query);
};

const Route kRoutes[] = {
    {"/media/list", generateMediaList},
    {"/media/metadata", generateMetadata},
    {"/media/paged", generatePagedList},
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
