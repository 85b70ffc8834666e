#include "mediadb/store_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

Status claimStoreFile(const std::string &path, StoreClaim *claim)
{
    *claim = StoreClaim{};
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        claim->created = fd >= 0;
        if (fd < 0 && errno == EEXIST)  // another start made it meanwhile: its lock decides
            fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (fd < 0)
        return Status::error("state " + path + ": " + std::strerror(errno));
    struct stat st {};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &st) != 0) {
        const int err = errno;
        close(fd);
        return Status::error(
            "state " + path + ": " +
            (err == EWOULDBLOCK ? "in use by another ztMediaDBd (the file is locked)" : std::strerror(err)));
    }
    claim->fd = fd;
    claim->empty = !claim->created && st.st_size == 0;
    return {};
}
