// Feeds one arbitrary sort-rule document to the comparator factory; whatever it builds must order
// a fixed set of keys consistently (never a as well before as after b), the sort's flattened
// predicate must agree with the comparator on every pair, and nothing may crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cah/CompareFactory.h"
#include "cah/CompareOrdinal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string json(reinterpret_cast<const char *>(data), size);
    Comparinator *c = CompareFactory::create(json.c_str());
    if (!c)
        return 0;
    std::vector<CompareBlock> keys(32);
    for (uint32_t i = 0; i < keys.size(); ++i) {
        keys[i].index = CAH_KEY_BITS(i, 18);
        keys[i].type = i % 16;
        keys[i].highlight = i % 3 == 0;
        keys[i].userClip = i % 5 == 0;
        keys[i].year = i % 4;
        keys[i].day = CAH_KEY_BITS((i * 37) % 366, 9);
        keys[i].sizeMB = (i * 0x2F1Bu) % (1u << 22);
    }
    const CompareAdapter before(c);
    for (const CompareBlock &a : keys)
        for (const CompareBlock &b : keys)
            if ((c->compare(a, b) > 0) != (c->compare(b, a) < 0) || before(a, b) != (c->compare(a, b) > 0))
                std::abort();
    std::sort(keys.begin(), keys.end(), CompareAdapter(c));
    CompareFactory::destroy(c);
    return 0;
}
