// The auto-upload candidate list: one packed sort key per candidate, the list positions of
// spanned photo groups, the upload rules in use, and the boot-time histogram check.
// The list owns its keys, span map and rules; nothing it returns outlives it. Not thread-safe:
// one list is used by one thread at a time.
#ifndef ZT_CAH_CAHMEDIALIST_H
#define ZT_CAH_CAHMEDIALIST_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "MediaShareInfo.h"  // beside it here and where it is installed
#include "ztMedia/ztMediaExport.h"

struct cah_item_s;

// One candidate's sort key, 104 bits packed into 13 bytes so the sort moves small records.
// Fields are numbered from the least significant bit of the first byte.
struct __attribute__((packed)) CompareBlock {
    uint64_t index : 18;     // list position of the first accepted item, modulo 2^18
    uint64_t type : 4;       // content type, low 4 bits
    uint64_t highlight : 1;  // the item has highlights
    uint64_t userClip : 1;   // low bit of the item's cl
    uint64_t spare : 1;      // always 0
    uint64_t year : 5;       // UTC year of creation minus 2015, modulo 32
    uint64_t day : 9;        // UTC day of the year of creation, 0 for 1 January
    uint64_t sizeMB : 22;    // size >> 20, summed over a spanned group's accepted members
    uint64_t duration : 25;  // seconds (first member of a spanned group)
    uint64_t count : 18;     // file count, summed over a spanned group's accepted members
};
static_assert(sizeof(CompareBlock) == 13, "CompareBlock is a 13-byte packed key");
// The low `bits` bits of v: a field of that width takes them without an implicit wrap.
#define CAH_KEY_BITS(v, bits) ((v) & ((uint64_t(1) << (bits)) - 1))

// One upload rule: a media rule (isStateRule false) selects by kind of medium, a state rule by
// upload state. label and extra ride along; the list never reads them.
struct UploadRule {
    bool isStateRule = false;
    uint32_t kind = 0;
    std::string label;
    uint32_t minScore = 0, maxScore = UINT32_MAX;
    uint32_t minDuration = 0, maxDuration = UINT32_MAX;
    uint32_t minCount = 0, maxCount = UINT32_MAX;
    uint32_t extra = 0;
};

class ZT_MEDIA_API CAHMediaList {
public:
    // The media root under which file paths are built.
    static const std::string pathPrefix;

    CAHMediaList();
    ~CAHMediaList();
    // The token is the object's own address and the cursor points into mBlocks: no copies.
    CAHMediaList(const CAHMediaList &) = delete;
    CAHMediaList &operator=(const CAHMediaList &) = delete;

    // Rewinds the hand-out to the first key and forgets the recorded database version.
    void reset();
    // Drops the collected keys and the span map (the cursor then rests on the empty end);
    // counters, rules and version stay.
    void clearState();
    // Fetches the upload-state histogram, prints it on standard output and tells whether a
    // bucket selected by mask (bits 0-4 select states 0-4) is non-zero: 1 yes, 0 no, -1 when
    // the query failed or the database changed under a recorded version.
    int matchHistogram(uint32_t mask);

    // Counts the candidates on the card under `rules`, collecting one key per candidate (one per
    // spanned photo group). The number of candidates; the negative result of the list query; -1
    // when the database changed during the count (the keys are then dropped); -3 when a page
    // claims entries it does not carry. Call clearState first to count afresh.
    int getMediaCount(std::vector<UploadRule> &rules);
    // True when at least one media rule and one state rule accept the item.
    static bool filterItem(const cah_item_s &item, const std::vector<UploadRule> &rules);
    // False for a rule whose kind can match no item (media kinds 5, 9 and above 10, state kinds
    // other than 11-15): the filter takes such a rule, but no host can mean it.
    static bool ruleCanMatch(const UploadRule &rule);
    // Item callback of the count; ctx is the list.
    static void countCb(void *ctx, cah_item_s *item);

    // Orders the keys by the sort-rule document (null: newest day first, then smallest file) and
    // rewinds the hand-out. 0, or -1 when the document is refused (order and cursor untouched).
    int sort(const char *json);

    // Hands out the next candidate that still passes `rules` into info: 0 handed out; 1 a list
    // query failed (a group's first key is retried next time); 2 no candidate left; 3 the
    // database changed since the count (the keys are dropped: count again).
    int getNextMedia(MediaShareInfo &info, std::vector<UploadRule> &rules);
    // Item and file callbacks of the hand-out; ctx is the list.
    static void itemCb(void *ctx, cah_item_s *item);
    static void fileCb(void *ctx, char *dir, char *file);

    // Records the upload state of "DIR/FILE" (8 and 12 characters, relative to pathPrefix):
    // the database write's result (0 on success), or -1 for a path of another form.
    int setUploadState(const std::string &path, UploadState state);

private:
    friend struct CAHMediaListProbe;  // tests read and seed the state

    // True, with the keys dropped, when a version is held and `session` differs from it.
    bool versionChanged(uint32_t session);

    std::vector<CompareBlock>::iterator mCursor;  // next candidate to hand out
    uint32_t mIndex;                              // list position of the next entry to request
    bool mFound;                                  // the current hand-out's entry was accepted into mShareInfo
    MediaShareInfo *mShareInfo;                   // output record of the hand-out under way
    uint32_t mDbVersion;                          // database version word as last recorded
    bool mDbVersionValid;                         // mDbVersion holds a value
    uint32_t mToken;                              // sent with every request: low 32 bits of this
    std::vector<UploadRule> mRules;
    uint32_t mCurrentCount;                              // candidates found by the last count
    uint32_t mMediaStartIndex;                           // list entries scanned by the last count
    uint32_t mGroup;                                     // group number of the entry being fetched
    std::map<uint32_t, std::vector<uint32_t>> mSpanMap;  // group number -> list positions
    std::vector<CompareBlock> mBlocks;                   // the candidates' sort keys
};

#endif
