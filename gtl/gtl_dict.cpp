// Dictionaries: insertion-ordered key/value pairs looked up by key text.
#include "gtl/gtl_dict.h"

#include <stdio.h>
#include <string.h>

#include "gtl/gtl_items.h"
#include "gtl/gtl_mem.h"
#include "gtl/gtl_string.h"

namespace {

const gtl_obj_ops kDictOps = {gtl_dict_init,  gtl_dict_deinit,         gtl_dict_copy,          gtl_dict_deepcopy,
                              gtl_dict_clear, gtl_dict_serialize_json, gtl_dict_serialize_xml, gtl_dict_size,
                              gtl_dict_dump,  gtl_dict_destroy};

gtl_linkedlist *chain(gtl_obj *dict) { return gtl_items_chain(dict, GTL_TYPE_DICT); }

gtl_dict_pair *pair_of(const gtl_linkedlist_node *node) { return static_cast<gtl_dict_pair *>(node->item); }

void release_pair(gtl_dict_pair *pair)
{
    if (!pair)
        return;
    gtl_obj_destroy(pair->key);
    gtl_obj_destroy(pair->value);
    gtl_free(pair);
}

// The entry whose key text is `key`. An entry without pair or key ends the search; keys
// without text are skipped.
gtl_linkedlist_node *find(gtl_obj *dict, const char *key)
{
    gtl_linkedlist *ll = chain(dict);
    if (!ll || !key)
        return nullptr;
    for (gtl_linkedlist_node *node = ll->head; node; node = node->next) {
        gtl_dict_pair *pair = pair_of(node);
        if (!pair || !pair->key)
            return nullptr;
        const char *text = nullptr;
        if (gtl_string_getptr(pair->key, &text) != 0 || !text)
            continue;
        if (strcmp(text, key) == 0)
            return node;
    }
    return nullptr;
}

// The key as the text the entries are searched by; non-text keys are formatted.
const char *key_text(uint32_t keytype, const void *key, char *buf, size_t len)
{
    if (keytype == GTL_TYPE_STRING || keytype == GTL_TYPE_STRINGPTR)
        return static_cast<const char *>(key);
    gtl_obj *obj = gtl_obj_create(keytype, key, nullptr);
    buf[len - 1] = '\0';  // a text read whole into the rest stays terminated
    int rc = gtl_obj_get_string(obj, buf, len - 1);
    gtl_obj_destroy(obj);
    return rc == 0 ? buf : nullptr;
}

// The current value goes first; a new one that cannot be made leaves the entry without value.
int replace_value(gtl_dict_pair *pair, uint32_t valtype, const void *value)
{
    gtl_obj_destroy(pair->value);
    pair->value = gtl_obj_create(valtype, value, nullptr);
    return pair->value ? 0 : 1;
}

// An entry that cannot be made whole is not added, and that is not a failure of the call.
void append_entry(gtl_linkedlist *ll, uint32_t keytype, const void *key, uint32_t valtype, const void *value)
{
    auto *pair = static_cast<gtl_dict_pair *>(gtl_calloc(1, sizeof(gtl_dict_pair)));
    if (!pair)
        return;
    pair->key = gtl_obj_create(keytype, key, nullptr);
    pair->value = gtl_obj_create(valtype, value, nullptr);
    if (!pair->key || !pair->value || gtl_linkedlist_append(ll, ll->tail, pair) != 0)
        release_pair(pair);
}

bool holds_chain(const gtl_obj *obj)
{
    return obj->type >= GTL_TYPE_DICT && obj->type <= GTL_TYPE_STACK && obj->value.ptr;
}

// A pair of deep copies; null when either copy fails.
gtl_dict_pair *copy_pair(const gtl_dict_pair *src)
{
    auto *pair = static_cast<gtl_dict_pair *>(gtl_calloc(1, sizeof(gtl_dict_pair)));
    if (!pair)
        return nullptr;
    pair->key = gtl_obj_create(GTL_TYPE_OBJECT, src->key, nullptr);
    pair->value = gtl_obj_create(GTL_TYPE_OBJECT, src->value, nullptr);
    if (pair->key && pair->value)
        return pair;
    release_pair(pair);
    return nullptr;
}

}  // namespace

gtl_obj *gtl_dict_create(void) { return gtl_items_create(gtl_dict_init); }

int gtl_dict_init(gtl_obj *obj)
{
    if (!obj)
        return 1;
    if (obj->type == GTL_TYPE_DICT)
        gtl_dict_deinit(obj);  // releases only a chain it owns
    obj->value.ptr = nullptr;
    obj->owner = 0;
    if (gtl_items_adopt(obj, GTL_TYPE_DICT, &kDictOps, nullptr) != 0)
        return 1;
    obj->owner = 1;
    return 0;
}

int gtl_dict_deinit(gtl_obj *obj)
{
    if (!obj || obj->type != GTL_TYPE_DICT)
        return 1;
    if (!obj->owner)
        return 0;
    int rc = gtl_dict_clear(obj) | gtl_linkedlist_destroy(chain(obj));
    obj->value.ptr = nullptr;
    obj->owner = 0;
    return rc;
}

int gtl_dict_destroy(gtl_obj *obj)
{
    if (!obj || obj->type != GTL_TYPE_DICT)
        return 1;
    gtl_dict_deinit(obj);
    gtl_free(obj);
    return 0;
}

int gtl_dict_clear(gtl_obj *obj)
{
    gtl_linkedlist *ll = chain(obj);
    if (!ll)
        return 1;
    for (gtl_linkedlist_node *node = ll->head; node; node = node->next) {
        release_pair(pair_of(node));
        node->item = nullptr;
    }
    return gtl_linkedlist_clear(ll);
}

