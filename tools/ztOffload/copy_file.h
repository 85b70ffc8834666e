// One card file onto DEST, whole or not at all, in three steps so that the slow one (waiting for
// the disk) can overlap the next file's copy:
//   1. copyToPartial: into a hidden partial file (".NAME.part"), checksummed as read; a partial
//      file left by a run that stopped is continued from where it ends; a file already on DEST
//      with the same bytes is not copied again;
//   2. makeDurable: the partial file synced, read back and checked against the card's checksum;
//   3. putInPlace: renamed to its name (never over another file). The caller then syncs the
//      folder, once for every file renamed into it.
// A name on DEST holding other bytes is left alone and the copy takes NAME~2.EXT (up to ~9).
#ifndef ZT_TOOLS_OFFLOAD_COPY_FILE_H
#define ZT_TOOLS_OFFLOAD_COPY_FILE_H

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

#include "card_source.h"

enum class CopyOutcome {
    Copied,        // step 1: all bytes in the partial file; after steps 2 and 3: whole on DEST
    AlreadyThere,  // DEST held the same bytes already
    Changed,       // the card file changed while it was copied (partial dropped)
    Mismatch,      // the bytes read back differ from the card's (partial dropped)
    DestFull,      // no room on DEST (partial kept for the next run)
    ReadFailed,    // the card could not be read (partial kept)
    WriteFailed,   // DEST refused a write, sync or rename
    NameTaken,     // NAME and every variant hold other files
    Stopped,       // asked to stop (partial kept)
};

struct CopyResult {
    CopyOutcome outcome = CopyOutcome::WriteFailed;
    std::string destName;    // the name used on DEST
    uint64_t written = 0;    // bytes written by this call
    uint64_t resumedAt = 0;  // bytes an earlier run had copied already
    std::string why;         // for the outcomes that are failures
};

// A descriptor that closes itself; moves, never copies.
class OwnedFd {
public:
    explicit OwnedFd(int fd = -1) : mFd(fd) {}
    ~OwnedFd();
    OwnedFd(OwnedFd &&o) noexcept : mFd(o.mFd) { o.mFd = -1; }
    OwnedFd &operator=(OwnedFd &&o) noexcept;
    OwnedFd(const OwnedFd &) = delete;
    OwnedFd &operator=(const OwnedFd &) = delete;
    int get() const { return mFd; }

private:
    int mFd;
};

// A file between the steps: what step 1 left for steps 2 and 3.
struct PendingCopy {
    CopyResult result;
    OwnedFd dir;      // the DEST folder
    OwnedFd partial;  // the partial file (outcome Copied)
    uint64_t cardHash = 0, length = 0;
};

// True for the errors of a destination without room (no space, quota, file size limit).
bool destFullError(int err);

// Step 1 for `src` into the DEST folder `destDir` (which the result keeps) as `name`, passing
// over the names `taken` says are in use by files not yet renamed into place. `onBytes` hears of
// every chunk written; `stop` is polled between chunks.
PendingCopy copyToPartial(const CardFile &src, OwnedFd destDir, const std::string &name,
                          const std::function<bool(const std::string &)> &taken,
                          const std::function<void(uint64_t)> &onBytes, const volatile std::sig_atomic_t &stop);
// Step 2 for a Copied file (a file AlreadyThere is synced too: an earlier run may have stopped
// before it was); sets a failure outcome otherwise.
void makeDurable(PendingCopy &p);
// Step 3 for a Copied file whose step 2 succeeded.
void putInPlace(PendingCopy &p);

#endif
