// The media database server's model of one card: entries in list order, the further files of
// grouped videos, directory listings, card identifier and version words; plus the small status
// value that server modules return. Plain values: the owner copies or moves them; a MediaCard is
// not synchronised (the catalog guards the one it serves).
#ifndef ZT_MEDIADB_MEDIA_CARD_H
#define ZT_MEDIADB_MEDIA_CARD_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mediadb/media_info.h"
#include "ztMedia/dbProtocol.h"

// Result of a server operation: empty message on success, else one line saying what failed.
struct Status {
    std::string message;
    bool ok() const { return message.empty(); }
    static Status error(std::string text) { return Status{std::move(text)}; }
};

struct VideoRecord {
    uint32_t ls = 0, durationMs = 0, profile = 0, avcProfile = 0, cl = 0;
    std::vector<uint32_t> highlights;
};

// A further file of a grouped video. Its upload status is resolved at load: its own when the
// manifest gives one, else the entry's; from then on every file's word is independent.
struct MemberFile {
    std::string file;
    uint64_t size = 0;
    uint32_t cre = 0, mod = 0;
    uint32_t uploadStatus = 0;
    VideoRecord video;
};

struct GroupRecord {
    uint32_t groupNumber = 0, first = 0, last = 0;
    std::vector<uint32_t> missing;      // member numbers absent from the card
    std::vector<uint32_t> highlighted;  // photo groups: members carrying a highlight
    uint64_t groupSize = 0;
};

struct MediaEntry {
    std::string dir, file;
    uint32_t type = 0;
    uint32_t cre = 0, mod = 0, flags = 0, uploadStatus = 0;
    uint32_t mahs = 0, rot = 0, fov = 0, lc = 0, prjn = 0, highlightCount = 0;
    uint64_t size = 0;
    uint8_t gumi[DB_GUMI_LEN] = {};
    uint8_t pgumi[DB_GUMI_LEN] = {};
    VideoRecord video;
    GroupRecord group;
    db_more_info more{};
    std::vector<MemberFile> members;
    std::string source;  // the entry as JSON, how the store keeps it
};

// One file of the card: an entry (member -1) or one further file of a grouped video.
struct FileRef {
    size_t entry = 0;
    int member = -1;
};

// The upload word of file `member` of an entry (-1: the entry's own file). The one place that
// tells an entry's word from a member's: every read and write of a file's word goes through it.
uint32_t &fileUploadWord(MediaEntry &e, int member);
uint32_t fileUploadWord(const MediaEntry &e, int member);

struct DirListing {
    std::string file;
    uint64_t first = 0, second = 0;  // size and modification time as the scan reports them
};

// What was read from one file of a scanned card, valid while its size and modification time
// (nanoseconds) are those recorded.
struct FileFacts {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    MediaInfo info;
};
// The facts of one camera folder by file name; shared, never changed once built, so a rescan of
// one folder keeps every other folder's facts without copying them.
using FolderFacts = std::unordered_map<std::string, FileFacts>;
using CardIndex = std::map<std::string, std::shared_ptr<const FolderFacts>>;

// One camera folder read again: what replaces the folder's entries, listing and facts in a card
// whose entries are kept folder by folder in name order (a scanned card).
struct FolderUpdate {
    std::string dir;
    bool present = false;  // false: the folder is gone; nothing of it stays
    std::vector<MediaEntry> media;
    std::vector<DirListing> listing;
    std::shared_ptr<const FolderFacts> facts;
};

struct MediaCard {
    std::string cardId;
    uint32_t version = 1, sessionId = 1;
    std::vector<MediaEntry> media;
    std::map<std::string, std::vector<DirListing>> dirs;  // explicit listings by directory
    CardIndex index;                                      // a scanned card's facts by folder; empty for a manifest
};

// "DIR/FILE", the key of one file everywhere in the server.
std::string fileKey(const std::string &dir, const std::string &file);
// Calls fn(ref, key) for every file of the card in list order: each entry, then its members.
void forEachFile(const MediaCard &card, const std::function<void(const FileRef &, const std::string &)> &fn);
// Names every file the card knows (entries and members), in list order.
std::vector<std::string> cardFileKeys(const MediaCard &card);
// The directory scan of `dir`: its explicit listing, else the card's files in that directory.
// False when the card knows nothing of the directory.
bool cardDirListing(const MediaCard &card, const std::string &dir, std::vector<DirListing> *out);
// Carries what a running or stored card knew into its successor `next` (a rescan, or a restart
// with a stored state): upload words of files both know win, so acknowledged writes survive; the
// version words stay when the set of files is the same and move past both cards' otherwise. A
// file is the same when its name, size and modification time are: one replaced under its name
// is a new file, with upload state 0.
void cardCarryOver(const MediaCard &previous, MediaCard *next);
// The same for one folder: the upload words of `previous` entries [from, to) (the folder as it
// was, read with `before` facts) carried into `next`. True when the folder's set of files is the
// same.
bool folderCarryOver(const MediaCard &previous, size_t from, size_t to, const FolderFacts *before, FolderUpdate *next);
// 16 hex digits hashed from `parts`: identifiers derived from what a card is.
std::string hashedId(const std::vector<std::string> &parts);
// 16 hex digits derived from the files of the card: a stable identifier when none is given.
std::string cardDerivedId(const MediaCard &card);

#endif