int gtl_dict_copy(gtl_obj *src, gtl_obj *dst)
{
    if (!src || !dst || src == dst || src->type != GTL_TYPE_DICT || dst->type != GTL_TYPE_DICT)
        return 1;
    gtl_dict_deinit(dst);
    dst->value.ptr = src->value.ptr;
    dst->owner = 0;
    return 0;
}

// The destination must already be a container holding a chain (a fresh record from
// gtl_obj_create type 8 is not); it is emptied by its own deinit and made a dictionary.
int gtl_dict_deepcopy(gtl_obj *src, gtl_obj *dst)
{
    gtl_linkedlist *from = chain(src);
    if (!from || !dst || src == dst || !holds_chain(dst))
        return 1;
    if (dst->type != GTL_TYPE_DICT)
        gtl_obj_deinit(dst);
    if (gtl_dict_init(dst) != 0)
        return 1;
    gtl_linkedlist *to = chain(dst);
    int rc = 0;
    for (gtl_linkedlist_node *node = from->head; node; node = node->next) {
        const gtl_dict_pair *pair = pair_of(node);
        if (!pair || !pair->key || !pair->value)
            continue;
        gtl_dict_pair *copy = copy_pair(pair);
        if (!copy)
            rc = 1;  // kept as an empty entry so positions still line up
        if (gtl_linkedlist_append(to, to->tail, copy) != 0) {
            release_pair(copy);
            rc = 1;
        }
    }
    return rc;
}

int gtl_dict_size(gtl_obj *obj, uint32_t *out) { return gtl_linkedlist_size(chain(obj), out); }

int gtl_dict_dump(gtl_obj *obj)
{
    gtl_linkedlist *ll = chain(obj);
    if (!ll)
        return 1;
    for (gtl_linkedlist_node *node = ll->head; node; node = node->next) {
        gtl_dict_pair *pair = pair_of(node);
        if (!pair || !pair->key || !pair->value) {
            printf("NULL pointer\n");
            continue;
        }
        printf("key:");
        gtl_obj_dump(pair->key);
        printf("value:");
        gtl_obj_dump(pair->value);
    }
    return 0;
}

int gtl_dict_serialize_json(gtl_obj *) { return 0; }
int gtl_dict_serialize_xml(gtl_obj *) { return 0; }

int gtl_dict_exists(gtl_obj *dict, const gtl_obj *key)
{
    gtl_linkedlist *ll = chain(dict);
    if (!ll || !key)
        return 0;
    for (gtl_linkedlist_node *node = ll->head; node; node = node->next) {
        gtl_dict_pair *pair = pair_of(node);
        if (pair && pair->key && (gtl_obj_compare(pair->key, key) & GTL_CMP_EQUAL))
            return 1;
    }
    return 0;
}

int gtl_dict_set(gtl_obj *dict, uint32_t keytype, const void *key, uint32_t valtype, const void *value)
{
    gtl_linkedlist *ll = chain(dict);
    if (!ll || !key || !value)
        return 1;
    char buf[64];
    gtl_linkedlist_node *node = find(dict, key_text(keytype, key, buf, sizeof buf));
    if (node)
        return replace_value(pair_of(node), valtype, value);
    append_entry(ll, keytype, key, valtype, value);
    return 0;
}

int gtl_dict_get(gtl_obj *dict, uint32_t, const char *key, uint32_t type, void *out, void *aux)
{
    gtl_linkedlist_node *node = find(dict, key);
    if (!node)
        return 1;
    gtl_obj_get(pair_of(node)->value, type, out, aux);
    return 0;
}

int gtl_dict_remove(gtl_obj *dict, uint32_t, const char *key)
{
    gtl_linkedlist_node *node = find(dict, key);
    if (!node)
        return 1;
    release_pair(pair_of(node));
    return gtl_linkedlist_remove(chain(dict), node);
}

int gtl_dict_get_valtype(gtl_obj *dict, uint32_t, const char *key, uint32_t *out)
{
    gtl_linkedlist_node *node = find(dict, key);
    if (!node || !out || !pair_of(node)->value)
        return 1;
    *out = pair_of(node)->value->type;
    return 0;
}

#define GTL_DICT_SET(T, CTYPE, CODE, ARG)                                                                              \
    int gtl_dict_set_##T(gtl_obj *dict, const char *key, CTYPE value)                                                  \
    {                                                                                                                  \
        return gtl_dict_set(dict, GTL_TYPE_STRING, key, CODE, ARG);                                                    \
    }
GTL_ITEM_ARG_TYPES(GTL_DICT_SET)

#define GTL_DICT_GET(T, OUT, CODE)                                                                                     \
    int gtl_dict_get_##T(gtl_obj *dict, const char *key, OUT *out)                                                     \
    {                                                                                                                  \
        return gtl_dict_get(dict, GTL_TYPE_STRING, key, CODE, out, nullptr);                                           \
    }
GTL_ITEM_OUT_TYPES(GTL_DICT_GET)
GTL_DICT_GET(dict, gtl_obj *, GTL_TYPE_DICT)
GTL_DICT_GET(list, gtl_obj *, GTL_TYPE_LIST)
GTL_DICT_GET(stack, gtl_obj *, GTL_TYPE_STACK)

int gtl_dict_get_string(gtl_obj *dict, const char *key, char *buf, size_t len)
{
    return gtl_dict_get(dict, GTL_TYPE_STRING, key, GTL_TYPE_STRING, buf, &len);
}
