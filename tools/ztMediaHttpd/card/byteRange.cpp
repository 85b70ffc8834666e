// See byteRange.h.
#include "card/byteRange.h"

#include <cstring>

namespace {

// Decimal digits at *p into *v (saturating, so a huge number still compares as huge).
bool digits(const char **p, uint64_t *v)
{
    const char *s = *p;
    uint64_t n = 0;
    while (*s >= '0' && *s <= '9') {
        uint64_t d = (uint64_t)(*s - '0');
        n = n > (UINT64_MAX - d) / 10 ? UINT64_MAX : n * 10 + d;
        ++s;
    }
    bool any = s != *p;
    *p = s;
    *v = n;
    return any;
}

}  // namespace

ByteRange parseByteRange(const char *header, uint64_t size)
{
    const ByteRange whole{RangeKind::Whole, 0, size, false};
    const ByteRange refused{RangeKind::Unsatisfiable, 0, 0, false};
    const char prefix[] = "bytes=";
    if (!header || strncmp(header, prefix, sizeof prefix - 1) != 0)
        return whole;
    const char *p = header + sizeof prefix - 1;
    uint64_t first = 0, last = 0;
    bool hasFirst = digits(&p, &first);
    if (*p++ != '-')
        return whole;
    bool hasLast = digits(&p, &last);
    if (*p != '\0' || (!hasFirst && !hasLast) || (hasFirst && hasLast && last < first))
        return whole;
    if (!hasFirst) {  // the last `last` bytes
        if (last == 0 || size == 0)
            return refused;
        uint64_t n = last < size ? last : size;
        return {RangeKind::Part, size - n, n, false};
    }
    if (first >= size)
        return refused;
    const bool plain = !hasLast || last < size;
    if (!plain || !hasLast)
        last = size - 1;
    return {RangeKind::Part, first, last - first + 1, plain};
}
