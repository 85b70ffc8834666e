// Flattens a comparator tree into one ordinal per key. Every rule orders by one field, and the
// compound asks them in turn, so concatenating the fields (most significant rule first, each
// turned so that larger sorts first) orders exactly as the tree does. The ordinal is then split
// by bytes: every field is linear in its bits (an inverted one is its mask minus the value) except
// the media kind, whose bits all lie in byte 2, so the ordinal is a constant plus one table value
// per byte, and a comparison costs twelve loads instead of a walk over the rules.
#include <algorithm>
#include <cstring>
#include <typeinfo>

#include "cah/CompareOrdinal.h"

namespace {

constexpr uint8_t kDayBits = 14;  // year (5) above day of the year (9)
constexpr uint8_t kSizeBits = 22;

// Bit positions in the key's first 64 bits (the layout test pins them).
enum : unsigned { kTypeAt = 18, kHighlightAt = 22, kUserClipAt = 23, kYearAt = 25, kDayAt = 30, kSizeAt = 39 };
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "keys are read as little-endian words");

// One part's width is at most kSizeBits, so the shift stays inside the word.
uint64_t lowBits(uint8_t bits) { return (uint64_t(1) << bits) - 1; }

// The comparator when it is exactly of class T (the factory's own); null for any other class,
// a host's subclass that may order differently included.
template <class T>
const T *exactly(const Comparinator *c)
{
    return typeid(*c) == typeid(T) ? static_cast<const T *>(c) : nullptr;
}

uint8_t bitsFor(size_t maxValue)
{
    uint8_t bits = 0;
    while (maxValue >> bits)
        ++bits;
    return bits;
}

}  // namespace

CompareOrdinal::CompareOrdinal(const Comparinator *c)
{
    mValid = add(c);
    if (!mValid)
        return;
    mBase = ordinalOf(0);
    for (unsigned byte = 2; byte < 8; ++byte)
        for (uint64_t v = 0; v < 256; ++v)
            mByte[byte - 2][v] = ordinalOf(v << (8 * byte)) - mBase;  // wraps back in the sum
}

bool CompareOrdinal::add(const Comparinator *c)
{
    if (!c)
        return false;
    if (const auto *compound = exactly<CompoundCompare>(c)) {
        for (const Comparinator *child : compound->children())
            if (!add(child))
                return false;
        return true;
    }
    Part p{};
    if (exactly<CompareHighlight>(c)) {
        p = {kHighlight, 0, 1, {}};
    } else if (exactly<CompareByDayNewestFirst>(c)) {
        p = {kDay, 0, kDayBits, {}};
    } else if (exactly<CompareDayOldestFirst>(c)) {
        p = {kDay, 1, kDayBits, {}};
    } else if (exactly<CompareFileSize>(c)) {
        p = {kSize, 1, kSizeBits, {}};
    } else if (const auto *media = exactly<CompareMediaType>(c)) {
        // Ranks as dense ordinals, the first-listed kind highest.
        size_t ranks[32];
        for (uint32_t i = 0; i < 32; ++i) {
            CompareBlock b{};
            b.type = CAH_KEY_BITS(i >> 1, 4);
            b.userClip = i & 1;
            ranks[i] = media->rank(b);
        }
        std::vector<size_t> distinct(ranks, ranks + 32);
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        p = {kKind, 0, bitsFor(distinct.size() - 1), {}};
        for (uint32_t i = 0; i < 32; ++i)
            p.rank[i] = uint8_t(distinct.end() - std::lower_bound(distinct.begin(), distinct.end(), ranks[i]) - 1);
    } else {
        return false;
    }
    p.flip = p.flip ? lowBits(p.bits) : 0;
    mBits += p.bits;
    mParts.push_back(p);
    return mBits <= 64;
}

uint64_t CompareOrdinal::ordinalOf(uint64_t w) const
{
    uint64_t v = 0;
    for (const Part &p : mParts) {
        uint64_t x;
        switch (p.field) {
        case kHighlight: x = w >> kHighlightAt & 1; break;
        case kDay: x = (w >> kYearAt & 0x1F) << 9 | (w >> kDayAt & 0x1FF); break;
        case kSize: x = w >> kSizeAt & 0x3FFFFF; break;
        default: x = p.rank[(w >> kTypeAt & 0xF) << 1 | (w >> kUserClipAt & 1)]; break;
        }
        v = v << p.bits | (x ^ p.flip);
    }
    return v;
}
