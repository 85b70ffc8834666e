#include "mediadb/state_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "mediadb/card_scan.h"
#include "mediadb/manifest.h"
#include "mediadb/store_claim.h"

namespace {

// Schema steps: step i moves a store from version i to i + 1. Never edit a step that has
// shipped; append a new one.
const char *const kMigrations[] = {
    // 0 -> 1
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE media(pos INTEGER PRIMARY KEY, dir TEXT NOT NULL, file TEXT NOT NULL,"
    "                   record TEXT NOT NULL);"
    "CREATE TABLE file_status(dir TEXT NOT NULL, file TEXT NOT NULL, word INTEGER NOT NULL,"
    "                         PRIMARY KEY(dir, file));"
    "CREATE TABLE dir_listing(dir TEXT NOT NULL, pos INTEGER NOT NULL, file TEXT NOT NULL,"
    "                         first INTEGER NOT NULL, second INTEGER NOT NULL,"
    "                         PRIMARY KEY(dir, pos));",
    // 1 -> 2: what a card scan read from each file, reused while size and mtime_ns hold
    "CREATE TABLE file_index(dir TEXT NOT NULL, file TEXT NOT NULL, size INTEGER NOT NULL,"
    "                        mtime_ns INTEGER NOT NULL, duration_ms INTEGER NOT NULL,"
    "                        timescale INTEGER NOT NULL, fps_num INTEGER NOT NULL,"
    "                        fps_den INTEGER NOT NULL, width INTEGER NOT NULL, height INTEGER NOT NULL,"
    "                        avc_profile INTEGER NOT NULL, highlights BLOB NOT NULL,"
    "                        PRIMARY KEY(dir, file));",
    // 2 -> 3: one folder's entries found, and the positions around them, without a full read
    "CREATE INDEX media_by_dir ON media(dir, pos);",
};
// Entries are stored this far apart, so a folder read again fits between its neighbours.
constexpr int64_t kPosGap = int64_t(1) << 20;
constexpr int kSchemaVersion = sizeof(kMigrations) / sizeof(kMigrations[0]);

// A prepared statement that finalizes itself.
class Stmt {
public:
    Stmt(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &mStmt, nullptr); }
    ~Stmt() { sqlite3_finalize(mStmt); }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    explicit operator bool() const { return mStmt != nullptr; }
    sqlite3_stmt *get() const { return mStmt; }
    Stmt &text(int i, const std::string &s)
    {
        sqlite3_bind_text(mStmt, i, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt &integer(int i, uint64_t v)
    {
        sqlite3_bind_int64(mStmt, i, static_cast<sqlite3_int64>(v));
        return *this;
    }
    int step() { return sqlite3_step(mStmt); }
    bool done()
    {
        int rc = sqlite3_step(mStmt);
        sqlite3_reset(mStmt);
        return rc == SQLITE_DONE;
    }
    std::string column(int i) const
    {
        const unsigned char *t = sqlite3_column_text(mStmt, i);
        return t ? reinterpret_cast<const char *>(t) : "";
    }
    uint64_t columnInt(int i) const { return static_cast<uint64_t>(sqlite3_column_int64(mStmt, i)); }

private:
    sqlite3_stmt *mStmt = nullptr;
};

// A stored version word: decimal digits only, at most 2^32 - 1.
bool parseWord(const std::string &text, uint32_t *out)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    uint64_t v = std::strtoull(text.c_str(), nullptr, 10);
    *out = static_cast<uint32_t>(v);
    return v <= UINT32_MAX;
}

}  // namespace

int StateStore::currentSchemaVersion() { return kSchemaVersion; }

Status StateStore::open(const std::string &path, std::unique_ptr<StateStore> *out, bool freshStart)
{
    // A file on disk is claimed; an in-memory store (empty path, ":memory:" or a "file:" URI, as
    // tests use) has no file to lock.
    const bool onDisk = !path.empty() && path != ":memory:" && path.compare(0, 5, "file:") != 0;
    StoreClaim claim;
    if (onDisk) {
        Status s = claimStoreFile(path, &claim);
        if (!s.ok())
            return s;
    }
    sqlite3 *db = nullptr;
    std::string name = path.empty() ? ":memory:" : path;
    int rc =
        sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    std::unique_ptr<StateStore> store(new StateStore(db));
    store->mPath = name;
    store->mLockFd = claim.fd;
    if (rc != SQLITE_OK)
        return store->error("open");
    sqlite3_busy_timeout(db, 5000);
    // A store gets its schema in the first transaction of its first start, so an existing file
    // that is empty or has none was truncated or replaced (or that start died before it):
    // taking it as a new store would drop every acknowledged write without a word.
    const bool lost = onDisk && (claim.empty || (!claim.created && store->schemaVersion() == 0));
    if (lost && !freshStart)
        return Status::error("state " + name + ": the file exists but is " +
                             (claim.empty ? "empty" : "not a ztMediaDBd store (no schema)") +
                             "; start with --fresh-state to begin a new store in it");
    Status s = store->migrate();
    if (!s.ok())
        return s;
    sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO file_status(dir, file, word) VALUES(?, ?, ?)", -1,
                       &store->mWriteStatus, nullptr);
    if (!store->mWriteStatus)
        return store->error("prepare status write");
    *out = std::move(store);
    return {};
}

