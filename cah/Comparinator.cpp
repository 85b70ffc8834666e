// The comparators' orderings, read straight from the packed keys.
#include "cah/Comparinator.h"

namespace {

// Kind of each content type code (the key keeps 4 bits). Videos 0-2 become user clips when flagged.
const SortType kKindOfType[16] = {
    SORT_VIDEO,      SORT_VIDEO,      SORT_VIDEO,      SORT_TIME_LAPSE,  // 0-3
    SORT_PHOTO,      SORT_BURST,      SORT_TIME_LAPSE, SORT_SESSION,     // 4-7
    SORT_TIME_LAPSE, SORT_PHOTO,      SORT_CONTINUOUS, SORT_NO_KIND,     // 8-11
    SORT_BURST,      SORT_TIME_LAPSE, SORT_TIME_LAPSE, SORT_NO_KIND,     // 12-15
};

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
    const SortType kind = kKindOfType[b.type];
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

int32_t CompareByDayNewestFirst::compare(const CompareBlock &a, const CompareBlock &b) const
{
    return laterDay(a, b);
}

int32_t CompareDayOldestFirst::compare(const CompareBlock &a, const CompareBlock &b) const
{
    return laterDay(b, a);
}

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
