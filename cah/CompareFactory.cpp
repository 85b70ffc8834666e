// The sort-rule document read with cJSON: rule names and kind names are looked up in one table
// each; names outside the tables are skipped so that newer hosts can send rules older lists lack.
#include "cah/CompareFactory.h"

#include <cstring>
#include <memory>

#include <cjson/cJSON.h>

#include "cah/CAHLog.h"

namespace {

template <class T>
Comparinator *make()
{
    return new T();
}

// Rules that need nothing but their name. "media_type" is built apart: it reads its order list.
const struct {
    const char *name;
    Comparinator *(*build)();
} kRules[] = {
    {"hilighted_first", make<CompareHighlight>},
    {"hilighted_manual_first", make<CompareHighlight>},
    {"hilighted_auto_first", make<CompareHighlight>},
    {"date_by_day_newest_first", make<CompareByDayNewestFirst>},
    {"date_by_day_oldest_first", make<CompareDayOldestFirst>},
    {"filesize_smallest_first", make<CompareFileSize>},
};

const struct {
    const char *name;
    SortType kind;
} kKinds[] = {
    {"photo", SORT_PHOTO},
    {"burst", SORT_BURST},
    {"continuous", SORT_CONTINUOUS},
    {"time_lapse", SORT_TIME_LAPSE},
    {"video", SORT_VIDEO},
    {"user_video_clip", SORT_USER_VIDEO_CLIP},
    {"auto_video_clip", SORT_AUTO_VIDEO_CLIP},
    {"session", SORT_SESSION},
};

struct JsonDeleter {
    void operator()(cJSON *j) const { cJSON_Delete(j); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

const char *kCreate = "create";

bool isArray(const cJSON *j) { return j && (j->type & 0xFF) == cJSON_Array; }
bool isString(const cJSON *j) { return j && (j->type & 0xFF) == cJSON_String && j->valuestring; }

// The array under `key` (case ignored); null, with the matching message logged, when the key is
// missing or holds something else.
const cJSON *arrayField(const cJSON *doc, const char *key, const char *missing, const char *notArray)
{
    const cJSON *a = cJSON_GetObjectItem(doc, key);
    if (!isArray(a))
        CML_LOG(CML_ERROR, a ? notArray : missing, kCreate);
    return isArray(a) ? a : nullptr;
}

// Calls fn(text) for each element of `array` in order until fn returns false; an element that is
// not a string logs `notString` and stops the walk. True when every element was taken.
template <class Fn>
bool eachString(const cJSON *array, const char *notString, Fn fn)
{
    const int n = cJSON_GetArraySize(array);
    for (int i = 0; i < n; ++i) {
        const cJSON *e = cJSON_GetArrayItem(array, i);
        if (!isString(e)) {
            CML_LOG(CML_ERROR, notString, kCreate);
            return false;
        }
        if (!fn(e->valuestring))
            return false;
    }
    return true;
}

// The media_type comparator from the document's order list; null (logged) when it is unusable.
Comparinator *buildMediaType(const cJSON *doc)
{
    const cJSON *order =
        arrayField(doc, "media_type_order", "  [ERROR]: %s: JSON is missing manditory media_type_order field\n",
                   "  [ERROR]: %s: JSON media_type_order field is not an array\n");
    if (!order)
        return nullptr;
    std::vector<SortType> kinds;
    const bool ok = eachString(order, "  [ERROR]: %s: Expected type string for media_type_order children.\n",
                               [&](const char *name) {
                                   for (const auto &k : kKinds)
                                       if (strcmp(name, k.name) == 0)
                                           kinds.push_back(k.kind);
                                   return true;
                               });
    return ok ? new CompareMediaType(std::move(kinds)) : nullptr;
}

// Appends the comparator named by `name` to c; false (logged) when the rule cannot be built.
bool addRule(CompoundCompare &c, const cJSON *doc, const char *name)
{
    if (strcmp(name, "media_type") == 0) {
        Comparinator *m = buildMediaType(doc);
        if (m)
            c.add(m);
        return m != nullptr;
    }
    for (const auto &r : kRules)
        if (strcmp(name, r.name) == 0)
            c.add(r.build());
    return true;
}

}  // namespace

Comparinator *CompareFactory::create(const char *json)
{
    if (!json) {
        auto *c = new CompoundCompare();
        c->add(new CompareByDayNewestFirst());
        c->add(new CompareFileSize());
        return c;
    }
    const Json doc(cJSON_Parse(json));
    if (!doc) {
        const char *at = cJSON_GetErrorPtr();
        CML_LOG(CML_ERROR, "  [ERROR]: %s: Unable to parse JSON: %s\n", kCreate, at ? at : "");
        return nullptr;
    }
    const cJSON *rules =
        arrayField(doc.get(), "sort_rules", "  [ERROR]: %s: JSON is missing required sort_rules field\n",
                   "  [ERROR]: %s: JSON sort_rules field is not an array\n");
    if (!rules)
        return nullptr;
    std::unique_ptr<CompoundCompare> c(new CompoundCompare());
    const bool ok = eachString(rules, "  [ERROR]: %s: Expected type string for sort_rules children.\n",
                               [&](const char *name) { return addRule(*c, doc.get(), name); });
    return ok ? c.release() : nullptr;
}

void CompareFactory::destroy(Comparinator *c) { delete c; }

bool CompareFactory::knowsRule(const char *name)
{
    for (const auto &r : kRules)
        if (strcmp(name, r.name) == 0)
            return true;
    return strcmp(name, "media_type") == 0;
}

bool CompareFactory::knowsKind(const char *name)
{
    for (const auto &k : kKinds)
        if (strcmp(name, k.name) == 0)
            return true;
    return false;
}
