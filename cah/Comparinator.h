// The comparators that order candidate keys: one small class per sort rule, a compound that asks
// its children in turn, and the adapter that makes one a predicate for std::sort. Comparators
// allocate nothing while comparing and are read-only then, so one may serve several sorts at once.
#ifndef ZT_CAH_COMPARINATOR_H
#define ZT_CAH_COMPARINATOR_H

#include <cstdint>
#include <memory>
#include <vector>

#include "CAHMediaList.h"
#include "ztMedia/ztMediaExport.h"

// Media kinds a sort rule can put in order; the names in "media_type_order" select them.
enum SortType : uint32_t {
    SORT_PHOTO = 0,
    SORT_BURST = 1,
    SORT_CONTINUOUS = 2,
    SORT_TIME_LAPSE = 3,
    SORT_VIDEO = 4,
    SORT_USER_VIDEO_CLIP = 5,
    SORT_AUTO_VIDEO_CLIP = 6,  // no content type falls under it
    SORT_SESSION = 7,
    SORT_NO_KIND = 9,
};

// The kind of a key: its content type, and the user-clip flag for videos.
ZT_MEDIA_API
SortType sortTypeOf(const CompareBlock &b);

class ZT_MEDIA_API Comparinator {
public:
    virtual ~Comparinator() = default;
    // Positive: a sorts before b; negative: b before a; 0: this comparator cannot tell them apart.
    virtual int32_t compare(const CompareBlock &a, const CompareBlock &b) const = 0;
};

// The whole document: the first child that tells a and b apart decides. Owns its children.
class ZT_MEDIA_API CompoundCompare : public Comparinator {
public:
    ~CompoundCompare() override;
    int32_t compare(const CompareBlock &a, const CompareBlock &b) const override;
    void add(Comparinator *child) { mChildren.push_back(child); }
    const std::vector<Comparinator *> &children() const { return mChildren; }

private:
    std::vector<Comparinator *> mChildren;
};

// Highlighted media first.
class ZT_MEDIA_API CompareHighlight : public Comparinator {
public:
    int32_t compare(const CompareBlock &a, const CompareBlock &b) const override;
};

// Later day first (year, then day of the year); keys of one day tie.
class ZT_MEDIA_API CompareByDayNewestFirst : public Comparinator {
public:
    int32_t compare(const CompareBlock &a, const CompareBlock &b) const override;
};

// Earlier day first; keys of one day tie.
class ZT_MEDIA_API CompareDayOldestFirst : public Comparinator {
public:
    int32_t compare(const CompareBlock &a, const CompareBlock &b) const override;
};

// Smaller file first, in whole MiB.
class ZT_MEDIA_API CompareFileSize : public Comparinator {
public:
    int32_t compare(const CompareBlock &a, const CompareBlock &b) const override;
};

// Kinds in the order of the list; kinds not listed come last and tie with each other.
class ZT_MEDIA_API CompareMediaType : public Comparinator {
public:
    explicit CompareMediaType(std::vector<SortType> order) : mOrder(std::move(order)) {}
    int32_t compare(const CompareBlock &a, const CompareBlock &b) const override;
    // Position of the key's kind in the order list; the list's length when it is not listed.
    size_t rank(const CompareBlock &b) const;

private:
    std::vector<SortType> mOrder;
};

// The same order as a comparator tree of field rules, as one 64-bit ordinal per key (larger
// sorts first): comparing two integers costs a fraction of walking the tree's virtual calls.
class ZT_MEDIA_API CompareOrdinal {
public:
    // valid() is false when c holds a rule of a class the factory does not make (a host's
    // subclass too: its compare may differ) or needs more than 64 bits.
    explicit CompareOrdinal(const Comparinator *c);
    bool valid() const { return mValid; }
    // Inline and branch-free: it runs twice per comparison of the sort.
    uint64_t operator()(const CompareBlock &b) const
    {
        const auto *k = reinterpret_cast<const uint8_t *>(&b);
        return mBase + mByte[0][k[2]] + mByte[1][k[3]] + mByte[2][k[4]] + mByte[3][k[5]] + mByte[4][k[6]] +
               mByte[5][k[7]];
    }

private:
    enum Field : uint8_t { kHighlight, kDay, kSize, kKind };
    struct Part {
        Field field;
        uint64_t flip;     // all ones over the part's bits when smaller values sort first
        uint8_t bits;
        uint8_t rank[32];  // kKind: ordinal of each type * 2 + userClip
    };
    bool add(const Comparinator *c);
    uint64_t ordinalOf(uint64_t firstWord) const;
    std::vector<Part> mParts;
    unsigned mBits = 0;
    bool mValid = false;
    // The ordinal split by the key's bytes 2 to 7 (bytes 0 and 1 hold only the list position).
    uint64_t mBase = 0;
    uint64_t mByte[6][256] = {};
};

// The strict ordering std::sort wants: a before b exactly when compare(a, b) > 0.
struct CompareAdapter {
    explicit CompareAdapter(const Comparinator *c) : mCompare(c), mOrdinal(std::make_shared<CompareOrdinal>(c)) {}
    bool operator()(const CompareBlock &a, const CompareBlock &b) const
    {
        return mOrdinal->valid() ? (*mOrdinal)(a) > (*mOrdinal)(b) : mCompare->compare(a, b) > 0;
    }
    const Comparinator *mCompare;
    std::shared_ptr<const CompareOrdinal> mOrdinal;  // std::sort copies the predicate
};

#endif
