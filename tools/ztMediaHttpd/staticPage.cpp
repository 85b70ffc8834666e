// See staticPage.h. A file of --root is opened relative to the root's descriptor with O_NOFOLLOW,
// by a single name checked against a narrow alphabet, so no request reaches outside the root.
#include "staticPage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <civetweb.h>

namespace {

const char kIndexName[] = "index.html";
const long kMaxFileBytes = 4L << 20;   // the page is small; refuse to stream anything large

// A file name of the root itself: letters, digits, '.', '-', '_', not starting with '.'.
bool isPlainName(const char *name)
{
    if (!*name || *name == '.' || strlen(name) > 64)
        return false;
    for (const char *p = name; *p; ++p) {
        if (!((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') ||
              *p == '.' || *p == '-' || *p == '_'))
            return false;
    }
    return true;
}

int notFound(mg_connection *conn)
{
    mg_send_http_error(conn, 404, "%s", "Not found\n");
    return 404;
}

} // namespace

StaticPage::~StaticPage()
{
    if (mRootFd >= 0)
        close(mRootFd);
}

bool StaticPage::openRoot(const std::string &dir, std::string *why)
{
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *why = "cannot open --root " + dir + ": " + strerror(errno);
        return false;
    }
    if (mRootFd >= 0)
        close(mRootFd);
    mRootFd = fd;
    return true;
}

int StaticPage::serve(mg_connection *conn, const char *uri) const
{
    if (uri[0] != '/')
        return notFound(conn);
    const char *name = uri[1] ? uri + 1 : kIndexName;
    if (mRootFd >= 0)
        return serveFromRoot(conn, name);
    for (size_t i = 0; i < kEmbeddedFileCount; ++i) {
        const EmbeddedFile &f = kEmbeddedFiles[i];
        if (strcmp(name, f.name) != 0)
            continue;
        mg_send_http_ok(conn, f.contentType, (long long)f.size);
        mg_write(conn, f.data, f.size);
        return 200;
    }
    return notFound(conn);
}

int StaticPage::serveFromRoot(mg_connection *conn, const char *name) const
{
    if (!isPlainName(name))
        return notFound(conn);
    int fd = openat(mRootFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return notFound(conn);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes) {
        close(fd);
        return notFound(conn);
    }
    std::string body((size_t)st.st_size, '\0');
    ssize_t got = pread(fd, &body[0], body.size(), 0);
    close(fd);
    if (got < 0) {
        mg_send_http_error(conn, 500, "%s", "Read failed\n");
        return 500;
    }
    body.resize((size_t)got);
    mg_send_http_ok(conn, mg_get_builtin_mime_type(name), (long long)body.size());
    mg_write(conn, body.data(), body.size());
    return 200;
}
