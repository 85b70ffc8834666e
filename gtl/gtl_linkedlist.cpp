// The doubly linked node chain.
#include "gtl/gtl_linkedlist.h"

#include "gtl/gtl_mem.h"

namespace {

gtl_linkedlist_node *new_node(int32_t key, void *item)
{
    auto *node = static_cast<gtl_linkedlist_node *>(gtl_malloc(sizeof(gtl_linkedlist_node)));
    if (node)
        *node = gtl_linkedlist_node{item, key, nullptr, nullptr};
    return node;
}

}  // namespace

gtl_linkedlist *gtl_linkedlist_create(void)
{
    auto *ll = static_cast<gtl_linkedlist *>(gtl_malloc(sizeof(gtl_linkedlist)));
    if (ll)
        *ll = gtl_linkedlist{nullptr, nullptr};
    return ll;
}

int gtl_linkedlist_clear(gtl_linkedlist *ll)
{
    if (!ll)
        return 1;
    for (gtl_linkedlist_node *node = ll->head; node;) {
        gtl_linkedlist_node *next = node->next;
        gtl_free(node);
        node = next;
    }
    ll->head = ll->tail = nullptr;
    return 0;
}

int gtl_linkedlist_destroy(gtl_linkedlist *ll)
{
    if (!ll)
        return 1;
    gtl_linkedlist_clear(ll);
    gtl_free(ll);
    return 0;
}

int gtl_linkedlist_size(gtl_linkedlist *ll, uint32_t *out)
{
    if (!ll || !out)
        return 1;
    uint32_t count = 0;
    for (gtl_linkedlist_node *node = ll->head; node; node = node->next)
        ++count;
    *out = count;
    return 0;
}

gtl_linkedlist_node *gtl_linkedlist_head(gtl_linkedlist *ll) { return ll ? ll->head : nullptr; }
gtl_linkedlist_node *gtl_linkedlist_tail(gtl_linkedlist *ll) { return ll ? ll->tail : nullptr; }

int gtl_linkedlist_insert_item(gtl_linkedlist *ll, gtl_linkedlist_node *before, gtl_linkedlist_node *node)
{
    if (!ll || !node)
        return 1;
    if (!ll->head || !ll->tail) {
        node->prev = node->next = nullptr;
        ll->head = ll->tail = node;
    } else if (!before) {
        node->prev = ll->tail;
        node->next = nullptr;
        ll->tail->next = node;
        ll->tail = node;
    } else {
        node->prev = before->prev;
        node->next = before;
        if (before->prev)
            before->prev->next = node;
        before->prev = node;
        if (before == ll->head)
            ll->head = node;
    }
    return 0;
}

int gtl_linkedlist_insert(gtl_linkedlist *ll, gtl_linkedlist_node *before, void *item)
{
    if (!ll)
        return 1;
    gtl_linkedlist_node *node = new_node(0, item);
    if (!node)
        return 1;
    return gtl_linkedlist_insert_item(ll, before, node);
}

int gtl_linkedlist_add(gtl_linkedlist *ll, int32_t key, void *item)
{
    if (!ll)
        return 1;
    gtl_linkedlist_node *node = new_node(key, item);
    if (!node)
        return 1;
    gtl_linkedlist_node *before = ll->head;
    while (before && !(before->key < key && (!before->prev || before->prev->key >= key)))
        before = before->next;
    return gtl_linkedlist_insert_item(ll, before, node);
}

int gtl_linkedlist_append(gtl_linkedlist *ll, gtl_linkedlist_node *after, void *item)
{
    if (!ll)
        return 1;
    const bool empty = !ll->head || !ll->tail;
    if (!empty && !after)
        return 1;
    gtl_linkedlist_node *node = new_node(0, item);
    if (!node)
        return 1;
    if (empty) {
        ll->head = ll->tail = node;
        return 0;
    }
    node->prev = after;
    node->next = after->next;
    if (after->next)
        after->next->prev = node;
    after->next = node;
    if (after == ll->tail)
        ll->tail = node;
    return 0;
}

int gtl_linkedlist_remove(gtl_linkedlist *ll, gtl_linkedlist_node *node)
{
    if (!ll || !node)
        return 1;
    if (ll->head == node)
        ll->head = node->next;
    if (ll->tail == node)
        ll->tail = node->prev;
    if (node->prev)
        node->prev->next = node->next;
    if (node->next)
        node->next->prev = node->prev;
    gtl_free(node);
    return 0;
}
