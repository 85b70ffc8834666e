#include "mediadb/card_watch.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "mediadb/card_scan.h"

namespace {

constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                                   IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;

int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

CardWatch::CardWatch(std::string dcim, std::function<void()> onChange)
    : mDcim(std::move(dcim)), mOnChange(std::move(onChange))
{
}

CardWatch::~CardWatch() { stop(); }

Status CardWatch::start()
{
    mFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    mStopFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (mFd < 0 || mStopFd < 0)
        return Status::error(std::string("--watch: ") + std::strerror(errno));
    // IN_DONT_FOLLOW and IN_ONLYDIR: a DCIM that is a link or not a folder is refused.
    if (inotify_add_watch(mFd, mDcim.c_str(), kFolderEvents) < 0)
        return Status::error("--watch " + mDcim + ": " + std::strerror(errno));
    watchFolders();
    mThread = std::thread([this] { run(); });
    return {};
}

void CardWatch::stop()
{
    if (mThread.joinable()) {
        const uint64_t one = 1;
        if (write(mStopFd, &one, sizeof one) < 0) {
        }
        mThread.join();
    }
    for (int *fd : {&mFd, &mStopFd})
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
}

void CardWatch::watchFolders()
{
    DIR *d = opendir(mDcim.c_str());
    if (!d)
        return;
    while (const dirent *de = readdir(d)) {
        if (mWatched.size() >= CARD_SCAN_MAX_DIRS)
            break;
        if (!isCardFolderName(de->d_name))
            continue;
        const bool known = std::any_of(mWatched.begin(), mWatched.end(),
                                       [&](const auto &w) { return w.second == de->d_name; });
        // The flags refuse links and anything but folders, whatever the entry has become since.
        const int wd = known ? -1 : inotify_add_watch(mFd, (mDcim + "/" + de->d_name).c_str(), kFolderEvents);
        if (wd >= 0)
            mWatched[wd] = de->d_name;
    }
    closedir(d);
}

bool CardWatch::drain()
{
    alignas(inotify_event) char buf[16384];
    bool changed = false;
    ssize_t n;
    while ((n = read(mFd, buf, sizeof buf)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto *ev = reinterpret_cast<const inotify_event *>(buf + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            if (ev->mask & IN_IGNORED)
                mWatched.erase(ev->wd);  // the folder is gone
            else
                changed = true;
        }
    }
    return changed;
}

void CardWatch::run()
{
    int64_t firstChange = -1, lastChange = -1;
    for (;;) {
        int timeout = -1;
        if (firstChange >= 0) {
            const int64_t now = nowMs();
            const int64_t due = std::min(lastChange + kQuietMs, firstChange + kMaxWaitMs);
            timeout = static_cast<int>(std::max<int64_t>(0, due - now));
        }
        pollfd fds[2] = {{mFd, POLLIN, 0}, {mStopFd, POLLIN, 0}};
        const int rc = poll(fds, 2, timeout);
        if (rc < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (rc > 0 && drain()) {
            lastChange = nowMs();
            if (firstChange < 0)
                firstChange = lastChange;
        }
        if (firstChange >= 0 && nowMs() >= std::min(lastChange + kQuietMs, firstChange + kMaxWaitMs)) {
            firstChange = lastChange = -1;
            watchFolders();  // new camera folders are followed from now on
            mOnChange();
        }
    }
}
