// Machinery shared by the list and the stack.
#include "gtl/gtl_items.h"

#include "gtl/gtl_mem.h"

gtl_linkedlist *gtl_items_chain(gtl_obj *obj, uint32_t type)
{
    if (!obj || obj->type != type)
        return nullptr;
    return static_cast<gtl_linkedlist *>(obj->value.ptr);
}

gtl_linkedlist_node *gtl_items_at(gtl_linkedlist *ll, int index)
{
    gtl_linkedlist_node *node = ll ? ll->head : nullptr;
    for (int i = 0; i < index && node; ++i)
        node = node->next;
    return node;
}

int gtl_items_destroy_all(gtl_linkedlist *ll)
{
    if (!ll)
        return 1;
    for (gtl_linkedlist_node *node = ll->head; node; node = node->next) {
        gtl_obj_destroy(static_cast<gtl_obj *>(node->item));
        node->item = nullptr;
    }
    return gtl_linkedlist_clear(ll);
}

int gtl_items_deepcopy(gtl_linkedlist *src, gtl_linkedlist *dst)
{
    if (!src || !dst)
        return 1;
    for (gtl_linkedlist_node *node = src->head; node; node = node->next) {
        if (!node->item)
            continue;
        gtl_obj *copy = gtl_obj_create(GTL_TYPE_OBJECT, node->item, nullptr);
        if (!copy)
            return 1;
        if (gtl_linkedlist_append(dst, dst->tail, copy) != 0) {
            gtl_obj_destroy(copy);
            return 1;
        }
    }
    return 0;
}

gtl_obj *gtl_items_create(gtl_op_fn init)
{
    gtl_obj *obj = gtl_obj_alloc();
    if (obj && init(obj) != 0) {
        gtl_free(obj);
        return nullptr;
    }
    return obj;
}

int gtl_items_adopt(gtl_obj *obj, uint32_t type, const gtl_obj_ops *ops, gtl_linkedlist *ll)
{
    if (!ll)
        ll = gtl_linkedlist_create();
    if (!ll)
        return 1;
    obj->type = type;
    obj->ops = *ops;
    obj->value.ptr = ll;
    return 0;
}

int gtl_items_reset(gtl_obj *dst, gtl_op_fn init)
{
    gtl_obj_deinit(dst);  // a fresh record has no deinit yet; that is fine
    dst->value.ptr = nullptr;
    return init(dst);
}

int gtl_items_insert(gtl_linkedlist *ll, int index, uint32_t type, const void *value)
{
    if (!ll)
        return 1;
    gtl_obj *item = gtl_obj_create(type, value, nullptr);
    if (!item)
        return 1;
    if (gtl_linkedlist_insert(ll, gtl_items_at(ll, index), item) != 0) {
        gtl_obj_destroy(item);
        return 1;
    }
    return 0;
}

int gtl_items_append(gtl_linkedlist *ll, uint32_t type, const void *value)
{
    if (!ll)
        return 1;
    gtl_obj *item = gtl_obj_create(type, value, nullptr);
    if (!item)
        return 1;
    if (gtl_linkedlist_append(ll, ll->tail, item) != 0) {
        gtl_obj_destroy(item);
        return 1;
    }
    return 0;
}

int gtl_items_get(gtl_linkedlist *ll, int index, uint32_t type, void *out, void *aux)
{
    gtl_linkedlist_node *node = gtl_items_at(ll, index);
    if (!node)
        return 1;
    gtl_obj_get(static_cast<gtl_obj *>(node->item), type, out, aux);
    return 0;
}

int gtl_items_get_type(gtl_linkedlist *ll, int index, uint32_t *out)
{
    gtl_linkedlist_node *node = gtl_items_at(ll, index);
    if (!node || !node->item || !out)
        return 1;
    *out = static_cast<gtl_obj *>(node->item)->type;
    return 0;
}

int gtl_items_size(gtl_linkedlist *ll, uint32_t *out) { return gtl_linkedlist_size(ll, out); }
