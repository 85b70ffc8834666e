// Machinery shared by the containers whose nodes hold value objects (list, stack), plus the
// typed-wrapper argument table. Internal to gtl: the containers' own headers are the API.
// Items created here belong to the chain's container. Not thread-safe.
#ifndef GTL_GTL_ITEMS_H
#define GTL_GTL_ITEMS_H

#include "gtl/gtl_linkedlist.h"
#include "gtl/gtl_obj.h"

// The node chain of obj when obj is a container of the given type code, else null.
gtl_linkedlist *gtl_items_chain(gtl_obj *obj, uint32_t type);
// Steps index times from the head (0 or below: the head); null when past the end.
gtl_linkedlist_node *gtl_items_at(gtl_linkedlist *ll, int index);
// Destroys every item through its destroy slot, then frees every node.
int gtl_items_destroy_all(gtl_linkedlist *ll);
// Appends to dst a deep copy of every item of src, in order; 1 at the first failure.
int gtl_items_deepcopy(gtl_linkedlist *src, gtl_linkedlist *dst);
// Allocates a record and runs init on it; null (nothing kept) if either fails.
gtl_obj *gtl_items_create(gtl_op_fn init);
// Makes obj a container of that type and table holding ll, or a new empty chain when ll is
// null; 1 if that chain cannot be made.
int gtl_items_adopt(gtl_obj *obj, uint32_t type, const gtl_obj_ops *ops, gtl_linkedlist *ll);
// Runs dst's own deinit (if any), then init as a container; for copy and deepcopy.
int gtl_items_reset(gtl_obj *dst, gtl_op_fn init);

// Creates an item with gtl_obj_create and links it before the indexed node (past the end:
// at the tail); 1 if it cannot be created or linked (nothing is kept then).
int gtl_items_insert(gtl_linkedlist *ll, int index, uint32_t type, const void *value);
int gtl_items_append(gtl_linkedlist *ll, uint32_t type, const void *value);
// gtl_obj_get of the indexed item; 1 only when the index is past the end.
int gtl_items_get(gtl_linkedlist *ll, int index, uint32_t type, void *out, void *aux);
int gtl_items_get_type(gtl_linkedlist *ll, int index, uint32_t *out);
int gtl_items_size(gtl_linkedlist *ll, uint32_t *out);

// Typed wrappers pass one of these: X(suffix, C argument type, type code, value pointer).
// Scalars go by the address of the wrapper's own copy; pointers are the value themselves.
#define GTL_ITEM_ARG_TYPES(X)                                                                                          \
    X(string, const char *, GTL_TYPE_STRING, value)                                                                    \
    X(int, int, GTL_TYPE_INT, &value)                                                                                  \
    X(bool, int, GTL_TYPE_BOOL, &value)                                                                                \
    X(double, double, GTL_TYPE_DOUBLE, &value)                                                                         \
    X(voidptr, void *, GTL_TYPE_VOIDPTR, value)                                                                        \
    X(object, gtl_obj *, GTL_TYPE_OBJECT, value)

// Typed readers: X(suffix, output type, type code). Strings take a buffer length instead.
#define GTL_ITEM_OUT_TYPES(X)                                                                                          \
    X(int, int, GTL_TYPE_INT)                                                                                          \
    X(bool, int, GTL_TYPE_BOOL)                                                                                        \
    X(double, double, GTL_TYPE_DOUBLE)                                                                                 \
    X(voidptr, void *, GTL_TYPE_VOIDPTR)                                                                               \
    X(object, gtl_obj *, GTL_TYPE_OBJECT)

#endif
