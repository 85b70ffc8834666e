// Lists (type code 10): an ordered sequence of value objects that the list owns.
// gtl_list_create's result belongs to the caller (gtl_list_destroy); items read as
// GTL_TYPE_OBJECT or GTL_TYPE_STRINGPTR stay owned by the list. Not thread-safe.
#ifndef GTL_GTL_LIST_H
#define GTL_GTL_LIST_H

#include "gtl/gtl_obj.h"

#ifdef __cplusplus
extern "C" {
#endif

gtl_obj *gtl_list_create(void);      // null if out of memory
int gtl_list_init(gtl_obj *obj);     // type 10, the ten slots, an empty chain
int gtl_list_deinit(gtl_obj *obj);   // clear, then destroy the chain
int gtl_list_destroy(gtl_obj *obj);  // deinit, then free the object
int gtl_list_clear(gtl_obj *obj);    // destroys every item, frees every node
// Shallow: dst shares src's chain; only one of the two may be cleared or destroyed, and src
// must outlive dst.
int gtl_list_copy(gtl_obj *src, gtl_obj *dst);
int gtl_list_deepcopy(gtl_obj *src, gtl_obj *dst);  // dst gets its own copies of the items
int gtl_list_size(gtl_obj *obj, uint32_t *out);
int gtl_list_dump(gtl_obj *obj);  // prints nothing
int gtl_list_serialize_json(gtl_obj *obj);
int gtl_list_serialize_xml(gtl_obj *obj);

// Indexes count from the head; 0 or below is the head. value and aux as gtl_obj_create and
// gtl_obj_get read them.
int gtl_list_insert(gtl_obj *list, int index, uint32_t type,
                    const void *value);  // past end: append
int gtl_list_append(gtl_obj *list, uint32_t type, const void *value);
// 1 only when the index is past the end; the conversion's own result is not reported.
int gtl_list_get(gtl_obj *list, int index, uint32_t type, void *out, void *aux);
int gtl_list_remove(gtl_obj *list, int index);  // destroys the item
int gtl_list_get_type(gtl_obj *list, int index, uint32_t *out);

int gtl_list_insert_string(gtl_obj *list, int index, const char *value);
int gtl_list_insert_int(gtl_obj *list, int index, int value);
int gtl_list_insert_bool(gtl_obj *list, int index, int value);
int gtl_list_insert_double(gtl_obj *list, int index, double value);
int gtl_list_insert_voidptr(gtl_obj *list, int index, void *value);
int gtl_list_insert_object(gtl_obj *list, int index, gtl_obj *value);  // stores a deep copy

int gtl_list_append_string(gtl_obj *list, const char *value);
int gtl_list_append_int(gtl_obj *list, int value);
int gtl_list_append_bool(gtl_obj *list, int value);
int gtl_list_append_double(gtl_obj *list, double value);
int gtl_list_append_voidptr(gtl_obj *list, void *value);
int gtl_list_append_object(gtl_obj *list, gtl_obj *value);  // stores a deep copy

// Texts as gtl_obj_get reads them: a text that fills the buffer is left unterminated.
int gtl_list_get_string(gtl_obj *list, int index, char *buf, size_t len);
int gtl_list_get_int(gtl_obj *list, int index, int *out);
int gtl_list_get_bool(gtl_obj *list, int index, int *out);
int gtl_list_get_double(gtl_obj *list, int index, double *out);
int gtl_list_get_voidptr(gtl_obj *list, int index, void **out);
int gtl_list_get_object(gtl_obj *list, int index, gtl_obj **out);  // the list's own item

#ifdef __cplusplus
}
#endif

#endif
