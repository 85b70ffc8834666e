// Keeps the served card in step with a card folder: the control command's rescan, the watcher's
// changes folder by folder (only those folders read and replaced), the card leaving and coming back. Every scan reuses
// what the served card read from files whose size and modification time did not change. One change at a time (a lock of
// its own); callable from any thread. Keeps a reference to the catalog.
#ifndef ZT_MEDIADB_CARD_FOLLOW_H
#define ZT_MEDIADB_CARD_FOLLOW_H

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "mediadb/card_scan.h"
#include "mediadb/card_watch.h"
#include "mediadb/media_catalog.h"

class CardFollower {
public:
    CardFollower(std::string root, EntrySource source, MediaCatalog &catalog);
    // Reads the whole card again (the files that changed) and serves it.
    Status rescan();
    // Applies one settled change of the watcher; says what happened in one line. A change that
    // comes while the first index is still being read waits for it.
    std::string apply(const CardChange &change);
    // Serves the first index, which `index` builds, then applies the changes that waited for it
    // (their line in *applied, empty when none).
    Status serveFirst(const std::function<Status(MediaCard *)> &index, std::string *applied);

private:
    std::string applyLocked(const CardChange &change);
    // Reads the camera folders `dirs` again and replaces them alone in the served card.
    Status updateFolders(const std::set<std::string> &dirs);
    Status scanAndServe();
    Status leave();

    std::string mRoot;
    EntrySource mSource;
    MediaCatalog &mCatalog;
    std::mutex mLock;
    // The card as it was when it left: a file that comes back unchanged keeps its upload word.
    std::unique_ptr<MediaCard> mDeparted;
    // Changes seen during the first index, merged into one.
    std::unique_ptr<CardChange> mPending;
};

#endif
