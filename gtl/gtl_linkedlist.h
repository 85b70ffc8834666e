// The doubly linked node chain under the list, stack and dictionary.
// A chain owns its nodes, never their items; gtl_linkedlist_create's result belongs to the
// caller (gtl_linkedlist_destroy). Not thread-safe.
#ifndef GTL_GTL_LINKEDLIST_H
#define GTL_GTL_LINKEDLIST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct gtl_linkedlist_node {
    void *item;   // a value object (list, stack) or a gtl_dict_pair (dictionary); not owned
    int32_t key;  // 0 unless set by gtl_linkedlist_add
    struct gtl_linkedlist_node *prev;
    struct gtl_linkedlist_node *next;
} gtl_linkedlist_node;

typedef struct gtl_linkedlist {
    gtl_linkedlist_node *head;
    gtl_linkedlist_node *tail;
} gtl_linkedlist;

gtl_linkedlist *gtl_linkedlist_create(void);     // null if out of memory
int gtl_linkedlist_clear(gtl_linkedlist *ll);    // frees every node, not the items
int gtl_linkedlist_destroy(gtl_linkedlist *ll);  // clear, then free the record
int gtl_linkedlist_size(gtl_linkedlist *ll, uint32_t *out);
gtl_linkedlist_node *gtl_linkedlist_head(gtl_linkedlist *ll);  // null for a null chain
gtl_linkedlist_node *gtl_linkedlist_tail(gtl_linkedlist *ll);

// Links an existing node before `before` (null: at the tail; the head: new head).
int gtl_linkedlist_insert_item(gtl_linkedlist *ll, gtl_linkedlist_node *before, gtl_linkedlist_node *node);
// Allocates a node (key 0) for the item and links it as insert_item does.
int gtl_linkedlist_insert(gtl_linkedlist *ll, gtl_linkedlist_node *before, void *item);
// Keeps the chain in descending key order; equal keys stay in arrival order.
int gtl_linkedlist_add(gtl_linkedlist *ll, int32_t key, void *item);
// Links a new node right after `after` (required unless the chain is empty).
int gtl_linkedlist_append(gtl_linkedlist *ll, gtl_linkedlist_node *after, void *item);
// Unlinks and frees the node (not its item).
int gtl_linkedlist_remove(gtl_linkedlist *ll, gtl_linkedlist_node *node);

#ifdef __cplusplus
}
#endif

#endif
