// Stacks (type code 11): an ordered sequence of value objects used front first.
// gtl_stack_create's result belongs to the caller. Items still on the stack are released by
// clear only: remove, deinit and destroy release nodes, so take or clear items first.
// Not thread-safe.
#ifndef GTL_GTL_STACK_H
#define GTL_GTL_STACK_H

#include "gtl/gtl_obj.h"

#ifdef __cplusplus
extern "C" {
#endif

gtl_obj *gtl_stack_create(void);      // null (nothing allocated) if out of memory
int gtl_stack_init(gtl_obj *obj);     // type 11, the ten slots, an empty chain
int gtl_stack_deinit(gtl_obj *obj);   // destroys the chain; items stay
int gtl_stack_destroy(gtl_obj *obj);  // deinit, then free the object
int gtl_stack_clear(gtl_obj *obj);    // destroys every item, frees every node
// Shallow: dst shares src's chain; only one of the two may be deinitialised.
int gtl_stack_copy(gtl_obj *src, gtl_obj *dst);
int gtl_stack_deepcopy(gtl_obj *src, gtl_obj *dst);
int gtl_stack_size(gtl_obj *obj, uint32_t *out);
int gtl_stack_dump(gtl_obj *obj);  // "%d: %s\n" per item, front first
int gtl_stack_serialize_json(gtl_obj *obj);
int gtl_stack_serialize_xml(gtl_obj *obj);

int gtl_stack_push(gtl_obj *stack, uint32_t type, const void *value);  // at the front
int gtl_stack_insert(gtl_obj *stack, int index, uint32_t type, const void *value);
int gtl_stack_append(gtl_obj *stack, uint32_t type, const void *value);  // at the back
// Reads the front item and unlinks it; 1 if empty, else 0 whatever the conversion gave.
// Read as GTL_TYPE_OBJECT the item passes to the caller (gtl_obj_destroy). Read as
// GTL_TYPE_STRINGPTR the text passes to the caller, who frees it with gtl_free; the item's
// record is freed here. Read any other way (an int, a copied text...) the item is destroyed
// here: handing it out untouched would leave nothing that could ever release it.
int gtl_stack_pop(gtl_obj *stack, uint32_t type, void *out, void *aux);
int gtl_stack_get(gtl_obj *stack, int index, uint32_t type, void *out, void *aux);
int gtl_stack_remove(gtl_obj *stack, int index);  // unlinks the node; the item is not released
int gtl_stack_get_type(gtl_obj *stack, int index, uint32_t *out);
// Text length of a string item; for any other item nothing is written (0).
int gtl_stack_get_size(gtl_obj *stack, int index, uint32_t *out);

int gtl_stack_push_string(gtl_obj *stack, const char *value);
int gtl_stack_push_int(gtl_obj *stack, int value);
int gtl_stack_push_bool(gtl_obj *stack, int value);
int gtl_stack_push_double(gtl_obj *stack, double value);
int gtl_stack_push_voidptr(gtl_obj *stack, void *value);
int gtl_stack_push_object(gtl_obj *stack, gtl_obj *value);

int gtl_stack_insert_string(gtl_obj *stack, int index, const char *value);
int gtl_stack_insert_int(gtl_obj *stack, int index, int value);
int gtl_stack_insert_bool(gtl_obj *stack, int index, int value);
int gtl_stack_insert_double(gtl_obj *stack, int index, double value);
int gtl_stack_insert_voidptr(gtl_obj *stack, int index, void *value);
int gtl_stack_insert_object(gtl_obj *stack, int index, gtl_obj *value);

int gtl_stack_append_string(gtl_obj *stack, const char *value);
int gtl_stack_append_int(gtl_obj *stack, int value);
int gtl_stack_append_bool(gtl_obj *stack, int value);
int gtl_stack_append_double(gtl_obj *stack, double value);
int gtl_stack_append_voidptr(gtl_obj *stack, void *value);
int gtl_stack_append_object(gtl_obj *stack, gtl_obj *value);

// Texts as gtl_obj_get reads them: a text that fills the buffer is left unterminated.
int gtl_stack_get_string(gtl_obj *stack, int index, char *buf, size_t len);
int gtl_stack_get_int(gtl_obj *stack, int index, int *out);
int gtl_stack_get_bool(gtl_obj *stack, int index, int *out);
int gtl_stack_get_double(gtl_obj *stack, int index, double *out);
int gtl_stack_get_voidptr(gtl_obj *stack, int index, void **out);
int gtl_stack_get_object(gtl_obj *stack, int index, gtl_obj **out);

#ifdef __cplusplus
}
#endif

#endif
