// Opens card files by walking CARD, DCIM, DIR, FILE one descriptor at a time with O_NOFOLLOW, so
// a link anywhere under the card is refused rather than followed. Nothing is held open between
// files: a removed card shows up as a missing DCIM on the next file.
#include "card_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cah/CAHMediaList.h"

namespace {

constexpr size_t kDirLen = 8, kFileLen = 12;

// Camera names: letters, digits, '_' and '-', and in file names '.', never first.
bool safeName(const std::string &s, size_t len, bool dotAllowed)
{
    if (s.size() != len || s[0] == '.')
        return false;
    for (char c : s) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '-' || (dotAllowed && c == '.');
        if (!ok)
            return false;
    }
    return true;
}

int openDirAt(int at, const char *name) { return openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); }

}  // namespace

bool cardRelativePath(const std::string &handedOut, std::string *rel)
{
    const std::string &prefix = CAHMediaList::pathPrefix;
    if (handedOut.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::string r = handedOut.substr(prefix.size());
    if (r.size() != kDirLen + 1 + kFileLen || r[kDirLen] != '/' || !safeName(r.substr(0, kDirLen), kDirLen, false) ||
        !safeName(r.substr(kDirLen + 1), kFileLen, true))
        return false;
    *rel = r;
    return true;
}

CardFile::~CardFile()
{
    if (mFd >= 0)
        close(mFd);
}

void CardFile::reset(int fd, const struct stat &st)
{
    if (mFd >= 0)
        close(mFd);
    mFd = fd;
    mStat = st;
}

int CardSource::openDcim() const
{
    const int root = ::open(mRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);  // the user's own path
    if (root < 0)
        return -1;
    const int dcim = openDirAt(root, "DCIM");
    close(root);
    return dcim;
}

bool CardSource::attach(const std::string &root, std::string *why)
{
    mRoot = root;
    const int dcim = openDcim();
    struct stat st {};
    if (dcim < 0 || fstat(dcim, &st) != 0) {
        *why = mRoot + "/DCIM: " + std::strerror(errno) + " (the card folder holds DCIM/, a real folder)";
        if (dcim >= 0)
            close(dcim);
        return false;
    }
    close(dcim);
    mDev = st.st_dev;
    mIno = st.st_ino;
    return true;
}

bool CardSource::present() const
{
    const int dcim = openDcim();
    struct stat st {};
    const bool same = dcim >= 0 && fstat(dcim, &st) == 0 && st.st_dev == mDev && st.st_ino == mIno;
    if (dcim >= 0)
        close(dcim);
    return same;
}

CardOpen CardSource::open(const std::string &rel, CardFile *out, std::string *why) const
{
    const int dcim = openDcim();
    const int dir = dcim < 0 ? -1 : openDirAt(dcim, rel.substr(0, kDirLen).c_str());
    const int fd = dir < 0 ? -1 : openat(dir, rel.c_str() + kDirLen + 1, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const int err = errno;
    if (dir >= 0)
        close(dir);
    if (dcim >= 0)
        close(dcim);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        *why = std::strerror(fd < 0 ? err : errno);
        if (fd >= 0)
            close(fd);
        return err == ENOENT                    ? CardOpen::Missing
               : err == ELOOP || err == ENOTDIR ? CardOpen::NotRegular
                                                : CardOpen::Failed;
    }
    out->reset(fd, st);
    if (!S_ISREG(st.st_mode)) {
        *why = "not a regular file";
        return CardOpen::NotRegular;
    }
    return CardOpen::Ok;
}
