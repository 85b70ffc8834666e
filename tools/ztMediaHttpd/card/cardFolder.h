// The card folder that ztMediaHttpd --card DIR serves files from: DIR/DCIM, opened once. Files
// are opened relative to its descriptor, one checked name at a time, never through a link, so
// no request reaches outside it. Owns the descriptor; openFile() is safe from any thread.
#ifndef ZT_HTTPD_CARD_FOLDER_H
#define ZT_HTTPD_CARD_FOLDER_H

#include <string>
#include <sys/stat.h>

class CardFolder {
public:
    CardFolder() = default;
    ~CardFolder();
    CardFolder(const CardFolder &) = delete;
    CardFolder &operator=(const CardFolder &) = delete;

    // Opens DIR/DCIM; false (with *why) when it is missing or not a folder.
    bool open(const std::string &cardDir, std::string *why);
    bool isOpen() const { return mDcimFd >= 0; }

    // A regular file FOLDER/FILE of the camera's name forms, opened read-only: its descriptor
    // (the caller closes it) and *st, or -1 when there is none (a link counts as none).
    int openFile(const std::string &folder, const std::string &file, struct stat *st) const;

private:
    int mDcimFd = -1;
};

#endif
