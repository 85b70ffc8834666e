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
#include <unordered_set>

#include "mediadb/card_scan.h"

namespace {

constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
constexpr uint32_t kRootEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
constexpr uint32_t kSelfGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

CardWatch::CardWatch(std::string root, std::function<void(const CardChange &)> onChange)
    : mRoot(std::move(root)), mDcim(cardDcimPath(mRoot)), mOnChange(std::move(onChange))
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
    if (!establish())
        return Status::error("--watch " + mDcim + ": " + std::strerror(errno));
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

void CardWatch::unwatchAll()
{
    for (int wd : {mRootWd, mDcimWd})
        if (wd >= 0)
            inotify_rm_watch(mFd, wd);
    for (const auto &w : mWatched)
        inotify_rm_watch(mFd, w.first);
    mWatched.clear();
    mRootWd = mDcimWd = -1;
}

bool CardWatch::establish()
{
    unwatchAll();
    mRootWd = inotify_add_watch(mFd, mRoot.c_str(), kRootEvents);
    mDcimWd = inotify_add_watch(mFd, mDcim.c_str(), kFolderEvents);
    struct stat st {};
    mPresent = mDcimWd >= 0 && lstat(mDcim.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (!mPresent)
        return false;
    mDcimDev = st.st_dev;
    mDcimIno = st.st_ino;
    watchFolders();
    return true;
}

bool CardWatch::dcimIsOurs() const
{
    struct stat st {};
    return lstat(mDcim.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_dev == mDcimDev && st.st_ino == mDcimIno;
}

void CardWatch::watchFolders()
{
    DIR *d = opendir(mDcim.c_str());
    if (!d)
        return;
    std::unordered_set<std::string> known;  // a name lookup per entry, not a walk of the watches
    for (const auto &w : mWatched)
        known.insert(w.second);
    while (const dirent *de = readdir(d)) {
        if (mWatched.size() >= CARD_SCAN_MAX_DIRS)
            break;
        if (!isCardFolderName(de->d_name) || known.count(de->d_name))
            continue;
        // The flags refuse links and anything but folders, whatever the entry has become since.
        const int wd = inotify_add_watch(mFd, (mDcim + "/" + de->d_name).c_str(), kFolderEvents);
        if (wd >= 0) {
            mWatched[wd] = de->d_name;
            known.insert(de->d_name);
        }
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
            const char *name = ev->len ? ev->name : "";
            auto folder = mWatched.find(ev->wd);
            changed = true;
            if (ev->mask & IN_Q_OVERFLOW) {
                mAll = true;
            } else if (ev->wd == mRootWd || (ev->wd == mDcimWd && (ev->mask & kSelfGone))) {
                mCheck = true;  // the card itself may have gone or come back
                if (ev->mask & IN_IGNORED)
                    (ev->wd == mRootWd ? mRootWd : mDcimWd) = -1;
            } else if (ev->wd == mDcimWd) {
                if (isCardFolderName(name))
                    mDirs.insert(name);  // a folder created, removed or renamed
            } else if (folder != mWatched.end()) {
                mDirs.insert(folder->second);
                if (ev->mask & IN_IGNORED)
                    mWatched.erase(folder);  // the folder is gone
            } else {
                changed = false;  // a watch already dropped
            }
        }
    }
    return changed;
}

void CardWatch::settle()
{
    CardChange change;
    const bool wasPresent = mPresent;
    if (mPresent && (!mCheck || dcimIsOurs())) {
        watchFolders();  // new camera folders are followed from now on
        change.kind = mAll ? CardChange::Kind::All : CardChange::Kind::Folders;
        change.dirs.swap(mDirs);
    } else if (establish()) {
        change.kind = CardChange::Kind::All;  // back, or replaced by another: read it whole
    } else {
        unwatchAll();
        mPresent = false;
        change.kind = CardChange::Kind::Gone;
    }
    const bool report = (change.kind != CardChange::Kind::Folders || !change.dirs.empty()) &&
                        (change.kind != CardChange::Kind::Gone || wasPresent);
    mDirs.clear();
    mAll = mCheck = false;
    if (report)
        mOnChange(change);
}

void CardWatch::run()
{
    int64_t firstChange = -1, lastChange = -1, lastCheck = nowMs();
    for (;;) {
        const int64_t now = nowMs();
        // While changes settle only their quiet time is due: the presence check waits for it
        // (were it due meanwhile, a zero time-out would spin until the changes settled).
        const int64_t due = firstChange >= 0 ? std::min(lastChange + kQuietMs, firstChange + kMaxWaitMs)
                                             : lastCheck + (mPresent ? kCheckMs : kAwayPollMs);
        pollfd fds[2] = {{mFd, POLLIN, 0}, {mStopFd, POLLIN, 0}};
        const int rc = poll(fds, 2, static_cast<int>(std::max<int64_t>(0, due - now)));
        if (rc < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (rc > 0 && drain()) {
            lastChange = nowMs();
            if (firstChange < 0)
                firstChange = lastChange;
        }
        const int64_t after = nowMs();
        if (firstChange >= 0 && after >= std::min(lastChange + kQuietMs, firstChange + kMaxWaitMs)) {
            firstChange = lastChange = -1;
            settle();
        } else if (firstChange < 0 && after >= lastCheck + (mPresent ? kCheckMs : kAwayPollMs)) {
            lastCheck = after;
            // Without events: is the card still the one watched, or is the missing card back?
            struct stat st {};
            const bool there = lstat(mDcim.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            if (mPresent ? !dcimIsOurs() : there) {
                mCheck = true;
                settle();
            }
        }
    }
}
