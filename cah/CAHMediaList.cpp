// The candidate list's state and the boot-time histogram check.
#include "cah/CAHMediaList.h"

#include <cstdio>

#include "libztMediaRTOSDB/client/dbHistogram.h"

const std::string CAHMediaList::pathPrefix = "/tmp/fuse_d/DCIM/";

namespace {
// Mask bits 0-4 select upload states 0-4, the states the upload rules test; higher bits and
// higher states are never selected.
constexpr uint32_t kSelectableStates = 0x1F;
}  // namespace

CAHMediaList::CAHMediaList()
    : mIndex(0), mFound(false), mShareInfo(nullptr), mDbVersion(0), mDbVersionValid(false),
      mToken(uint32_t(reinterpret_cast<uintptr_t>(this))), mCurrentCount(0), mMediaStartIndex(0), mGroup(0)
{
    reset();  // points mCursor at mBlocks, which is constructed only now
}

CAHMediaList::~CAHMediaList() = default;

void CAHMediaList::reset()
{
    mCursor = mBlocks.begin();
    mFound = false;
    mShareInfo = nullptr;
    mDbVersionValid = false;
}

void CAHMediaList::clearState()
{
    mSpanMap.clear();
    mBlocks.clear();            // keeps its storage for the next count
    mCursor = mBlocks.begin();  // a cursor left behind would point past the end
}

bool CAHMediaList::versionChanged(uint32_t session)
{
    if (!mDbVersionValid || mDbVersion == session)
        return false;
    clearState();
    return true;
}

int CAHMediaList::matchHistogram(uint32_t mask)
{
    uint32_t histogram[DB_HISTOGRAM_BUCKETS] = {};
    // A response too short to carry a version leaves this alone, so it reads as "unchanged".
    uint32_t version = mDbVersion;
    clearState();
    if (dbGetUploadStatusHistogram(mToken, &version, histogram) != 0)
        return -1;

    puts("\nCAHMediaList::matchHistogram() histogram dump:");
    for (unsigned long i = 0; i < DB_HISTOGRAM_BUCKETS; ++i)
        printf(" h[%lu]=%d ", i, int(histogram[i]));
    printf("\n");

    if (mDbVersionValid && mDbVersion != version) {
        clearState();
        return -1;
    }
    mDbVersion = version;

    const uint32_t selected = mask & kSelectableStates;
    for (uint32_t i = 0; i < DB_HISTOGRAM_BUCKETS; ++i) {
        if ((selected >> i & 1) && histogram[i] != 0)
            return 1;
    }
    return 0;
}