StateStore::~StateStore()
{
    sqlite3_finalize(mWriteStatus);
    sqlite3_close(mDb);
    // Last: closing any descriptor of the file would drop SQLite's own locks on it.
    if (mLockFd >= 0)
        close(mLockFd);
}

Status StateStore::badRow(const std::string &row, const char *field, const std::string &why) const
{
    return Status::error("state " + mPath + ": " + row + " field \"" + field + "\": " + why);
}

Status StateStore::error(const char *what) const
{
    // SQLite's message says what failed ("disk I/O error"); the system's says why.
    const int sysErr = mDb ? sqlite3_system_errno(mDb) : 0;
    return Status::error(std::string("state ") + mPath + ": " + what + ": " +
                         (mDb ? sqlite3_errmsg(mDb) : "out of memory") +
                         (sysErr ? std::string(" (") + std::strerror(sysErr) + ")" : ""));
}

Status StateStore::exec(const char *sql)
{
    char *msg = nullptr;
    if (sqlite3_exec(mDb, sql, nullptr, nullptr, &msg) == SQLITE_OK)
        return {};
    std::string text = msg ? msg : sqlite3_errmsg(mDb);
    sqlite3_free(msg);
    return Status::error("state " + mPath + ": " + text);
}

int StateStore::schemaVersion() const
{
    Stmt q(mDb, "PRAGMA user_version");
    return q && q.step() == SQLITE_ROW ? static_cast<int>(q.columnInt(0)) : -1;
}

Status StateStore::migrate()
{
    int version = schemaVersion();
    if (version < 0)
        return error("read schema version");
    if (version > kSchemaVersion)
        return Status::error("state " + mPath + ": schema version " + std::to_string(version) +
                             " is newer than this server's (" + std::to_string(kSchemaVersion) + ")");
    for (; version < kSchemaVersion; version++) {
        std::string step = std::string("BEGIN;") + kMigrations[version] +
                           "PRAGMA user_version = " + std::to_string(version + 1) + ";COMMIT;";
        Status s = exec(step.c_str());
        if (!s.ok()) {
            exec("ROLLBACK");
            return s;
        }
    }
    return {};
}

