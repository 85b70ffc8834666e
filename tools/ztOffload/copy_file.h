// One card file onto DEST, whole or not at all: copied to a hidden partial file (".NAME.part"),
// checksummed as read, synced, read back and checked against the card's
// checksum, then renamed to its name and the folder synced. A partial file left by a run that
// stopped is continued from where it ends; a file already on DEST with the same bytes is not
// copied again. A name on DEST holding other bytes is left alone and the copy takes NAME~2.EXT
// (up to ~9). Plain functions; the caller owns every descriptor.
#ifndef ZT_TOOLS_OFFLOAD_COPY_FILE_H
#define ZT_TOOLS_OFFLOAD_COPY_FILE_H

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

#include "card_source.h"

enum class CopyOutcome {
    Copied,        // whole and durable on DEST now
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
    std::string destName;   // the name used on DEST
    uint64_t written = 0;   // bytes written by this call
    uint64_t resumedAt = 0; // bytes an earlier run had copied already
    std::string why;        // for the outcomes that are failures
};

// True for the errors of a destination without room (no space, quota, file size limit).
bool destFullError(int err);

// Copies `src` into the folder `destDir` as `name`. `onBytes` hears of every chunk written;
// `stop` is polled between chunks.
CopyResult copyToDest(const CardFile &src, int destDir, const std::string &name,
                      const std::function<void(uint64_t)> &onBytes, const volatile std::sig_atomic_t &stop);

#endif
