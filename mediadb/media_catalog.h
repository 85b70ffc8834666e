// The card the server serves: lookups by file name and GUMI, list views under query options,
// upload-state counters kept as words change, status writes that are committed to the state store
// before they are acknowledged, rescans. Thread-safe: readers share a lock through a CatalogView
// (the only way to the card and its indexes); writers take turns, and a rescan builds the new card
// and its indexes beside the one being served, which is swapped out only at the end. The catalog
// keeps a pointer to the store it is given; the caller owns both.
#ifndef ZT_MEDIADB_MEDIA_CATALOG_H
#define ZT_MEDIADB_MEDIA_CATALOG_H

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <tuple>
#include <string>
#include <unordered_map>
#include <vector>

#include "mediadb/media_card.h"

class StateStore;

// What a list query selects.
struct ListQuery {
    uint32_t listOptions = 0, queryOptions = 0;
    uint32_t timeFrom = 0, timeTo = 0;  // creation-time window; 0 leaves a bound open
};

class MediaCatalog;

// A read view of the catalog: it holds the shared lock for as long as it lives, so the card and
// its indexes can be read only through one. Move-only; keep it for one request.
class CatalogView {
public:
    const MediaCard &card() const;
    bool find(const std::string &dir, const std::string &file, FileRef *ref) const;
    bool findGumi(const uint8_t gumi[DB_GUMI_LEN], FileRef *ref) const;
    using Rows = std::shared_ptr<const std::vector<FileRef>>;
    // The rows of the list under `q`. Kept until the card is replaced, so paging through a long
    // list costs one page per request, not the whole card.
    Rows listRows(const ListQuery &q) const;
    // Files per upload state (low 16 bits of the word; states above 31 are not counted).
    void histogram(uint32_t buckets[DB_HISTOGRAM_BUCKETS]) const;

private:
    friend class MediaCatalog;
    explicit CatalogView(const MediaCatalog &catalog);

    const MediaCatalog &mCatalog;
    std::shared_lock<std::shared_mutex> mLock;
};

class MediaCatalog {
public:
    // `store` may be null (nothing persisted). With `indexing`, `card` only stands in (its
    // identifier and version words) until serveIndexed() hands over the first index.
    MediaCatalog(MediaCard card, StateStore *store, bool indexing = false);

    // The card under the shared lock, until the view goes.
    CatalogView view() const { return CatalogView(*this); }
    uint32_t version() const;
    // True until the first index is served: requests are answered busy meanwhile.
    bool indexing() const { return mIndexing.load(); }

    // Stores a file's upload word; DB_STATUS_* result.
    uint32_t writeStatus(const std::string &dir, const std::string &file, uint32_t word);
    // Replaces the card, carrying upload words over and moving the version words when the set of
    // files changed. Persists it.
    Status replace(MediaCard next);
    // Serves the first index of the card as it is (already carried over from any stored card)
    // and persists it; ends indexing().
    Status serveIndexed(MediaCard card);
    // Replaces the folders the updates name (entries, listings, facts), carrying upload words over
    // and moving the version words once when the set of files changed; persists those folders
    // alone. Costs what the folders hold, not the card. *applied is false, and nothing changes,
    // when the card's entries are not kept folder by folder in name order (a manifest's may not be).
    Status updateFolders(std::vector<FolderUpdate> updates, bool *applied);
    // Moves both version words on, as a change of media would.
    Status bumpVersion();

private:
    friend class CatalogView;
    using Rows = CatalogView::Rows;
    using RowsKey = std::tuple<bool, uint32_t, uint32_t, uint32_t>;  // grouping, query bits, window

    // One card with its indexes, counters and list rows: built whole, then changed only under
    // the exclusive lock (upload words and their counters, folders replaced).
    struct State {
        MediaCard card;
        // A card kept folder by folder in name order (what a scan gives) has each folder's first
        // entry here, and byName's entries count from there, so replacing one folder moves no
        // other folder's names.
        bool byFolder = false;
        std::map<std::string, size_t> folderStart;  // folders with entries
        std::unordered_map<std::string, FileRef> byName;
        std::unordered_map<std::string, size_t> byGumi;
        uint32_t histogram[DB_HISTOGRAM_BUCKETS] = {};
        mutable std::mutex rowsLock;  // readers share mLock, so the cache has a lock of its own
        mutable std::map<RowsKey, Rows> rows;
    };
    static std::unique_ptr<State> build(MediaCard card);
    // Adds (or removes) entry i's files to the names, GUMIs and counters; `base` is where its
    // folder starts when the card is kept by folder.
    static void indexEntry(State &state, size_t i, size_t base, bool add);
    static std::pair<size_t, size_t> folderRange(const State &state, const std::string &dir);
    static void splice(State &state, FolderUpdate update);
    // Persists `card` and serves it; the caller holds mWriteLock.
    Status install(const char *what, MediaCard card);
    static bool findIn(const State &state, const std::string &dir, const std::string &file, FileRef *ref);
    Rows listRowsLocked(const ListQuery &q) const;

    mutable std::shared_mutex mLock;  // readers share it; a swap or a word change takes it alone
    std::mutex mWriteLock;            // writers take turns: status writes, rescans, version bumps
    std::unique_ptr<State> mState;
    StateStore *mStore;
    std::atomic<bool> mIndexing;
};

#endif
