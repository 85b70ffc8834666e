// ztMediaDBd: the media database server, and `ztMediaDBd ctl ...`, its control command.
#include <malloc.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mediadb/card_follow.h"
#include "mediadb/card_scan.h"
#include "mediadb/card_watch.h"
#include "mediadb/db_server.h"
#include "mediadb/manifest.h"
#include "mediadb/state_store.h"

namespace {

const char kUsage[] =
    "usage: ztMediaDBd --manifest FILE.json [--state FILE.sqlite [--fresh-state]]\n"
    "       ztMediaDBd --card DIR [--watch] [--state FILE.sqlite [--fresh-state]]   (DIR holds DCIM/)\n"
    "       ztMediaDBd --state FILE.sqlite          (serve the stored card)\n"
    "       ztMediaDBd ctl rescan | bump-version | version | ready | drop N | delay N MS |\n"
    "                      cut K [N] | status S [N] | token T [N] | clear\n"
    "  --fresh-state  begin a new store in a state file that exists but is empty or holds no\n"
    "                 schema (refused without it: that is what a lost store looks like)\n";

struct Options {
    std::string manifest, state, card;
    bool watch = false, freshState = false;
};

bool parseOptions(int argc, char **argv, Options *o)
{
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--manifest" && hasValue)
            o->manifest = argv[++i];
        else if (a == "--state" && hasValue)
            o->state = argv[++i];
        else if (a == "--card" && hasValue)
            o->card = argv[++i];
        else if (a == "--watch")
            o->watch = true;
        else if (a == "--fresh-state")
            o->freshState = true;
        else
            return false;
    }
    if (!o->manifest.empty() && !o->card.empty())
        return false;  // one source of media
    if ((o->watch && o->card.empty()) || (o->freshState && o->state.empty()))
        return false;
    return !o->manifest.empty() || !o->card.empty() || !o->state.empty();
}

// Start-up failures are one line and exit status 2.
int refuse(const std::string &message)
{
    std::fprintf(stderr, "ztMediaDBd: %s\n", message.c_str());
    return 2;
}

// Only a state file keeps the entries' JSON.
EntrySource entrySource(const Options &opt) { return opt.state.empty() ? EntrySource::Drop : EntrySource::Keep; }

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What a state file holds when one is given: its store and the card stored in it, if any.
struct Stored {
    std::unique_ptr<StateStore> store;
    MediaCard card;
    bool found = false;
};

Status openState(const Options &opt, Stored *st)
{
    if (opt.state.empty())
        return {};
    Status s = StateStore::open(opt.state, &st->store, opt.freshState);
    return s.ok() ? st->store->load(&st->card, &st->found) : s;
}

// The first index of a card folder, with a line on standard error every second while it runs
// and one when it is done. Facts of a stored card are reused for unchanged files.
Status indexCard(const Options &opt, const Stored &st, const std::atomic<bool> &cancel, MediaCard *card)
{
    const auto start = std::chrono::steady_clock::now();
    auto last = start;
    ScanOptions options;
    options.source = entrySource(opt);
    options.previous = st.found ? &st.card : nullptr;
    options.cancel = &cancel;
    options.progress = [&](const ScanProgress &p) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last < std::chrono::seconds(1))
            return;
        last = now;
        std::fprintf(stderr,
                     "ztMediaDBd: indexing: %zu files seen, %zu indexed (%.0f files/s), %zu read, %zu of %zu "
                     "folders left\n",
                     p.filesSeen, p.filesDone, double(p.filesDone) / secondsSince(start), p.filesRead,
                     p.foldersTotal - p.foldersDone, p.foldersTotal);
    };
    ScanProgress done;
    Status s = scanCard(opt.card, card, options, &done);
    if (!s.ok())
        return s;
    std::fprintf(stderr, "ztMediaDBd: indexed %zu files in %zu folders (%zu read) in %.2f s\n", done.filesSeen,
                 done.foldersTotal, done.filesRead, secondsSince(start));
    if (st.found)
        cardCarryOver(st.card, card);  // stored upload words win: acknowledged writes survive
    return {};
}

