// The comparators that order candidate keys: one small class per sort rule, a compound that asks
// its children in turn, and the adapter that makes one a predicate for std::sort. Comparators
// allocate nothing while comparing and are read-only then, so one may serve several sorts at once.
#ifndef ZT_CAH_COMPARINATOR_H
#define ZT_CAH_COMPARINATOR_H

#include <cstdint>
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

#endif
