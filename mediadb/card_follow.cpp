#include "mediadb/card_follow.h"

CardFollower::CardFollower(std::string root, EntrySource source, MediaCatalog &catalog)
    : mRoot(std::move(root)), mSource(source), mCatalog(catalog)
{
}

Status CardFollower::updateFolders(const std::set<std::string> &dirs)
{
    const FolderBasis basis = folderBasis(mCatalog.view().card(), dirs);
    ScanOptions options;
    options.source = mSource;
    std::vector<FolderUpdate> updates;
    Status s = scanFolders(mRoot, dirs, basis, options, &updates);
    bool applied = false;
    if (s.ok())
        s = mCatalog.updateFolders(std::move(updates), &applied);
    return s.ok() && !applied ? scanAndServe() : s;
}

Status CardFollower::scanAndServe()
{
    // A copy, so the served card is not held locked while files are read.
    const MediaCard current = mDeparted ? *mDeparted : mCatalog.view().card();
    ScanOptions options;
    options.source = mSource;
    options.previous = &current;
    MediaCard next;
    Status s = scanCard(mRoot, &next, options);
    if (!s.ok())
        return s;
    if (mDeparted) {
        cardCarryOver(*mDeparted, &next);
        mDeparted.reset();
    }
    return mCatalog.replace(std::move(next));
}

Status CardFollower::leave()
{
    if (mDeparted)
        return {};
    auto departed = std::make_unique<MediaCard>(mCatalog.view().card());
    MediaCard empty;
    empty.cardId = departed->cardId;
    const uint32_t before = mCatalog.version();
    Status s = mCatalog.replace(std::move(empty));
    if (s.ok() && mCatalog.version() == before)
        s = mCatalog.bumpVersion();  // an empty card left: clients still learn of it
    if (s.ok())
        mDeparted = std::move(departed);
    return s;
}

Status CardFollower::rescan()
{
    std::lock_guard<std::mutex> lock(mLock);
    return scanAndServe();
}

std::string CardFollower::apply(const CardChange &change)
{
    std::lock_guard<std::mutex> lock(mLock);
    if (!mCatalog.indexing())
        return applyLocked(change);
    using Kind = CardChange::Kind;
    if (!mPending)
        mPending = std::make_unique<CardChange>(change);
    else if (change.kind == Kind::Folders && mPending->kind == Kind::Folders)
        mPending->dirs.insert(change.dirs.begin(), change.dirs.end());
    else
        mPending->kind = change.kind == Kind::Gone ? Kind::Gone : Kind::All;
    return "card changed: applied once the first index is in";
}

Status CardFollower::serveFirst(const std::function<Status(MediaCard *)> &index, std::string *applied)
{
    MediaCard card;
    Status s = index(&card);  // not under the lock: changes meanwhile are only noted
    std::lock_guard<std::mutex> lock(mLock);
    if (s.ok())
        s = mCatalog.serveIndexed(std::move(card));
    if (s.ok() && mPending) {
        *applied = applyLocked(*mPending);
        mPending.reset();
    }
    return s;
}

std::string CardFollower::applyLocked(const CardChange &change)
{
    Status s;
    const char *what = "card changed";
    if (change.kind == CardChange::Kind::Gone) {
        what = "card left";
        s = leave();
    } else {
        what = mDeparted ? "card back" : what;
        s = change.kind == CardChange::Kind::Folders && !mDeparted ? updateFolders(change.dirs) : scanAndServe();
    }
    return std::string(what) + ": " +
           (s.ok() ? "ok version " + std::to_string(mCatalog.version()) : "error: " + s.message);
}
