// Card scan: indexes a real card folder (DIR/DCIM/<8-character folders>/<camera names>) into the
// MediaCard a manifest would describe, grouping chapters, loops and photo groups by the camera
// naming rules. Stateless; safe from any thread (reads the camera model for chapter numbering).
#ifndef ZT_MEDIADB_CARD_SCAN_H
#define ZT_MEDIADB_CARD_SCAN_H

#include <atomic>
#include <functional>
#include <set>
#include <string>

#include "libztMediaRTOSDB/protocol/dbCameraNames.h"  // the camera folder and file names
#include "mediadb/manifest.h"
#include "mediadb/media_card.h"

enum : uint32_t {
    CARD_SCAN_MAX_DIRS = 1000,       // 8-character folders indexed under DCIM
    CARD_SCAN_MAX_ENTRIES = 500000,  // directory entries read in all (junk included)
};

// The folder that holds the camera folders: ROOT/DCIM.
std::string cardDcimPath(const std::string &root);

// How far a scan is: files listed so far, media files indexed (read or taken over) and of those
// opened and read, camera folders done and found.
struct ScanProgress {
    size_t filesSeen = 0, filesDone = 0, filesRead = 0, foldersDone = 0, foldersTotal = 0;
};

struct ScanOptions {
    EntrySource source = EntrySource::Keep;
    // The card served so far: a file whose size and modification time are those it recorded is
    // not opened again, its facts are taken over.
    const MediaCard *previous = nullptr;
    // Called from the scanning thread after each media file and each folder.
    std::function<void(const ScanProgress &)> progress;
    // When it turns true the scan opens no further file and stops at the next folder.
    const std::atomic<bool> *cancel = nullptr;
};

// Replaces *card by the scan of the card mounted at `root`. The card identifier is left empty
// (the caller derives or carries one); every upload word is 0. Errors start with "card ROOT: ".
// *done (when given) receives the final counts.
Status scanCard(const std::string &root, MediaCard *card, const ScanOptions &options = {},
                ScanProgress *done = nullptr);

// What a scan of some camera folders needs of the card served: those folders' facts, and what
// the rest of the card holds (the card's limits count it).
struct FolderBasis {
    CardIndex facts;
    size_t otherFolders = 0, otherEntries = 0;
};
FolderBasis folderBasis(const MediaCard &served, const std::set<std::string> &dirs);

// Reads the camera folders `dirs` of the card at `root` again, one FolderUpdate each in name
// order (a folder that is no longer a camera folder comes back not present), for a card whose
// other folders are as `basis` says. Errors as scanCard's.
Status scanFolders(const std::string &root, const std::set<std::string> &dirs, const FolderBasis &basis,
                   const ScanOptions &options, std::vector<FolderUpdate> *out);

// The card folder's own identifier, known before any file is read: a hash of the birth time of
// ROOT/DCIM (which a camera sets when it formats the card), or of its device and inode where the
// file system keeps no birth time. Refuses a DCIM that is missing, a link or not a folder.
Status cardFolderId(const std::string &root, std::string *id);

#endif
