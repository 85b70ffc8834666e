#include "mediadb/media_catalog.h"

#include <mutex>

#include "ztMedia/dbProtocol.h"
#include "mediadb/state_store.h"

namespace {

std::string gumiKey(const uint8_t gumi[DB_GUMI_LEN])
{
    return std::string(reinterpret_cast<const char *>(gumi), DB_GUMI_LEN);
}

bool selected(const MediaEntry &e, uint32_t cre, const ListQuery &q)
{
    const DbContentTypeInfo *info = dbContentTypeInfo(e.type);
    if (!info)
        return false;
    bool byClass = (q.queryOptions & info->queryBit) != 0;
    bool byRaw = (q.queryOptions & RTOS_DB_QUERY_RAW_PHOTOS) && info->queryBit == RTOS_DB_QUERY_PHOTOS &&
                 (e.flags & DB_MEDIA_FLAG_RAW);
    if (!byClass && !byRaw)
        return false;
    return (q.timeFrom == 0 || cre >= q.timeFrom) && (q.timeTo == 0 || cre <= q.timeTo);
}

}  // namespace

MediaCatalog::MediaCatalog(MediaCard card, StateStore *store) : mCard(std::move(card)), mStore(store)
{
    reindex();
}

void MediaCatalog::reindex()
{
    static const uint8_t kNoGumi[DB_GUMI_LEN] = {};
    mByName.clear();
    mByGumi.clear();
    forEachFile(mCard, [&](const FileRef &ref, const std::string &key) { mByName[key] = ref; });
    for (size_t i = 0; i < mCard.media.size(); i++)
        if (gumiKey(mCard.media[i].gumi) != gumiKey(kNoGumi))
            mByGumi.emplace(gumiKey(mCard.media[i].gumi), i);
}

CatalogView::CatalogView(const MediaCatalog &catalog) : mCatalog(catalog), mLock(catalog.mLock) {}

const MediaCard &CatalogView::card() const { return mCatalog.mCard; }

uint32_t MediaCatalog::version() const
{
    std::shared_lock<std::shared_mutex> lock(mLock);
    return mCard.version;
}

bool MediaCatalog::findLocked(const std::string &dir, const std::string &file, FileRef *ref) const
{
    auto it = mByName.find(fileKey(dir, file));
    if (it == mByName.end())
        return false;
    *ref = it->second;
    return true;
}

bool CatalogView::find(const std::string &dir, const std::string &file, FileRef *ref) const
{
    return mCatalog.findLocked(dir, file, ref);
}

bool CatalogView::findGumi(const uint8_t gumi[DB_GUMI_LEN], FileRef *ref) const
{
    auto it = mCatalog.mByGumi.find(gumiKey(gumi));
    if (it == mCatalog.mByGumi.end())
        return false;
    *ref = {it->second, -1};
    return true;
}

CatalogView::Rows CatalogView::listRows(const ListQuery &q) const
{
    return mCatalog.listRowsLocked(q);
}

MediaCatalog::Rows MediaCatalog::listRowsLocked(const ListQuery &q) const
{
    constexpr size_t kMaxCached = 64;  // distinct queries kept; clients use a handful
    RowsKey key{(q.listOptions & DB_LIST_VIDEO_GROUPING) != 0, q.queryOptions, q.timeFrom, q.timeTo};
    std::lock_guard<std::mutex> lock(mRowsLock);
    auto it = mRows.find(key);
    if (it != mRows.end())
        return it->second;
    if (mRows.size() >= kMaxCached)
        mRows.clear();
    Rows rows = std::make_shared<const std::vector<FileRef>>(selectRows(q));
    mRows.emplace(key, rows);
    return rows;
}

std::vector<FileRef> MediaCatalog::selectRows(const ListQuery &q) const
{
    const MediaCard &card = mCard;
    bool grouping = q.listOptions & DB_LIST_VIDEO_GROUPING;
    std::vector<FileRef> rows;
    for (size_t i = 0; i < card.media.size(); i++) {
        const MediaEntry &e = card.media[i];
        if (selected(e, e.cre, q))
            rows.push_back({i, -1});
        // Without grouping every chapter of a grouped video is an entry of its own.
        if (grouping || !dbIsGroupedVideoType(e.type))
            continue;
        for (size_t m = 0; m < e.members.size(); m++)
            if (selected(e, e.members[m].cre, q))
                rows.push_back({i, static_cast<int>(m)});
    }
    return rows;
}

uint32_t MediaCatalog::writeStatus(const std::string &dir, const std::string &file, uint32_t word)
{
    if ((word & DB_UPLOAD_STATE_MASK) > DB_UPLOAD_STATE_MAX)
        return DB_STATUS_BAD_REQUEST;
    std::unique_lock<std::shared_mutex> lock(mLock);
    FileRef ref;
    if (!findLocked(dir, file, &ref))
        return DB_STATUS_NOT_FOUND;
    if (mStore && !mStore->writeStatus(dir, file, word).ok())
        return DB_STATUS_UNAVAILABLE;
    fileUploadWord(mCard.media[ref.entry], ref.member) = word;
    return DB_STATUS_OK;
}

Status MediaCatalog::replace(MediaCard next)
{
    std::unique_lock<std::shared_mutex> lock(mLock);
    cardCarryOver(mCard, &next);
    if (mStore) {
        Status s = mStore->save(next);
        if (!s.ok())
            return s;
    }
    mCard = std::move(next);
    reindex();
    std::lock_guard<std::mutex> rowsLock(mRowsLock);
    mRows.clear();
    return {};
}

Status MediaCatalog::bumpVersion()
{
    std::unique_lock<std::shared_mutex> lock(mLock);
    if (mStore) {
        Status s = mStore->saveVersions(mCard.version + 1, mCard.sessionId + 1);
        if (!s.ok())
            return s;
    }
    mCard.version++;
    mCard.sessionId++;
    return {};
}
