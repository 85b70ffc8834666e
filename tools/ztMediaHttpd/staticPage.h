// The media browser page: "/" (and "/index.html", "/app.js", "/style.css") answers the files
// embedded at build time, or, with --root DIR, the plain files of DIR itself (no subfolders,
// no hidden names, no links).
// Owns the root directory descriptor; serve() is safe from any number of threads.
#ifndef ZT_HTTPD_STATIC_PAGE_H
#define ZT_HTTPD_STATIC_PAGE_H

#include <cstddef>
#include <string>

#include "httpAnswer.h"

struct EmbeddedFile {
    const char *name;
    const char *contentType;
    const char *data;
    size_t size;
};
extern const EmbeddedFile kEmbeddedFiles[];
extern const size_t kEmbeddedFileCount;

class StaticPage {
public:
    StaticPage() = default;
    ~StaticPage();
    StaticPage(const StaticPage &) = delete;
    StaticPage &operator=(const StaticPage &) = delete;

    // Serves files from `dir` instead of the embedded page; false (with *why) when it is no directory.
    bool openRoot(const std::string &dir, std::string *why);
    // The answer to a GET for the decoded path `uri`; 404 for anything that is not a page file.
    HttpAnswer serve(const char *uri) const;

private:
    HttpAnswer serveFromRoot(const char *name) const;
    int mRootFd = -1;
};

#endif
