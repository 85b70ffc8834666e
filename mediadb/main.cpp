// ztMediaDBd: the media database server, and `ztMediaDBd ctl ...`, its control command.
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mediadb/card_scan.h"
#include "mediadb/card_watch.h"
#include "mediadb/db_server.h"
#include "mediadb/manifest.h"
#include "mediadb/state_store.h"

namespace {

const char kUsage[] =
    "usage: ztMediaDBd --manifest FILE.json [--state FILE.sqlite]\n"
    "       ztMediaDBd --card DIR [--watch] [--state FILE.sqlite]   (DIR holds DCIM/)\n"
    "       ztMediaDBd --state FILE.sqlite          (serve the stored card)\n"
    "       ztMediaDBd ctl rescan | bump-version | version | drop N | delay N MS |\n"
    "                      cut K [N] | status S [N] | token T [N] | clear\n";

struct Options {
    std::string manifest, state, card;
    bool watch = false;
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
        else
            return false;
    }
    if (!o->manifest.empty() && !o->card.empty())
        return false;  // one source of media
    if (o->watch && o->card.empty())
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

// The card named on the command line, read afresh: the manifest, or the scan of the card folder.
Status readCard(const Options &opt, MediaCard *card)
{
    if (!opt.card.empty())
        return scanCard(opt.card, card, entrySource(opt));
    if (!opt.manifest.empty())
        return loadManifestFile(opt.manifest, card, entrySource(opt));
    return Status::error("no manifest or card to rescan");
}

// The card to serve: the manifest's or the card folder's, with what the state file (when given)
// acknowledged carried over, or the stored one alone; stored again before it is served. Without a
// state file nothing is kept, and *store stays null.
Status prepareCard(const Options &opt, MediaCard *card, std::unique_ptr<StateStore> *store)
{
    const bool fresh = !opt.manifest.empty() || !opt.card.empty();
    if (fresh) {
        Status s = readCard(opt, card);
        if (!s.ok())
            return s;
    }
    if (opt.state.empty()) {
        if (card->cardId.empty())
            card->cardId = cardDerivedId(*card);
        return {};
    }
    Status s = StateStore::open(opt.state, store);
    if (!s.ok())
        return s;
    MediaCard stored;
    bool found = false;
    s = (*store)->load(&stored, &found);
    if (!s.ok())
        return s;
    if (!fresh && !found)
        return Status::error("state " + opt.state + ": holds no card yet; start once with --manifest or --card");
    if (!fresh)
        *card = std::move(stored);
    else if (found)
        cardCarryOver(stored, card);  // stored upload words win: acknowledged writes survive
    if (card->cardId.empty())
        card->cardId = cardDerivedId(*card);
    return (*store)->save(*card);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0)
        return runControlCommand(std::vector<std::string>(argv + 2, argv + argc));
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options opt;
    if (!parseOptions(argc, argv, &opt)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    MediaCard card;
    std::unique_ptr<StateStore> store;
    Status s = prepareCard(opt, &card, &store);
    if (!s.ok())
        return refuse(s.message);
    // Loading a card leaves much freed memory behind (the parsed manifest); give it back.
    malloc_trim(0);

    std::string cardId = card.cardId;
    MediaCatalog catalog(std::move(card), store.get());
    DbServer server(catalog, [opt](MediaCard *next) { return readCard(opt, next); });
    // --watch feeds the card's changes to the same rescan as the control command.
    CardWatch watch(cardDcimPath(opt.card), [&server] {
        std::fprintf(stderr, "ztMediaDBd: card changed: %s\n", server.control("rescan").c_str());
    });
    if (opt.watch) {
        s = watch.start();
        if (!s.ok())
            return refuse(s.message);
    }
    return server.run(cardId);
}