Status StateStore::setMeta(const std::string &key, const std::string &value)
{
    Stmt q(mDb, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    if (!q || !q.text(1, key).text(2, value).done())
        return error("write meta");
    return {};
}

Status StateStore::saveVersions(uint32_t version, uint32_t sessionId)
{
    return finishSave(exec("BEGIN"), version, sessionId);
}

Status StateStore::save(const MediaCard &card)
{
    Status s = exec("BEGIN;DELETE FROM media;DELETE FROM file_status;DELETE FROM dir_listing;DELETE FROM file_index;");
    if (s.ok())
        s = saveEntries(card.media, 0, kPosGap);
    for (auto it = card.dirs.begin(); s.ok() && it != card.dirs.end(); ++it)
        s = saveListing(it->first, it->second);
    for (auto it = card.index.begin(); s.ok() && it != card.index.end(); ++it)
        s = saveIndex(it->first, *it->second);
    if (s.ok())
        s = setMeta("card_id", card.cardId);
    return finishSave(s, card.version, card.sessionId);
}

Status StateStore::saveFolders(const std::vector<FolderUpdate> &folders, uint32_t version, uint32_t sessionId)
{
    Status s = exec("BEGIN");
    for (size_t i = 0; s.ok() && i < folders.size(); i++)
        s = saveFolder(folders[i]);
    return finishSave(s, version, sessionId);
}

Status StateStore::finishSave(Status s, uint32_t version, uint32_t sessionId)
{
    if (s.ok())
        s = setMeta("version", std::to_string(version));
    if (s.ok())
        s = setMeta("session_id", std::to_string(sessionId));
    if (s.ok())
        return exec("COMMIT");
    exec("ROLLBACK");
    return s;
}

Status StateStore::saveFolder(const FolderUpdate &f)
{
    for (const char *sql : {"DELETE FROM media WHERE dir = ?", "DELETE FROM file_status WHERE dir = ?",
                            "DELETE FROM dir_listing WHERE dir = ?", "DELETE FROM file_index WHERE dir = ?"}) {
        Stmt q(mDb, sql);
        if (!q || !q.text(1, f.dir).done())
            return error("forget a folder");
    }
    int64_t first = 0, step = 0;
    Status s = freePositions(f.dir, f.media.size(), &first, &step);
    if (s.ok())
        s = saveEntries(f.media, first, step);
    if (s.ok() && f.present)
        s = saveListing(f.dir, f.listing);
    if (s.ok() && f.present && f.facts)
        s = saveIndex(f.dir, *f.facts);
    return s;
}

// Positions for `count` entries of folder `dir` between the folders before and after it (the
// entries of a scanned card are kept in folder name order). A store written with no room between
// entries is spread out once.
Status StateStore::freePositions(const std::string &dir, size_t count, int64_t *first, int64_t *step)
{
    const auto neighbour = [&](const char *sql, int64_t *pos) {
        Stmt q(mDb, sql);
        const bool found = q && q.text(1, dir).step() == SQLITE_ROW;
        *pos = found ? sqlite3_column_int64(q.get(), 0) : 0;
        return found;
    };
    for (int attempt = 0; attempt < 2; attempt++) {
        int64_t lo = 0, hi = 0;
        const bool low = neighbour("SELECT pos FROM media WHERE dir < ? ORDER BY dir DESC, pos DESC LIMIT 1", &lo);
        const bool high = neighbour("SELECT pos FROM media WHERE dir > ? ORDER BY dir, pos LIMIT 1", &hi);
        const int64_t n = static_cast<int64_t>(count);
        *step = low && high ? (hi - lo) / (n + 1) : kPosGap;
        *first = low ? lo + *step : high ? hi - n * kPosGap : 0;
        if (*step > 0)
            return {};
        const std::string spread = "CREATE TEMP TABLE spread AS SELECT dir, file, record FROM media ORDER BY pos;"
                                   "DELETE FROM media;"
                                   "INSERT INTO media(pos, dir, file, record) SELECT rowid * " +
                                   std::to_string(kPosGap) +
                                   ", dir, file, record FROM spread ORDER BY rowid;"
                                   "DROP TABLE spread;";
        if (Status s = exec(spread.c_str()); !s.ok())
            return s;
    }
    return Status::error("state " + mPath + ": no room for the entries of folder " + dir);
}

Status StateStore::saveEntries(const std::vector<MediaEntry> &media, int64_t first, int64_t step)
{
    Stmt q(mDb, "INSERT INTO media(pos, dir, file, record) VALUES(?, ?, ?, ?)");
    if (!q)
        return error("prepare save");
    for (size_t i = 0; i < media.size(); i++) {
        const MediaEntry &e = media[i];
        if (!q.integer(1, static_cast<uint64_t>(first + static_cast<int64_t>(i) * step))
                 .text(2, e.dir)
                 .text(3, e.file)
                 .text(4, e.source)
                 .done())
            return error("save media");
        for (int m = -1; m < static_cast<int>(e.members.size()); m++)
            if (Status s = writeStatus(e.dir, m < 0 ? e.file : e.members[m].file, fileUploadWord(e, m)); !s.ok())
                return s;
    }
    return {};
}

Status StateStore::saveListing(const std::string &dir, const std::vector<DirListing> &listing)
{
    Stmt q(mDb, "INSERT INTO dir_listing(dir, pos, file, first, second) VALUES(?, ?, ?, ?, ?)");
    if (!q)
        return error("prepare save");
    for (size_t i = 0; i < listing.size(); i++) {
        const DirListing &d = listing[i];
        if (!q.text(1, dir).integer(2, i).text(3, d.file).integer(4, d.first).integer(5, d.second).done())
            return error("save directory listing");
    }
    return {};
}

Status StateStore::saveIndex(const std::string &dir, const FolderFacts &folder)
{
    Stmt q(mDb, "INSERT INTO file_index(dir, file, size, mtime_ns, duration_ms, timescale, fps_num, fps_den,"
                " width, height, avc_profile, highlights) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    if (!q)
        return error("prepare index save");
    for (const auto &[file, f] : folder) {
        const MediaInfo &i = f.info;
        std::string tags(i.highlights.size() * 4, '\0');
        for (size_t k = 0; k < i.highlights.size(); k++)
            for (int b = 0; b < 4; b++)
                tags[k * 4 + b] = static_cast<char>(i.highlights[k] >> (8 * b));
        q.text(1, dir).text(2, file).integer(3, f.size).integer(4, static_cast<uint64_t>(f.mtimeNs));
        const uint32_t values[] = {i.durationMs, i.timescale, i.fpsNum, i.fpsDen, i.width, i.height, i.avcProfile};
        for (int c = 0; c < 7; c++)
            q.integer(5 + c, values[c]);
        sqlite3_bind_blob(q.get(), 12, tags.data(), static_cast<int>(tags.size()), SQLITE_TRANSIENT);
        if (!q.done())
            return error("save file index");
    }
    return {};
}

Status StateStore::writeStatus(const std::string &dir, const std::string &file, uint32_t word)
{
    sqlite3_bind_text(mWriteStatus, 1, dir.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(mWriteStatus, 2, file.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(mWriteStatus, 3, word);
    int rc = sqlite3_step(mWriteStatus);
    sqlite3_reset(mWriteStatus);
    return rc == SQLITE_DONE ? Status{} : error("write upload status");
}

// Everything read back is checked as strictly as a manifest: the file may have been written by
// someone else, and a bad value must be refused at start, not served.
Status StateStore::loadEntries(MediaCard *card)
{
    Stmt q(mDb, "SELECT dir, file, record FROM media ORDER BY pos");
    if (!q)
        return error("read media");
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        MediaEntry e;
        size_t index = card->media.size();
        Status s = parseMediaEntryJson(q.column(2), index, &e);
        if (!s.ok())
            return Status::error("state " + mPath + ": " + s.message);
        if (e.dir != q.column(0) || e.file != q.column(1))
            return badRow("media row " + std::to_string(index), "file",
                          quoted(fileKey(q.column(0), q.column(1))) + " does not match its record's " +
                              fileKey(e.dir, e.file));
        card->media.push_back(std::move(e));
    }
    if (rc != SQLITE_DONE)
        return error("read media");
    Status s = checkUniqueFiles(*card);
    return s.ok() ? Status{} : Status::error("state " + mPath + ": media row " + s.message);
}

Status StateStore::loadStatuses(MediaCard *card)
{
    std::map<std::string, uint32_t *> files;
    forEachFile(*card, [&](const FileRef &ref, const std::string &key) {
        files[key] = &fileUploadWord(card->media[ref.entry], ref.member);
    });
    Stmt q(mDb, "SELECT dir, file, word FROM file_status");
    if (!q)
        return error("read upload states");
    std::map<std::string, bool> seen;
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        std::string key = fileKey(q.column(0), q.column(1)), row = "file_status row " + quoted(key);
        sqlite3_int64 word = sqlite3_column_int64(q.get(), 2);
        auto it = files.find(key);
        if (it == files.end())
            return badRow(row, "file", "names no file of the card");
        if (seen[key])
            return badRow(row, "file", "is listed twice");
        seen[key] = true;
        if (sqlite3_column_type(q.get(), 2) != SQLITE_INTEGER || word < 0 || word > UINT32_MAX)
            return badRow(row, "word", quoted(q.column(2)) + " is not an integer from 0 to 4294967295");
        if ((word & DB_UPLOAD_STATE_MASK) > DB_UPLOAD_STATE_MAX)
            return badRow(row, "word", "upload state " + std::to_string(word & DB_UPLOAD_STATE_MASK) + " is above 31");
        *it->second = static_cast<uint32_t>(word);
    }
    return rc == SQLITE_DONE ? Status{} : error("read upload states");
}

Status StateStore::loadDirs(MediaCard *card)
{
    Stmt q(mDb, "SELECT dir, file, first, second, pos FROM dir_listing ORDER BY dir, pos");
    if (!q)
        return error("read directory listings");
    std::map<std::string, bool> seen;
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        std::string dir = q.column(0), file = q.column(1), row = "dir_listing row " + quoted(dir + " " + q.column(4));
        if (dir.size() != DB_DIR_NAME_LEN)
            return badRow(row, "dir", quoted(dir) + " is not 8 characters");
        if (file.empty() || file.size() > DB_FILE_NAME_LEN)
            return badRow(row, "file", quoted(file) + " is not 1 to 12 characters");
        for (int c = 2; c <= 4; c++)
            if (sqlite3_column_type(q.get(), c) != SQLITE_INTEGER)
                return badRow(row, c == 4 ? "pos" : c == 2 ? "first" : "second", "not an integer");
        if (seen[dir + " " + q.column(4)])
            return badRow(row, "pos", "is listed twice");
        seen[dir + " " + q.column(4)] = true;
        card->dirs[dir].push_back({file, q.columnInt(2), q.columnInt(3)});
    }
    return rc == SQLITE_DONE ? Status{} : error("read directory listings");
}

// Index rows are checked like the others; a size or time is only compared, never trusted further.
Status StateStore::loadIndex(MediaCard *card)
{
    Stmt q(mDb, "SELECT dir, file, size, mtime_ns, duration_ms, timescale, fps_num, fps_den, width, height,"
                " avc_profile, highlights FROM file_index");
    if (!q)
        return error("read file index");
    static const char *const kColumns[] = {"size",    "mtime_ns", "duration_ms", "timescale",  "fps_num",
                                           "fps_den", "width",    "height",      "avc_profile"};
    std::map<std::string, std::shared_ptr<FolderFacts>> folders;
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        const std::string dir = q.column(0), file = q.column(1), row = "file_index row " + quoted(fileKey(dir, file));
        if (!isCardFolderName(dir.c_str()))
            return badRow(row, "dir", "not a camera folder name");
        if (!isCameraFileName(file.c_str()))
            return badRow(row, "file", "not a camera file name");
        uint32_t values[7] = {};
        for (int c = 2; c < 11; c++) {
            const sqlite3_int64 v = sqlite3_column_int64(q.get(), c);
            if (sqlite3_column_type(q.get(), c) != SQLITE_INTEGER || v < 0 || (c >= 4 && v > UINT32_MAX))
                return badRow(row, kColumns[c - 2], "not an integer in range");
            if (c >= 4)
                values[c - 4] = static_cast<uint32_t>(v);
        }
        const int tagBytes = sqlite3_column_bytes(q.get(), 11);
        if (sqlite3_column_type(q.get(), 11) != SQLITE_BLOB || tagBytes % 4 != 0 ||
            static_cast<uint32_t>(tagBytes / 4) > MANIFEST_MAX_HIGHLIGHTS)
            return badRow(row, "highlights", "not a run of at most 256 32-bit positions");
        FileFacts f{q.columnInt(2), static_cast<int64_t>(q.columnInt(3)), {}};
        MediaInfo &i = f.info;
        uint32_t *fields[] = {&i.durationMs, &i.timescale, &i.fpsNum, &i.fpsDen, &i.width, &i.height, &i.avcProfile};
        for (int c = 0; c < 7; c++)
            *fields[c] = values[c];
        const auto *tags = static_cast<const uint8_t *>(sqlite3_column_blob(q.get(), 11));
        for (int k = 0; k < tagBytes; k += 4)
            i.highlights.push_back(uint32_t(tags[k]) | uint32_t(tags[k + 1]) << 8 | uint32_t(tags[k + 2]) << 16 |
                                   uint32_t(tags[k + 3]) << 24);
        std::shared_ptr<FolderFacts> &folder = folders[dir];
        if (!folder)
            folder = std::make_shared<FolderFacts>();
        folder->emplace(file, std::move(f));
    }
    for (auto &[dir, folder] : folders)
        card->index[dir] = std::move(folder);
    return rc == SQLITE_DONE ? Status{} : error("read file index");
}

Status StateStore::load(MediaCard *card, bool *found)
{
    *card = MediaCard{};
    std::map<std::string, std::string> meta;
    Stmt q(mDb, "SELECT key, value FROM meta");
    if (!q)
        return error("read meta");
    while (q.step() == SQLITE_ROW)
        meta[q.column(0)] = q.column(1);
    *found = meta.count("version") != 0;
    if (!*found)
        return {};
    card->cardId = meta["card_id"];
    if (!checkCardId(card->cardId))
        return badRow("meta row card_id", "value", "not a one-line string of 1 to 31 characters");
    if (!parseWord(meta["version"], &card->version))
        return badRow("meta row version", "value", quoted(meta["version"]) + " is not an integer from 0 to 4294967295");
    if (!parseWord(meta["session_id"], &card->sessionId))
        return badRow("meta row session_id", "value",
                      quoted(meta["session_id"]) + " is not an integer from 0 to 4294967295");
    Status s = loadEntries(card);
    if (s.ok())
        s = loadStatuses(card);
    if (s.ok())
        s = loadDirs(card);
    if (s.ok())
        s = loadIndex(card);
    return s;
}
