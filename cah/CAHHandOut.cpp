// Candidate hand-out: re-reads each key's list entry, checks it against the rules of the call and
// hands it out with the full paths of its files (a spanned group with those of all its counted
// entries); and the upload-state write for one file.
#include "cah/CAHMediaList.h"

#include <algorithm>

#include "cah/CAHLog.h"
#include "ztMedia/ztMediaDB.h"

namespace {

enum : int { kHandedOut = 0, kQueryFailed = 1, kNoneLeft = 2, kDbChanged = 3 };
constexpr uint32_t kNoGroup = ~0u;
constexpr uint32_t kNoKind = ~0u;

// Kind code handed to the host per content type; kNoKind: never handed out.
const uint32_t kMediaTypeOfContent[] = {
    1,  5, 1, 4,        // video, looping video, chaptered video, video 3
    0,  2, 3, kNoKind,  // photo, burst, time-lapse, 7
    9,  8, 7, kNoKind,  // night-lapse, photo 9, continuous, 11
    11, 4, 4,           // video 12, 13, 14
};

uint32_t mediaTypeOf(uint32_t contentType)
{
    return contentType < std::size(kMediaTypeOfContent) ? kMediaTypeOfContent[contentType] : kNoKind;
}

bool isSpannedGroup(uint32_t type) { return type == DB_CONTENT_TYPE_TIME_LAPSE || type == DB_CONTENT_TYPE_NIGHT_LAPSE; }

}  // namespace

int CAHMediaList::getNextMedia(MediaShareInfo &info, std::vector<UploadRule> &rules)
{
    mRules = rules;
    mShareInfo = &info;
    mGroup = kNoGroup;
    for (;;) {
        if (mCursor == mBlocks.end())
            return kNoneLeft;
        mFound = false;
        const uint32_t index = mCursor->index;
        CML_LOG(CML_NOISE, "  [NOISE]: [CML]: Calling dbGetCAHList %p->%d\n", static_cast<void *>(&*mCursor),
                int(index));
        // A key beyond the counted range cannot come from a finished count: step over it without
        // asking the database, as if its entry had been read and refused.
        int r = 1;
        uint32_t session = mDbVersion;
        bool queried = false;
        if (index < mMediaStartIndex) {
            r = dbGetCAHList(1, index, mToken, itemCb, this, fileCb, this, &session, nullptr);
            queried = true;
        }
        CML_LOG(CML_NOISE, "  [NOISE]: [CML]: dbGetCAHList returned %d\n", r);
        if (r < 0)
            return kQueryFailed;
        mCursor += std::min<ptrdiff_t>(r, mBlocks.end() - mCursor);
        if (queried) {
            if (versionChanged(session))
                return kDbChanged;
            mDbVersion = session;
            mDbVersionValid = true;
        }
        if (mGroup != kNoGroup && mSpanMap.count(mGroup)) {
            const std::vector<uint32_t> positions = mSpanMap[mGroup];  // the map may be cleared below
            for (size_t i = 1; i < positions.size(); ++i) {
                if (dbGetCAHList(1, positions[i], mToken, nullptr, nullptr, fileCb, this, &session, nullptr) < 0)
                    return kQueryFailed;
                if (versionChanged(session))
                    return kDbChanged;
            }
        }
        if (r == 0)
            return kNoneLeft;
        if (mFound)
            return kHandedOut;
    }
}

void CAHMediaList::itemCb(void *ctx, cah_item_s *item)
{
    CAHMediaList &l = *static_cast<CAHMediaList *>(ctx);
    if (!filterItem(*item, l.mRules))
        return;
    if (isSpannedGroup(item->content_type)) {
        const auto group = l.mSpanMap.find(item->group_number);
        if (group != l.mSpanMap.end()) {
            // Only the entry that made the group's key hands the group out.
            if (group->second.empty() || group->second.front() != l.mCursor->index)
                return;
            l.mGroup = item->group_number;
        } else {
            CML_LOG(CML_ERROR, "  [ERROR]: [CML]: %s: Missing group in span map: %d\n", "itemCb",
                    int(item->group_number));
        }
    }
    const uint32_t kind = mediaTypeOf(item->content_type);
    if (kind == kNoKind) {
        CML_LOG(CML_WARNING, "[WARNING]: [CML]: CAHMediaList::%s : unknown item type: %d\n", "itemCb",
                int(item->content_type));
        l.mFound = false;
        return;
    }
    l.mFound = true;
    l.mShareInfo->title.clear();
    l.mShareInfo->description.clear();
    l.mShareInfo->mediaType = kind;
}

void CAHMediaList::fileCb(void *ctx, char *dir, char *file)
{
    CAHMediaList &l = *static_cast<CAHMediaList *>(ctx);
    if (l.mFound && l.mShareInfo)
        l.mShareInfo->files.push_back(pathPrefix + dir + "/" + file);
}

int CAHMediaList::setUploadState(const std::string &path, UploadState state)
{
    const size_t slash = path.find('/');
    if (path.size() != DB_DIR_NAME_LEN + 1 + DB_FILE_NAME_LEN || slash != DB_DIR_NAME_LEN)
        return -1;
    const std::string dir = path.substr(0, slash), file = path.substr(slash + 1);
    CML_LOG(CML_INFO, "   [INFO]: [CML]: Calling dbSetCAHUploadStatus(%s, %s, %d, 0x%08X)\n", dir.c_str(), file.c_str(),
            int(state), mToken);
    return dbSetCAHUploadStatus(dir.c_str(), file.c_str(), state, mToken);
}
