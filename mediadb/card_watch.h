// --watch: follows a card folder (its root, DCIM and the camera folders) with inotify and, once
// changes have settled, reports from its own thread which camera folders changed, or that the
// card left (DCIM gone, moved, replaced) or came back. While the card is away it looks for it
// a few times a second. Start and stop from one thread; the callback runs on the watch thread.
#ifndef ZT_MEDIADB_CARD_WATCH_H
#define ZT_MEDIADB_CARD_WATCH_H

#include <sys/types.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "mediadb/media_card.h"

struct CardChange {
    enum class Kind {
        Folders,  // the camera folders in `dirs` changed (files or the folders themselves)
        All,      // read the whole card again (it came back, or events were lost)
        Gone,     // the card is not there any more
    } kind = Kind::Folders;
    std::set<std::string> dirs;
};

class CardWatch {
public:
    CardWatch(std::string root, std::function<void(const CardChange &)> onChange);
    ~CardWatch();
    CardWatch(const CardWatch &) = delete;
    CardWatch &operator=(const CardWatch &) = delete;

    // Watches the card (DCIM must be a real folder, not a link) and starts the thread.
    Status start();
    void stop();

private:
    // Quiet time that ends a burst of changes, and the longest a change waits while files keep
    // changing (a camera writing a long burst still gets rescans).
    static constexpr int kQuietMs = 300;
    static constexpr int kMaxWaitMs = 2000;
    // How often the card's presence is checked without events (while away: looked for).
    static constexpr int kCheckMs = 1000;
    static constexpr int kAwayPollMs = 200;

    void run();
    bool establish();  // (re)watches root, DCIM and its camera folders; false when DCIM is not there
    void unwatchAll();
    void watchFolders();  // adds every camera folder of DCIM not yet watched
    bool drain();         // reads pending events into the pending change; true when one mattered
    bool dcimIsOurs() const;
    void settle();  // reports what gathered since the last report

    std::string mRoot, mDcim;
    std::function<void(const CardChange &)> mOnChange;
    int mFd = -1, mStopFd = -1, mRootWd = -1, mDcimWd = -1;
    dev_t mDcimDev = 0;
    ino_t mDcimIno = 0;
    bool mPresent = false, mCheck = false, mAll = false;
    std::set<std::string> mDirs;
    std::map<int, std::string> mWatched;  // watch descriptor: camera folder name
    std::thread mThread;
};

#endif
