// The comparators' orderings, read straight from the packed keys.
#include "cah/Comparinator.h"

#include <cstddef>

#include "ztMedia/dbProtocol.h"

namespace {

// The upload order's name for each kind of medium (DbMediaKind order).
const SortType kSortOfKind[] = {
    SORT_PHOTO, SORT_BURST, SORT_CONTINUOUS, SORT_TIME_LAPSE, SORT_VIDEO, SORT_SESSION, SORT_NO_KIND,
};
static_assert(sizeof kSortOfKind / sizeof kSortOfKind[0] == size_t(DbMediaKind::None) + 1, "one sort type per kind");

// Bit fields read as signed so that differences keep their sign.
int32_t field(uint64_t v) { return static_cast<int32_t>(v); }

// Positive when a was made on a later day than b; the year decides before the day.
int32_t laterDay(const CompareBlock &a, const CompareBlock &b)
{
    if (a.year != b.year)
        return field(a.year) - field(b.year);
    return field(a.day) - field(b.day);
}

}  // namespace

SortType sortTypeOf(const CompareBlock &b)
{
    // The key keeps 4 bits of the type; 15 is no type. Videos become user clips when flagged.
    const DbContentTypeInfo *info = dbContentTypeInfo(b.type);
    const SortType kind = kSortOfKind[size_t(info ? info->kind : DbMediaKind::None)];
    return kind == SORT_VIDEO && b.userClip ? SORT_USER_VIDEO_CLIP : kind;
}

CompoundCompare::~CompoundCompare()
{
    for (Comparinator *c : mChildren)
        delete c;
}

int32_t CompoundCompare::compare(const CompareBlock &a, const CompareBlock &b) const
{
    for (const Comparinator *c : mChildren)
        if (const int32_t r = c->compare(a, b))
            return r;
    return 0;
}

int32_t CompareHighlight::compare(const CompareBlock &a, const CompareBlock &b) const
{
    return field(a.highlight) - field(b.highlight);
}

int32_t CompareByDayNewestFirst::compare(const CompareBlock &a, const CompareBlock &b) const { return laterDay(a, b); }

int32_t CompareDayOldestFirst::compare(const CompareBlock &a, const CompareBlock &b) const { return laterDay(b, a); }

int32_t CompareFileSize::compare(const CompareBlock &a, const CompareBlock &b) const
{
    return field(b.sizeMB) - field(a.sizeMB);
}

size_t CompareMediaType::rank(const CompareBlock &b) const
{
    const SortType kind = sortTypeOf(b);
    size_t i = 0;
    while (i < mOrder.size() && mOrder[i] != kind)
        ++i;
    return i;
}

int32_t CompareMediaType::compare(const CompareBlock &a, const CompareBlock &b) const
{
    const size_t ra = rank(a), rb = rank(b);
    return ra < rb ? 1 : ra > rb ? -1 : 0;
}
