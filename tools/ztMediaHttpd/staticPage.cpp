// See staticPage.h. A file of --root is opened relative to the root's descriptor with O_NOFOLLOW,
// by a single name checked against a narrow alphabet, so no request reaches outside the root.
#include "staticPage.h"

#include <cerrno>
#include <cstring>
#include <strings.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kIndexName[] = "index.html";
const long kMaxFileBytes = 4L << 20;  // the page is small; refuse to stream anything large

// A file name of the root itself: letters, digits, '.', '-', '_', not starting with '.'.
bool isPlainName(const char *name)
{
    if (!*name || *name == '.' || strlen(name) > 64)
        return false;
    for (const char *p = name; *p; ++p) {
        if (!((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || *p == '.' ||
              *p == '-' || *p == '_'))
            return false;
    }
    return true;
}

// The content types of the files a page is made of; anything else is sent as bytes.
const char *contentTypeOf(const char *name)
{
    static const struct {
        const char *suffix;
        const char *type;
    } kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".css", "text/css"},
        {".js", "text/javascript"},
        {".json", "application/json"},
        {".svg", "image/svg+xml"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".ico", "image/x-icon"},
        {".txt", "text/plain; charset=utf-8"},
    };
    const size_t length = strlen(name);
    for (const auto &t : kTypes) {
        const size_t n = strlen(t.suffix);
        if (length > n && strcasecmp(name + length - n, t.suffix) == 0)
            return t.type;
    }
    return "application/octet-stream";
}

HttpAnswer fileAnswer(const char *contentType, std::string body)
{
    HttpAnswer answer;
    answer.status = 200;
    answer.headers.emplace_back("Content-Type", contentType);
    answer.body = std::move(body);
    return answer;
}

HttpAnswer notFound() { return textAnswer(404, "Not found\n"); }

}  // namespace

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

HttpAnswer StaticPage::serve(const char *uri) const
{
    if (uri[0] != '/')
        return notFound();
    const char *name = uri[1] ? uri + 1 : kIndexName;
    if (mRootFd >= 0)
        return serveFromRoot(name);
    for (size_t i = 0; i < kEmbeddedFileCount; ++i) {
        const EmbeddedFile &f = kEmbeddedFiles[i];
        if (strcmp(name, f.name) == 0)
            return fileAnswer(f.contentType, std::string(f.data, f.size));
    }
    return notFound();
}

HttpAnswer StaticPage::serveFromRoot(const char *name) const
{
    if (!isPlainName(name))
        return notFound();
    int fd = openat(mRootFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return notFound();
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes) {
        close(fd);
        return notFound();
    }
    std::string body((size_t)st.st_size, '\0');
    ssize_t got = pread(fd, &body[0], body.size(), 0);
    close(fd);
    if (got < 0)
        return textAnswer(500, "Read failed\n");
    body.resize((size_t)got);
    return fileAnswer(contentTypeOf(name), std::move(body));
}