// What a card folder's server answers for until its first index is in: the stored card's
// identifier, else the folder's own (known without reading a file), and version words 0, so
// whoever read the busy answers sees them move when the card is served.
Status cardStandIn(const Options &opt, const Stored &st, MediaCard *card)
{
    Status s = cardFolderId(opt.card, &card->cardId);  // also refuses a missing DCIM at once
    if (s.ok() && st.found)
        card->cardId = st.card.cardId;
    card->version = card->sessionId = 0;
    return s;
}

// The card to serve from a manifest, with what the state file (when given) acknowledged carried
// over, or the stored one alone; stored again before it is served.
Status prepareCard(const Options &opt, Stored *st, MediaCard *card)
{
    const bool fresh = !opt.manifest.empty();
    if (!fresh && !st->found)
        return Status::error("state " + opt.state + ": holds no card yet; start once with --manifest or --card");
    Status s;
    if (fresh)
        s = loadManifestFile(opt.manifest, card, entrySource(opt));
    else
        *card = std::move(st->card);
    if (!s.ok())
        return s;
    if (fresh && st->found)
        cardCarryOver(st->card, card);  // stored upload words win: acknowledged writes survive
    if (card->cardId.empty())
        card->cardId = cardDerivedId(*card);
    return st->store ? st->store->save(*card) : Status{};
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0)
        return runControlCommand(std::vector<std::string>(argv + 2, argv + argc));
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options opt;
    if (!parseOptions(argc, argv, &opt)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // A card folder is indexed while the server already answers (busy until the index is in).
    const bool indexing = !opt.card.empty();
    Stored st;
    MediaCard card;
    Status s = openState(opt, &st);
    if (s.ok())
        s = indexing ? cardStandIn(opt, st, &card) : prepareCard(opt, &st, &card);
    if (!s.ok())
        return refuse(s.message);
    // Loading a card leaves much freed memory behind (the parsed manifest); give it back.
    malloc_trim(0);

    const std::string cardId = card.cardId;
    MediaCatalog catalog(std::move(card), st.store.get(), indexing);
    CardFollower follower(opt.card, entrySource(opt), catalog);
    DbServer server(catalog, [&]() -> Status {
        if (!opt.card.empty())
            return follower.rescan();
        if (opt.manifest.empty())
            return Status::error("no manifest or card to rescan");
        MediaCard next;
        Status loaded = loadManifestFile(opt.manifest, &next, entrySource(opt));
        return loaded.ok() ? catalog.replace(std::move(next)) : loaded;
    });
    // --watch applies the card's changes folder by folder.
    CardWatch watch(opt.card, [&follower](const CardChange &change) {
        std::fprintf(stderr, "ztMediaDBd: %s\n", follower.apply(change).c_str());
    });
    if (opt.watch) {
        s = watch.start();
        if (!s.ok())
            return refuse(s.message);
    }
    std::atomic<bool> stopping{false};
    Status indexed;
    std::thread indexer;
    const auto startIndex = [&] {
        indexer = std::thread([&] {
            std::string applied;
            Status served = follower.serveFirst(
                [&](MediaCard *next) {
                    Status scanned = indexCard(opt, st, stopping, next);
                    next->cardId = cardId;
                    return scanned;
                },
                &applied);
            if (!applied.empty())
                std::fprintf(stderr, "ztMediaDBd: %s\n", applied.c_str());
            if (!served.ok() && !stopping) {
                indexed = served;
                raise(SIGTERM);  // a card that cannot be indexed is refused as at start
            }
        });
    };
    const int rc = server.run(cardId, indexing ? std::function<void()>(startIndex) : nullptr);
    stopping = true;
    if (indexer.joinable())
        indexer.join();
    return indexed.ok() ? rc : refuse(indexed.message);
}
