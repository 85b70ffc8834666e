// Claims a state file for one server: opens it (creating it when missing) and takes an exclusive
// lock on it (flock) that lasts as long as the descriptor, so that a second server on the same
// file is refused instead of serving values the first one no longer has. Says whether the file
// was created here or found empty, which a store that held a card never is.
#ifndef ZT_MEDIADB_STORE_CLAIM_H
#define ZT_MEDIADB_STORE_CLAIM_H

#include <string>

#include "mediadb/media_card.h"

struct StoreClaim {
    int fd = -1;           // holds the lock; close it only after the store's own descriptors
    bool created = false;  // the file did not exist
    bool empty = false;    // it existed and held no byte
};

// The claim on `path`, or the reason (one line naming the file) it cannot be had.
Status claimStoreFile(const std::string &path, StoreClaim *claim);

#endif
