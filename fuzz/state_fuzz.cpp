// The state store's loader over rows taken from the fuzz input: a stored card is written, then
// its meta values, one media record, one upload word and one directory listing row are replaced
// by fields of the input (separated by zero bytes). Loading must accept a valid card or refuse
// with a message, never crash. The store lives in memory (a shared-cache URI).
#include <sqlite3.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "mediadb/manifest.h"
#include "mediadb/state_store.h"

namespace {

const char kUri[] = "file:ztfuzz?mode=memory&cache=shared";
const char *const kSql[] = {
    "UPDATE meta SET value = ?1 WHERE key = 'version'",
    "UPDATE meta SET value = ?1 WHERE key = 'session_id'",
    "UPDATE meta SET value = ?1 WHERE key = 'card_id'",
    "UPDATE media SET record = ?1 WHERE pos = 0",
    "INSERT OR REPLACE INTO file_status(dir, file, word) VALUES('100ZTCAM', 'ZX010002.MP4', ?1)",
    "INSERT OR REPLACE INTO file_status(dir, file, word) VALUES(?1, 'ZX010001.MP4', 3)",
    "INSERT OR REPLACE INTO dir_listing VALUES('100ZTCAM', 0, ?1, 1, 2)",
    "INSERT OR REPLACE INTO media SELECT 7, dir, ?1, record FROM media WHERE pos = (SELECT MAX(pos) FROM media)",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static sqlite3 *keeper = [] {  // keeps the shared in-memory database alive between inputs
        sqlite3_config(SQLITE_CONFIG_URI, 1);
        sqlite3 *db = nullptr;
        sqlite3_open(kUri, &db);
        return db;
    }();
    static MediaCard card = [] {
        MediaCard c;
        parseManifest(R"({"card_id":"F","media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":0},
            {"dir":"100ZTCAM","file":"ZX010002.MP4","type":1,"members":[{"file":"ZX020002.MP4"}]}]})",
                      &c);
        return c;
    }();
    std::unique_ptr<StateStore> store;
    if (!keeper || !StateStore::open(kUri, &store).ok() || !store->save(card).ok())
        std::abort();
    std::string text(reinterpret_cast<const char *>(data), size);
    size_t at = 0;
    for (const char *sql : kSql) {
        if (at > text.size())
            break;
        size_t end = std::min(text.find('\0', at), text.size());
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(keeper, sql, -1, &stmt, nullptr);
        sqlite3_bind_text(stmt, 1, text.data() + at, static_cast<int>(end - at), SQLITE_TRANSIENT);
        sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        at = end + 1;
    }
    MediaCard loaded;
    bool found = false;
    Status s = store->load(&loaded, &found);
    if (!s.ok() && s.message.find('\n') != std::string::npos)
        std::abort();  // refusals are one line
    return 0;
}
