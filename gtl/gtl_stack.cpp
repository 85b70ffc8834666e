// Stacks: value objects used front first.
#include "gtl/gtl_stack.h"

#include <stdio.h>

#include "gtl/gtl_items.h"
#include "gtl/gtl_mem.h"
#include "gtl/gtl_string.h"

namespace {

const gtl_obj_ops kStackOps = {gtl_stack_init,  gtl_stack_deinit,         gtl_stack_copy,          gtl_stack_deepcopy,
                               gtl_stack_clear, gtl_stack_serialize_json, gtl_stack_serialize_xml, gtl_stack_size,
                               gtl_stack_dump,  gtl_stack_destroy};

gtl_linkedlist *chain(gtl_obj *stack) { return gtl_items_chain(stack, GTL_TYPE_STACK); }

}  // namespace

gtl_obj *gtl_stack_create(void) { return gtl_items_create(gtl_stack_init); }

int gtl_stack_init(gtl_obj *obj) { return obj ? gtl_items_adopt(obj, GTL_TYPE_STACK, &kStackOps, nullptr) : 1; }

// Releases nodes only: items still on the stack are the caller's to take first (clear).
int gtl_stack_deinit(gtl_obj *obj)
{
    gtl_linkedlist *ll = chain(obj);
    if (!ll)
        return obj && obj->type == GTL_TYPE_STACK ? 0 : 1;
    gtl_linkedlist_destroy(ll);
    obj->value.ptr = nullptr;
    return 0;
}

int gtl_stack_destroy(gtl_obj *obj)
{
    if (!obj || obj->type != GTL_TYPE_STACK)
        return 1;
    gtl_stack_deinit(obj);
    gtl_free(obj);
    return 0;
}

int gtl_stack_clear(gtl_obj *obj) { return gtl_items_destroy_all(chain(obj)); }

int gtl_stack_copy(gtl_obj *src, gtl_obj *dst)
{
    gtl_linkedlist *ll = chain(src);
    if (!ll || !dst || src == dst)
        return 1;
    gtl_obj_deinit(dst);
    return gtl_items_adopt(dst, GTL_TYPE_STACK, &kStackOps, ll);
}

int gtl_stack_deepcopy(gtl_obj *src, gtl_obj *dst)
{
    gtl_linkedlist *ll = chain(src);
    if (!ll || !dst || src == dst)
        return 1;
    if (gtl_items_reset(dst, gtl_stack_init) != 0)
        return 1;
    if (gtl_items_deepcopy(ll, chain(dst)) == 0)
        return 0;
    gtl_stack_clear(dst);  // the copies made so far are ours; do not strand them
    return 1;
}

int gtl_stack_size(gtl_obj *obj, uint32_t *out) { return gtl_items_size(chain(obj), out); }

int gtl_stack_dump(gtl_obj *obj)
{
    gtl_linkedlist *ll = chain(obj);
    if (!ll)
        return 1;
    int index = 0;
    for (gtl_linkedlist_node *node = ll->head; node; node = node->next, ++index) {
        char text[75] = "";
        gtl_obj_get_string(static_cast<gtl_obj *>(node->item), text, sizeof text);
        printf("%d: %.*s\n", index, int(sizeof text), text);  // a long text fills it unterminated
    }
    return 0;
}

int gtl_stack_serialize_json(gtl_obj *) { return 0; }
int gtl_stack_serialize_xml(gtl_obj *) { return 0; }

int gtl_stack_push(gtl_obj *stack, uint32_t type, const void *value)
{
    return gtl_items_insert(chain(stack), 0, type, value);
}

int gtl_stack_insert(gtl_obj *stack, int index, uint32_t type, const void *value)
{
    return gtl_items_insert(chain(stack), index, type, value);
}

int gtl_stack_append(gtl_obj *stack, uint32_t type, const void *value)
{
    return gtl_items_append(chain(stack), type, value);
}

// The popped item passes to the caller when it is read as the object itself or as its text
// pointer; read any other way, nothing could reach it any more, so it is released here.
int gtl_stack_pop(gtl_obj *stack, uint32_t type, void *out, void *aux)
{
    gtl_linkedlist *ll = chain(stack);
    if (!ll || !ll->head)
        return 1;
    auto *item = static_cast<gtl_obj *>(ll->head->item);
    int got = gtl_obj_get(item, type, out, aux);
    if (got == 0 && type == GTL_TYPE_OBJECT) {
        // handed over whole
    } else if (got == 0 && type == GTL_TYPE_STRINGPTR) {
        gtl_free(item);  // the text now belongs to the caller
    } else {
        gtl_obj_destroy(item);
    }
    return gtl_linkedlist_remove(ll, ll->head);
}

int gtl_stack_get(gtl_obj *stack, int index, uint32_t type, void *out, void *aux)
{
    return gtl_items_get(chain(stack), index, type, out, aux);
}

int gtl_stack_remove(gtl_obj *stack, int index)
{
    gtl_linkedlist *ll = chain(stack);
    gtl_linkedlist_node *node = gtl_items_at(ll, index);
    return node ? gtl_linkedlist_remove(ll, node) : 1;
}

int gtl_stack_get_type(gtl_obj *stack, int index, uint32_t *out)
{
    return gtl_items_get_type(chain(stack), index, out);
}

int gtl_stack_get_size(gtl_obj *stack, int index, uint32_t *out)
{
    gtl_linkedlist_node *node = gtl_items_at(chain(stack), index);
    if (!node || !out)
        return 1;
    auto *item = static_cast<gtl_obj *>(node->item);
    if (!item || item->type != GTL_TYPE_STRING)
        return 0;
    return gtl_string_size(item, out);
}

#define GTL_STACK_PUT(T, CTYPE, CODE, ARG)                                                                             \
    int gtl_stack_push_##T(gtl_obj *stack, CTYPE value) { return gtl_stack_push(stack, CODE, ARG); }                   \
    int gtl_stack_insert_##T(gtl_obj *stack, int index, CTYPE value)                                                   \
    {                                                                                                                  \
        return gtl_stack_insert(stack, index, CODE, ARG);                                                              \
    }                                                                                                                  \
    int gtl_stack_append_##T(gtl_obj *stack, CTYPE value) { return gtl_stack_append(stack, CODE, ARG); }
GTL_ITEM_ARG_TYPES(GTL_STACK_PUT)

#define GTL_STACK_GET(T, OUT, CODE)                                                                                    \
    int gtl_stack_get_##T(gtl_obj *stack, int index, OUT *out)                                                         \
    {                                                                                                                  \
        return gtl_stack_get(stack, index, CODE, out, nullptr);                                                        \
    }
GTL_ITEM_OUT_TYPES(GTL_STACK_GET)

int gtl_stack_get_string(gtl_obj *stack, int index, char *buf, size_t len)
{
    return gtl_stack_get(stack, index, GTL_TYPE_STRING, buf, &len);
}
