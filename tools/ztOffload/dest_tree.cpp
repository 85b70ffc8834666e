#include "dest_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

int openDirNoFollow(int at, const char *name)
{
    return openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

}  // namespace

DestTree::~DestTree()
{
    if (mFd >= 0)
        close(mFd);
}

bool DestTree::attach(const std::string &root, Layout layout, std::string *why)
{
    mRoot = root;
    mLayout = layout;
    if (mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) {
        *why = root + ": " + std::strerror(errno);
        return false;
    }
    mFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);  // the user's own path
    if (mFd < 0)
        *why = root + ": " + std::strerror(errno);
    return mFd >= 0;
}

std::string DestTree::folderName(const std::string &rel, const struct stat &st) const
{
    if (mLayout == Layout::Folder)
        return rel.substr(0, rel.find('/'));
    struct tm day {};
    char text[16] = "0000-00-00";
    if (localtime_r(&st.st_mtim.tv_sec, &day))
        std::strftime(text, sizeof text, "%Y-%m-%d", &day);
    return text;
}

int DestTree::openFolder(const std::string &name, std::string *why) const
{
    int fd = openDirNoFollow(mFd, name.c_str());
    if (fd < 0 && errno == ENOENT) {
        // A new folder is durable only once DEST itself is synced.
        if (mkdirat(mFd, name.c_str(), 0755) != 0 && errno != EEXIST) {
            *why = mRoot + "/" + name + ": " + std::strerror(errno);
            return -1;
        }
        fsync(mFd);
        fd = openDirNoFollow(mFd, name.c_str());
    }
    if (fd < 0)
        *why = mRoot + "/" + name + ": " + std::strerror(errno) + (errno == ELOOP ? " (a link: not followed)" : "");
    return fd;
}
