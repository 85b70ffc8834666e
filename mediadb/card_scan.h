// Card scan: indexes a real card folder (DIR/DCIM/<8-character folders>/<camera names>) into the
// MediaCard a manifest would describe, grouping chapters, loops and photo groups by the camera
// naming rules. Stateless; safe from any thread (reads the camera model for chapter numbering).
#ifndef ZT_MEDIADB_CARD_SCAN_H
#define ZT_MEDIADB_CARD_SCAN_H

#include <string>

#include "mediadb/manifest.h"
#include "mediadb/media_card.h"

enum : uint32_t {
    CARD_SCAN_MAX_DIRS = 1000,        // 8-character folders indexed under DCIM
    CARD_SCAN_MAX_ENTRIES = 500000,   // directory entries read in all (junk included)
};

// The folder that holds the camera folders: ROOT/DCIM.
std::string cardDcimPath(const std::string &root);
// A camera folder name: 8 printable characters.
bool isCardFolderName(const char *name);
// Replaces *card by the scan of the card mounted at `root`. The card identifier is left empty
// (the caller derives or carries one); every upload word is 0. Errors start with "card ROOT: ".
Status scanCard(const std::string &root, MediaCard *card, EntrySource source = EntrySource::Keep);

#endif
