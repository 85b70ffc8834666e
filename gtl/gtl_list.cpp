// Lists: an ordered sequence of owned value objects.
#include "gtl/gtl_list.h"

#include "gtl/gtl_items.h"
#include "gtl/gtl_mem.h"

namespace {

const gtl_obj_ops kListOps = {gtl_list_init,  gtl_list_deinit,         gtl_list_copy,          gtl_list_deepcopy,
                              gtl_list_clear, gtl_list_serialize_json, gtl_list_serialize_xml, gtl_list_size,
                              gtl_list_dump,  gtl_list_destroy};

gtl_linkedlist *chain(gtl_obj *list) { return gtl_items_chain(list, GTL_TYPE_LIST); }

}  // namespace

gtl_obj *gtl_list_create(void) { return gtl_items_create(gtl_list_init); }

int gtl_list_init(gtl_obj *obj) { return obj ? gtl_items_adopt(obj, GTL_TYPE_LIST, &kListOps, nullptr) : 1; }

int gtl_list_deinit(gtl_obj *obj)
{
    gtl_linkedlist *ll = chain(obj);
    if (!ll)
        return obj && obj->type == GTL_TYPE_LIST ? 0 : 1;
    gtl_items_destroy_all(ll);
    gtl_linkedlist_destroy(ll);
    obj->value.ptr = nullptr;
    return 0;
}

int gtl_list_destroy(gtl_obj *obj)
{
    if (!obj || obj->type != GTL_TYPE_LIST)
        return 1;
    gtl_list_deinit(obj);
    gtl_free(obj);
    return 0;
}

int gtl_list_clear(gtl_obj *obj) { return gtl_items_destroy_all(chain(obj)); }

int gtl_list_copy(gtl_obj *src, gtl_obj *dst)
{
    gtl_linkedlist *ll = chain(src);
    if (!ll || !dst || src == dst)
        return 1;
    gtl_obj_deinit(dst);
    return gtl_items_adopt(dst, GTL_TYPE_LIST, &kListOps, ll);
}

int gtl_list_deepcopy(gtl_obj *src, gtl_obj *dst)
{
    gtl_linkedlist *ll = chain(src);
    if (!ll || !dst || src == dst)
        return 1;
    if (gtl_items_reset(dst, gtl_list_init) != 0)
        return 1;
    return gtl_items_deepcopy(ll, chain(dst));
}

int gtl_list_size(gtl_obj *obj, uint32_t *out) { return gtl_items_size(chain(obj), out); }
int gtl_list_dump(gtl_obj *) { return 0; }
int gtl_list_serialize_json(gtl_obj *) { return 0; }
int gtl_list_serialize_xml(gtl_obj *) { return 0; }

int gtl_list_insert(gtl_obj *list, int index, uint32_t type, const void *value)
{
    return gtl_items_insert(chain(list), index, type, value);
}

int gtl_list_append(gtl_obj *list, uint32_t type, const void *value)
{
    return gtl_items_append(chain(list), type, value);
}

int gtl_list_get(gtl_obj *list, int index, uint32_t type, void *out, void *aux)
{
    return gtl_items_get(chain(list), index, type, out, aux);
}

int gtl_list_remove(gtl_obj *list, int index)
{
    gtl_linkedlist *ll = chain(list);
    gtl_linkedlist_node *node = gtl_items_at(ll, index);
    if (!node)
        return 1;
    gtl_obj_destroy(static_cast<gtl_obj *>(node->item));
    return gtl_linkedlist_remove(ll, node);
}

int gtl_list_get_type(gtl_obj *list, int index, uint32_t *out) { return gtl_items_get_type(chain(list), index, out); }

#define GTL_LIST_PUT(T, CTYPE, CODE, ARG)                                                                              \
    int gtl_list_insert_##T(gtl_obj *list, int index, CTYPE value) { return gtl_list_insert(list, index, CODE, ARG); } \
    int gtl_list_append_##T(gtl_obj *list, CTYPE value) { return gtl_list_append(list, CODE, ARG); }
GTL_ITEM_ARG_TYPES(GTL_LIST_PUT)

#define GTL_LIST_GET(T, OUT, CODE)                                                                                     \
    int gtl_list_get_##T(gtl_obj *list, int index, OUT *out) { return gtl_list_get(list, index, CODE, out, nullptr); }
GTL_ITEM_OUT_TYPES(GTL_LIST_GET)

int gtl_list_get_string(gtl_obj *list, int index, char *buf, size_t len)
{
    return gtl_list_get(list, index, GTL_TYPE_STRING, buf, &len);
}
