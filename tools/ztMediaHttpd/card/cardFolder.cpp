// See cardFolder.h.
#include "card/cardFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "card/cardNames.h"

CardFolder::~CardFolder()
{
    if (mDcimFd >= 0)
        close(mDcimFd);
}

bool CardFolder::open(const std::string &cardDir, std::string *why)
{
    int card = ::open(cardDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int dcim = card < 0 ? -1 : openat(card, "DCIM", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int err = errno;
    if (card >= 0)
        close(card);
    if (dcim < 0) {
        *why = "cannot open --card " + cardDir + "/DCIM: " + strerror(err);
        return false;
    }
    if (mDcimFd >= 0)
        close(mDcimFd);
    mDcimFd = dcim;
    return true;
}

int CardFolder::openFile(const std::string &folder, const std::string &file, struct stat *st) const
{
    if (mDcimFd < 0 || !isCardFolderName(folder.c_str()) || !isCameraFileName(file.c_str()))
        return -1;
    int dir = openat(mDcimFd, folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return -1;
    // O_NONBLOCK: a FIFO planted on the card must not hold the thread in open().
    int fd = openat(dir, file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    close(dir);
    if (fd < 0)
        return -1;
    if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}
