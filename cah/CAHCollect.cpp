// Candidate collection: pages through the database's candidate list, keeps one packed key per
// accepted item, and folds the per-directory entries of a spanned photo group into one key whose
// member positions the span map remembers for the hand-out.
#include "cah/CAHMediaList.h"

#include <ctime>

#include "cah/CAHLog.h"
#include "ztMedia/ztMediaDB.h"

namespace {

constexpr uint32_t kPageSize = 15;
constexpr int kShortPage = -3;  // pages kept claiming entries they did not carry
// Short pages in a row at one index before the count gives up: one short reply is asked again,
// a database that never sends a whole entry is not asked for ever.
constexpr int kShortPagesMax = 3;
constexpr int kFirstYear = 115;  // 2015, in years since 1900

bool isSpannedGroup(uint32_t type) { return type == DB_CONTENT_TYPE_TIME_LAPSE || type == DB_CONTENT_TYPE_NIGHT_LAPSE; }

uint32_t fileCount(const cah_item_s &item) { return item.last_number - item.first_number + 1; }

// Every field keeps the low bits of its value: it wraps at its width.
CompareBlock keyOf(const cah_item_s &item, uint32_t position)
{
    const time_t created = item.creation_time;
    tm utc{};
    gmtime_r(&created, &utc);
    CompareBlock b{};
    b.index = CAH_KEY_BITS(position, 18);
    b.type = CAH_KEY_BITS(item.content_type, 4);
    b.highlight = item.highlight_count != 0;
    b.userClip = item.cl & 1;
    b.year = CAH_KEY_BITS(uint32_t(utc.tm_year - kFirstYear), 5);
    b.day = CAH_KEY_BITS(uint32_t(utc.tm_yday), 9);
    b.sizeMB = CAH_KEY_BITS(item.size >> 20, 22);
    b.duration = CAH_KEY_BITS(item.duration, 25);
    b.count = CAH_KEY_BITS(fileCount(item), 18);
    return b;
}

}  // namespace

int CAHMediaList::getMediaCount(std::vector<UploadRule> &rules)
{
    mRules = rules;
    mIndex = mCurrentCount = mMediaStartIndex = 0;
    gcore::Tracer trace(CML_COMPONENT, CML_TRACE, "int CAHMediaList::getMediaCount(std::vector<UploadRule>&)");
    int shortPages = 0;
    for (;;) {
        CML_LOG(CML_NOISE, "  [NOISE]: [CML]: Calling dbGetCAHList index=%d, mMediaStartIndex:%d, mCurrentCount:%d\n",
                int(mIndex), int(mMediaStartIndex), int(mCurrentCount));
        const uint32_t pageStart = mIndex;
        uint32_t session = 0;
        const int r = dbGetCAHList(kPageSize, mIndex, mToken, countCb, this, nullptr, nullptr, &session, nullptr);
        if (r < 0)
            return r;
        if (versionChanged(session))
            return -1;
        mDbVersion = session;
        mDbVersionValid = true;
        if (r == 0) {
            mMediaStartIndex = mIndex;
            reset();
            return int(mCurrentCount);
        }
        shortPages = mIndex == pageStart ? shortPages + 1 : 0;
        if (shortPages == kShortPagesMax)
            return kShortPage;
    }
}

void CAHMediaList::countCb(void *ctx, cah_item_s *item)
{
    CAHMediaList &l = *static_cast<CAHMediaList *>(ctx);
    if (filterItem(*item, l.mRules)) {
        auto group = isSpannedGroup(item->content_type) ? l.mSpanMap.find(item->group_number) : l.mSpanMap.end();
        if (group != l.mSpanMap.end()) {
            // The list delivers a group's entries one after another, so its key is the last one.
            group->second.push_back(l.mIndex);
            if (!l.mBlocks.empty()) {
                CompareBlock &b = l.mBlocks.back();
                b.sizeMB = CAH_KEY_BITS(b.sizeMB + (item->size >> 20), 22);
                b.count = CAH_KEY_BITS(b.count + fileCount(*item), 18);
            }
        } else {
            l.mBlocks.push_back(keyOf(*item, l.mIndex));
            ++l.mCurrentCount;
            if (isSpannedGroup(item->content_type))
                l.mSpanMap[item->group_number] = {l.mIndex};
        }
    }
    ++l.mIndex;
}
