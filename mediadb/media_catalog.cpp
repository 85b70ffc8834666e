#include "mediadb/media_catalog.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "ztMedia/dbProtocol.h"
#include "mediadb/state_store.h"

namespace {

// A write the store refused is answered as a failure; the operator learns why from the log.
Status logRefused(const std::string &what, Status s)
{
    if (!s.ok())
        std::fprintf(stderr, "ztMediaDBd: the store refused %s: %s\n", what.c_str(), s.message.c_str());
    return s;
}

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

std::vector<FileRef> selectRows(const MediaCard &card, const ListQuery &q)
{
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

}  // namespace

MediaCatalog::MediaCatalog(MediaCard card, StateStore *store, bool indexing)
    : mState(build(std::move(card))), mStore(store), mIndexing(indexing)
{
}

std::unique_ptr<MediaCatalog::State> MediaCatalog::build(MediaCard card)
{
    auto state = std::make_unique<State>();
    state->card = std::move(card);
    const std::vector<MediaEntry> &media = state->card.media;
    // Kept by folder when each folder's entries come together and the folders in name order.
    state->byFolder = true;
    for (size_t i = 0; i < media.size(); i++) {
        if (i > 0 && media[i].dir == media[i - 1].dir)
            continue;
        if (i > 0 && media[i].dir < media[i - 1].dir)
            state->byFolder = false;
        state->folderStart[media[i].dir] = i;
    }
    if (!state->byFolder)
        state->folderStart.clear();
    state->byName.reserve(media.size());
    for (size_t i = 0; i < media.size(); i++) {
        // The entries' JSON is what the store keeps; once stored, the served card has no use for it.
        std::string().swap(state->card.media[i].source);
        indexEntry(*state, i, state->byFolder ? state->folderStart[media[i].dir] : 0, true);
    }
    return state;
}

void MediaCatalog::indexEntry(State &state, size_t i, size_t base, bool add)
{
    static const uint8_t kNoGumi[DB_GUMI_LEN] = {};
    const MediaEntry &e = state.card.media[i];
    for (int m = -1; m < static_cast<int>(e.members.size()); m++) {
        const std::string key = fileKey(e.dir, m < 0 ? e.file : e.members[m].file);
        if (add)
            state.byName[key] = {i - base, m};
        else
            state.byName.erase(key);
        const uint32_t s = fileUploadWord(e, m) & DB_UPLOAD_STATE_MASK;
        if (s < DB_HISTOGRAM_BUCKETS && add)
            state.histogram[s]++;
        else if (s < DB_HISTOGRAM_BUCKETS)
            state.histogram[s]--;
    }
    if (gumiKey(e.gumi) == gumiKey(kNoGumi))
        return;
    if (add)
        state.byGumi.emplace(gumiKey(e.gumi), i);
    else
        state.byGumi.erase(gumiKey(e.gumi));
}

// The entries of folder `dir` of a card kept by folder: [first, end); empty where it would go
// when it has none.
std::pair<size_t, size_t> MediaCatalog::folderRange(const State &state, const std::string &dir)
{
    auto next = state.folderStart.upper_bound(dir);
    const size_t end = next == state.folderStart.end() ? state.card.media.size() : next->second;
    auto it = state.folderStart.find(dir);
    return {it == state.folderStart.end() ? end : it->second, end};
}

CatalogView::CatalogView(const MediaCatalog &catalog) : mCatalog(catalog), mLock(catalog.mLock) {}

const MediaCard &CatalogView::card() const { return mCatalog.mState->card; }

uint32_t MediaCatalog::version() const
{
    std::shared_lock<std::shared_mutex> lock(mLock);
    return mState->card.version;
}

bool MediaCatalog::findIn(const State &state, const std::string &dir, const std::string &file, FileRef *ref)
{
    auto it = state.byName.find(fileKey(dir, file));
    if (it == state.byName.end())
        return false;
    *ref = it->second;
    if (state.byFolder)
        ref->entry += state.folderStart.at(dir);
    return true;
}

bool CatalogView::find(const std::string &dir, const std::string &file, FileRef *ref) const
{
    return MediaCatalog::findIn(*mCatalog.mState, dir, file, ref);
}

bool CatalogView::findGumi(const uint8_t gumi[DB_GUMI_LEN], FileRef *ref) const
{
    const auto &byGumi = mCatalog.mState->byGumi;
    auto it = byGumi.find(gumiKey(gumi));
    if (it == byGumi.end())
        return false;
    *ref = {it->second, -1};
    return true;
}

void CatalogView::histogram(uint32_t buckets[DB_HISTOGRAM_BUCKETS]) const
{
    std::copy(mCatalog.mState->histogram, mCatalog.mState->histogram + DB_HISTOGRAM_BUCKETS, buckets);
}

CatalogView::Rows CatalogView::listRows(const ListQuery &q) const { return mCatalog.listRowsLocked(q); }

MediaCatalog::Rows MediaCatalog::listRowsLocked(const ListQuery &q) const
{
    constexpr size_t kMaxCached = 64;  // distinct queries kept; clients use a handful
    const State &st = *mState;
    RowsKey key{(q.listOptions & DB_LIST_VIDEO_GROUPING) != 0, q.queryOptions, q.timeFrom, q.timeTo};
    std::lock_guard<std::mutex> lock(st.rowsLock);
    auto it = st.rows.find(key);
    if (it != st.rows.end())
        return it->second;
    if (st.rows.size() >= kMaxCached)
        st.rows.clear();
    Rows rows = std::make_shared<const std::vector<FileRef>>(selectRows(st.card, q));
    st.rows.emplace(key, rows);
    return rows;
}

uint32_t MediaCatalog::writeStatus(const std::string &dir, const std::string &file, uint32_t word)
{
    if ((word & DB_UPLOAD_STATE_MASK) > DB_UPLOAD_STATE_MAX)
        return DB_STATUS_BAD_REQUEST;
    // Only writers change the state and they take turns, so the lookup needs no read lock and
    // readers go on while the store commits.
    std::lock_guard<std::mutex> writer(mWriteLock);
    FileRef ref;
    if (!findIn(*mState, dir, file, &ref))
        return DB_STATUS_NOT_FOUND;
    if (mStore && !logRefused("the upload word of " + dir + "/" + file, mStore->writeStatus(dir, file, word)).ok())
        return DB_STATUS_UNAVAILABLE;
    std::unique_lock<std::shared_mutex> lock(mLock);
    uint32_t &current = fileUploadWord(mState->card.media[ref.entry], ref.member);
    const uint32_t from = current & DB_UPLOAD_STATE_MASK, to = word & DB_UPLOAD_STATE_MASK;
    if (from < DB_HISTOGRAM_BUCKETS)
        mState->histogram[from]--;
    if (to < DB_HISTOGRAM_BUCKETS)
        mState->histogram[to]++;
    current = word;
    return DB_STATUS_OK;
}

Status MediaCatalog::replace(MediaCard next)
{
    std::lock_guard<std::mutex> writer(mWriteLock);
    cardCarryOver(mState->card, &next);
    return install("the rescanned card", std::move(next));
}

Status MediaCatalog::serveIndexed(MediaCard card)
{
    std::lock_guard<std::mutex> writer(mWriteLock);
    if (card.version == mState->card.version) {  // the stand-in's words: they must move
        card.version++;
        card.sessionId++;
    }
    return install("the indexed card", std::move(card));
}

Status MediaCatalog::install(const char *what, MediaCard card)
{
    if (mStore) {
        Status s = logRefused(what, mStore->save(card));
        if (!s.ok())
            return s;
    }
    std::unique_ptr<State> fresh = build(std::move(card));
    std::unique_lock<std::shared_mutex> lock(mLock);
    mState.swap(fresh);
    mIndexing = false;
    lock.unlock();
    return {};  // the old card goes here, outside the lock
}

Status MediaCatalog::updateFolders(std::vector<FolderUpdate> updates, bool *applied)
{
    std::lock_guard<std::mutex> writer(mWriteLock);
    State &st = *mState;
    *applied = st.byFolder;
    if (!st.byFolder)
        return {};
    bool same = true;
    for (FolderUpdate &u : updates) {
        const auto [from, to] = folderRange(st, u.dir);
        auto before = st.card.index.find(u.dir);
        same = folderCarryOver(st.card, from, to, before == st.card.index.end() ? nullptr : before->second.get(), &u) &&
               same;
    }
    const uint32_t version = st.card.version + (same ? 0 : 1), sessionId = st.card.sessionId + (same ? 0 : 1);
    if (mStore) {
        Status s = logRefused("the changed folders", mStore->saveFolders(updates, version, sessionId));
        if (!s.ok())
            return s;
    }
    std::unique_lock<std::shared_mutex> lock(mLock);
    for (FolderUpdate &u : updates)
        splice(st, std::move(u));
    st.card.version = version;
    st.card.sessionId = sessionId;
    st.rows.clear();  // no reader holds the lock, nor the cache's
    return {};
}

void MediaCatalog::splice(State &state, FolderUpdate update)
{
    MediaCard &card = state.card;
    const std::pair<size_t, size_t> range = folderRange(state, update.dir);
    const size_t from = range.first, to = range.second;
    for (size_t i = from; i < to; i++)
        indexEntry(state, i, from, false);
    const size_t count = update.media.size(), kept = std::min(count, to - from);
    auto incoming = std::make_move_iterator(update.media.begin());
    std::move(incoming, incoming + kept, card.media.begin() + from);
    if (count > kept)
        card.media.insert(card.media.begin() + to, incoming + kept, std::make_move_iterator(update.media.end()));
    else
        card.media.erase(card.media.begin() + from + kept, card.media.begin() + to);
    // Later folders' entries moved; their names count from their folder's start and stay.
    const auto moved = [&](size_t at) { return at + count - (to - from); };
    for (auto it = state.folderStart.upper_bound(update.dir); it != state.folderStart.end(); ++it)
        it->second = moved(it->second);
    for (auto &gumi : state.byGumi)
        if (gumi.second >= to)
            gumi.second = moved(gumi.second);
    if (count)
        state.folderStart[update.dir] = from;
    else
        state.folderStart.erase(update.dir);
    for (size_t i = from; i < from + count; i++) {
        std::string().swap(card.media[i].source);
        indexEntry(state, i, from, true);
    }
    if (update.present) {
        card.dirs[update.dir] = std::move(update.listing);
        card.index[update.dir] = std::move(update.facts);
    } else {
        card.dirs.erase(update.dir);
        card.index.erase(update.dir);
    }
}

Status MediaCatalog::bumpVersion()
{
    std::lock_guard<std::mutex> writer(mWriteLock);
    MediaCard &card = mState->card;
    if (mStore) {
        Status s = logRefused("the version words", mStore->saveVersions(card.version + 1, card.sessionId + 1));
        if (!s.ok())
            return s;
    }
    std::unique_lock<std::shared_mutex> lock(mLock);
    card.version++;
    card.sessionId++;
    return {};
}
