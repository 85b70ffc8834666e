// The media browser page: "/" (and "/index.html") answers the page embedded at build time, or,
// with --root DIR, the plain files of DIR itself (no subfolders, no hidden names, no links).
// Owns the root directory descriptor; serve() is safe from any number of threads.
#ifndef ZT_HTTPD_STATIC_PAGE_H
#define ZT_HTTPD_STATIC_PAGE_H

#include <string>

#include "httpAnswer.h"

extern const char kEmbeddedIndexHtml[];
extern const unsigned long kEmbeddedIndexHtmlSize;

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
