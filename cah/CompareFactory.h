// Builds the comparator a sort-rule document asks for: {"sort_rules": [names, most significant
// first], "media_type_order": [kind names, first kind first]}. The caller owns the result and
// returns it to destroy. No shared state; safe from any thread (logging aside).
#ifndef ZT_CAH_COMPAREFACTORY_H
#define ZT_CAH_COMPAREFACTORY_H

#include "Comparinator.h"
#include "ztMedia/ztMediaExport.h"

class ZT_MEDIA_API CompareFactory {
public:
    // The comparator of the document; with json null the default order (newest day first, then
    // smallest file). Null when the document is refused: the reason is logged.
    static Comparinator *create(const char *json);
    // Deletes c; null is ignored.
    static void destroy(Comparinator *c);
    // Whether `name` is a rule name (a "sort_rules" element) or a kind name (a "media_type_order"
    // element) the comparators know; create skips any other name without a word.
    static bool knowsRule(const char *name);
    static bool knowsKind(const char *name);
};

#endif
