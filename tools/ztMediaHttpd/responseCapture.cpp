// See responseCapture.h. The memory file keeps its size between calls' reads, and pread takes
// the bytes without moving the stdio stream's position, which fseek resets before each call.
#include "responseCapture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

ResponseCapture::~ResponseCapture()
{
    if (mFd >= 0)
        close(mFd);
}

bool ResponseCapture::install(std::string *why)
{
    int fd = memfd_create("ztMediaHttpd-response", MFD_CLOEXEC);
    if (fd < 0) {
        *why = std::string("cannot create the response memory file: ") + strerror(errno);
        return false;
    }
    fflush(stdout);
    if (dup2(fd, STDOUT_FILENO) < 0) {
        *why = std::string("cannot redirect standard output: ") + strerror(errno);
        close(fd);
        return false;
    }
    mFd = fd;
    return true;
}

bool ResponseCapture::rewind()
{
    clearerr(stdout);
    return fflush(stdout) == 0 && ftruncate(STDOUT_FILENO, 0) == 0 && fseek(stdout, 0, SEEK_SET) == 0;
}

bool ResponseCapture::run(const std::function<void()> &responder, std::string *out)
{
    std::lock_guard<std::mutex> hold(mLock);
    out->clear();
    if (mFd < 0 || !rewind())
        return false;
    responder();
    struct stat st;
    if (fflush(stdout) != 0 || fstat(mFd, &st) != 0)
        return false;
    out->resize((size_t)st.st_size);
    ssize_t got = st.st_size ? pread(mFd, &(*out)[0], out->size(), 0) : 0;
    if (got != (ssize_t)st.st_size) {
        out->clear();
        return false;
    }
    return true;
}
