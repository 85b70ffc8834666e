// Turns the card's model into wire records: a bounded frame writer and the content, video, group
// and list-entry encoders shared by every command. Frames are values the caller owns; the
// functions keep no state and are safe from any thread (the caller holds the catalog's lock).
#ifndef ZT_MEDIADB_RECORD_ENCODER_H
#define ZT_MEDIADB_RECORD_ENCODER_H

#include <cstring>
#include <vector>

#include "mediadb/media_card.h"

using Frame = std::vector<uint8_t>;

// Appends packed records to a frame of at most DB_FRAME_MAX bytes; a put that does not fit fails
// and leaves the frame as it was.
class FrameWriter {
public:
    bool putBytes(const void *p, size_t n)
    {
        if (mFrame.size() + n > DB_FRAME_MAX)
            return false;
        const uint8_t *b = static_cast<const uint8_t *>(p);
        mFrame.insert(mFrame.end(), b, b + n);
        return true;
    }
    template <typename T>
    bool put(const T &record)
    {
        return putBytes(&record, sizeof record);
    }
    size_t size() const { return mFrame.size(); }
    void truncate(size_t n) { mFrame.resize(n); }
    Frame &frame() { return mFrame; }

private:
    Frame mFrame;
};

// The content record of one file: a member carries its own name, size, times and word and the
// entry's other fields.
db_content_info contentInfoOf(const MediaEntry &e, int member);
// The record of a file the database does not know: type all ones, the asked-for names.
db_content_info contentNotFound(const char *dir, const char *file);
// The video record (24 bytes and highlights) of a file; zeros for files without one.
bool putVideoBlock(FrameWriter &w, const MediaEntry &e, int member);
// Which records carry the highlight bitmap: a list entry only for photo groups, the group
// information answer for every group whose content record counts highlights.
enum class SecondBitmap { PhotoGroupsOnly, WheneverHighlighted };
// The group record and its bitmaps.
bool putGroupBlock(FrameWriter &w, const MediaEntry &e, SecondBitmap rule);
// One list entry for file `member` of `e` (-1: the entry itself) under `listOptions`; false
// (frame unchanged) when it does not fit.
bool putListEntry(FrameWriter &w, const MediaEntry &e, int member, uint32_t listOptions);
// Whether a content record announces a parent GUMI.
bool hasParentGumi(const MediaEntry &e);

#endif
