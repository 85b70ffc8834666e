// The server's persistent state in SQLite: the card's entries (as their manifest JSON), every
// file's upload word, directory listings, the version words, and a scanned card's file index
// (what was read from each file, with the size and modification time it was read at). The schema carries a version
// (PRAGMA user_version) and the steps that move an older store forward. One StateStore is used
// by one thread at a time (the catalog serialises it); every write is committed before it returns.
#ifndef ZT_MEDIADB_STATE_STORE_H
#define ZT_MEDIADB_STATE_STORE_H

#include <memory>
#include <string>
#include <vector>

#include "mediadb/media_card.h"

struct sqlite3;
struct sqlite3_stmt;

class StateStore {
public:
    // Opens (creating) the store at `path`, or an in-memory one when `path` is empty, locks it
    // against other servers and migrates it to the current schema. A store newer than this
    // server is refused, and so is a file that exists but is empty or holds no schema (what a
    // lost store looks like) unless `freshStart` takes it as a new store.
    static Status open(const std::string &path, std::unique_ptr<StateStore> *out, bool freshStart = false);
    ~StateStore();
    StateStore(const StateStore &) = delete;
    StateStore &operator=(const StateStore &) = delete;

    static int currentSchemaVersion();
    int schemaVersion() const;

    // Reads the stored card into *card, checking every row as strictly as a manifest (the error
    // names the row and field); *found is false when the store holds none yet.
    Status load(MediaCard *card, bool *found);
    // Replaces everything stored by `card`, in one transaction.
    Status save(const MediaCard &card);
    // Replaces what is stored of the folders `folders` name, and the version words, in one
    // transaction; the rest of the card stays as stored. For a card kept folder by folder in name
    // order (a scanned card).
    Status saveFolders(const std::vector<FolderUpdate> &folders, uint32_t version, uint32_t sessionId);
    // Records one file's upload word; committed when it returns OK.
    Status writeStatus(const std::string &dir, const std::string &file, uint32_t word);
    Status saveVersions(uint32_t version, uint32_t sessionId);

private:
    explicit StateStore(sqlite3 *db) : mDb(db) {}
    Status exec(const char *sql);
    Status migrate();
    Status setMeta(const std::string &key, const std::string &value);
    Status loadEntries(MediaCard *card);
    Status loadStatuses(MediaCard *card);
    Status loadDirs(MediaCard *card);
    Status loadIndex(MediaCard *card);
    Status finishSave(Status s, uint32_t version, uint32_t sessionId);
    Status saveFolder(const FolderUpdate &folder);
    Status freePositions(const std::string &dir, size_t count, int64_t *first, int64_t *step);
    Status saveEntries(const std::vector<MediaEntry> &media, int64_t first, int64_t step);
    Status saveListing(const std::string &dir, const std::vector<DirListing> &listing);
    Status saveIndex(const std::string &dir, const FolderFacts &folder);
    Status error(const char *what) const;
    Status badRow(const std::string &row, const char *field, const std::string &why) const;

    sqlite3 *mDb;
    int mLockFd = -1;  // the claim on the file (mediadb/store_claim.h); closed after mDb
    std::string mPath;
    sqlite3_stmt *mWriteStatus = nullptr;
};

#endif
