// A card for ztOffload tests: camera files of random bytes under ROOT/card/DCIM, a private
// ztMediaDBd serving that folder with its state in ROOT/state.sqlite, and ROOT/dest for the copies.
// Everything lives under one temporary ROOT, removed at the end. Test-thread only.
#ifndef ZT_TEST_OFFLOAD_CARD_H
#define ZT_TEST_OFFLOAD_CARD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/gcore_fixtures.h"
#include "tests/support/server_process.h"

class OffloadCard {
public:
    // files: "DIR/FILE" under DCIM and its size in bytes.
    explicit OffloadCard(const std::vector<std::pair<std::string, size_t>> &files);
    OffloadCard(const OffloadCard &) = delete;
    OffloadCard &operator=(const OffloadCard &) = delete;

    // n photos ZP01nnnn.JPG of sizes drawn from [minSize, maxSize], spread over two folders,
    // and every `bigEvery`-th one (0: none) of bigSize bytes.
    static std::vector<std::pair<std::string, size_t>> photos(size_t n, size_t minSize, size_t maxSize,
                                                              size_t bigEvery = 0, size_t bigSize = 0);

    ServerProcess &server() { return mServer; }
    const std::string &root() const { return mRoot; }
    std::string card() const { return mRoot + "/card"; }
    std::string dest() const { return mRoot + "/dest"; }
    const std::vector<std::string> &files() const { return mFiles; }

    // The arguments of a ztOffload --once run on this card (plus `more`).
    std::vector<std::string> args(std::vector<std::string> more = {}) const;
    // Files the database holds in upload state 2 (offloaded).
    std::vector<std::string> offloaded() const;
    // Files the database keeps an upload state for (not a photo group's further files).
    std::vector<std::string> tracked() const;
    // True when dest/DIR/FILE holds exactly the card's bytes.
    bool wholeOnDest(const std::string &rel) const;
    // Offloaded files without a whole copy on DEST (must stay empty whatever happened).
    std::vector<std::string> markedWithoutCopy() const;

private:
    // Files whose upload state the database answers, and that `keep` takes.
    std::vector<std::string> withState(bool (*keep)(uint32_t state)) const;

    TempDir mDir;                     // first made and last removed: the server stops before it goes
    std::vector<std::string> mFiles;  // before mRoot: filled while the card is written
    std::string mRoot;
    ServerProcess mServer;
};

#endif
