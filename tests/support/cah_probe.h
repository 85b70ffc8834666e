// Reads and seeds a CAHMediaList's private state for the candidate-list tests (the class names
// this struct its friend). Holds a reference: use it on the list's thread while the list lives.
#ifndef ZT_TEST_CAH_PROBE_H
#define ZT_TEST_CAH_PROBE_H

#include <map>
#include <vector>

#include "cah/CAHMediaList.h"

struct CAHMediaListProbe {
    CAHMediaList &l;
    bool cursorAtBegin() const { return l.mCursor == l.mBlocks.begin(); }
    size_t cursor() const { return size_t(l.mCursor - l.mBlocks.begin()); }
    const std::vector<CompareBlock> &blocks() const { return l.mBlocks; }
    const std::map<uint32_t, std::vector<uint32_t>> &spans() const { return l.mSpanMap; }
    uint32_t index() const { return l.mIndex; }
    uint32_t scanned() const { return l.mMediaStartIndex; }
    uint32_t token() const { return l.mToken; }
    uint32_t version() const { return l.mDbVersion; }
    bool versionValid() const { return l.mDbVersionValid; }
    void holdVersion(uint32_t v)
    {
        l.mDbVersion = v;
        l.mDbVersionValid = true;
    }
    void setRules(const std::vector<UploadRule> &rules) { l.mRules = rules; }
    // Replaces the keys and puts the cursor on key `at`.
    void setBlocks(const std::vector<CompareBlock> &blocks, size_t at = 0)
    {
        l.mBlocks = blocks;
        l.mCursor = l.mBlocks.begin() + long(at);
    }
    // Fills the list as a count and a hand-out in progress would leave it.
    void populate()
    {
        setBlocks(std::vector<CompareBlock>(3), 2);
        l.mSpanMap[1001] = {4, 5};
        holdVersion(77);
    }
};

#endif
