// The sort's fast path, inside the library: the comparator tree turned into one ordinal per key,
// and the predicate std::sort gets. Not installed: its tables are no host program's business.
#ifndef ZT_CAH_COMPAREORDINAL_H
#define ZT_CAH_COMPAREORDINAL_H

#include <cstdint>
#include <memory>
#include <vector>

#include "cah/Comparinator.h"

// The same order as a comparator tree of field rules, as one 64-bit ordinal per key (larger
// sorts first): comparing two integers costs a fraction of walking the tree's virtual calls.
class CompareOrdinal {
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
        uint64_t flip;  // all ones over the part's bits when smaller values sort first
        uint8_t bits;
        uint8_t rank[32];  // kKind: ordinal of each type * 2 + userClip
    };
    bool add(const Comparinator *c);
    uint64_t ordinalOf(uint64_t w) const;  // w: the key's first 64 bits
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
