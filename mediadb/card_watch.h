// --watch: follows a card's DCIM folder and its camera folders with inotify and, once changes have
// settled, calls back from its own thread (the server then rescans as "ztMediaDBd ctl rescan" does).
// Start and stop from one thread; the callback runs on the watch thread.
#ifndef ZT_MEDIADB_CARD_WATCH_H
#define ZT_MEDIADB_CARD_WATCH_H

#include <functional>
#include <map>
#include <string>
#include <thread>

#include "mediadb/media_card.h"

class CardWatch {
public:
    CardWatch(std::string dcim, std::function<void()> onChange);
    ~CardWatch();
    CardWatch(const CardWatch &) = delete;
    CardWatch &operator=(const CardWatch &) = delete;

    // Watches DCIM (which must be a real folder, not a link) and starts the thread.
    Status start();
    void stop();

private:
    // Quiet time that ends a burst of changes, and the longest a change waits while files keep
    // changing (a camera writing a long burst still gets rescans).
    static constexpr int kQuietMs = 300;
    static constexpr int kMaxWaitMs = 2000;

    void run();
    void watchFolders();  // adds every camera folder of DCIM not yet watched
    bool drain();         // reads pending events; true when one mattered

    std::string mDcim;
    std::function<void()> mOnChange;
    int mFd = -1, mStopFd = -1;
    std::map<int, std::string> mWatched;  // watch descriptor: camera folder name
    std::thread mThread;
};

#endif
