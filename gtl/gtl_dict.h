// Dictionaries (type code 9): insertion-ordered key/value object pairs looked up by key text.
// gtl_dict_create's result belongs to the caller; values read as GTL_TYPE_OBJECT (or
// DICT/LIST/STACK) stay owned by the dictionary. Not thread-safe.
#ifndef GTL_GTL_DICT_H
#define GTL_GTL_DICT_H

#include "gtl/gtl_obj.h"

#ifdef __cplusplus
extern "C" {
#endif

// One entry; the pair (from gtl_malloc), its key and its value belong to the dictionary.
typedef struct gtl_dict_pair {
    gtl_obj *key;
    gtl_obj *value;
} gtl_dict_pair;

gtl_obj *gtl_dict_create(void);      // null if out of memory
int gtl_dict_init(gtl_obj *obj);     // type 9, the ten slots, an empty owned chain
int gtl_dict_deinit(gtl_obj *obj);   // releases the chain only when the dictionary owns it
int gtl_dict_destroy(gtl_obj *obj);  // deinit, then free the object
int gtl_dict_clear(gtl_obj *obj);    // destroys every key, value and pair
// Shallow: both must be dictionaries; dst shares src's chain without owning it.
int gtl_dict_copy(gtl_obj *src, gtl_obj *dst);
// 1 unless dst already holds a chain (is a dictionary, list or stack), so a dictionary cannot
// be copied as a plain object (gtl_obj_create type 8); create type 9 with it as source instead.
int gtl_dict_deepcopy(gtl_obj *src, gtl_obj *dst);
int gtl_dict_size(gtl_obj *obj, uint32_t *out);
int gtl_dict_dump(gtl_obj *obj);  // "key:" key dump, "value:" value dump, per entry
int gtl_dict_serialize_json(gtl_obj *obj);
int gtl_dict_serialize_xml(gtl_obj *obj);

// 1 when an entry's key compares equal to key (exact text), else 0.
int gtl_dict_exists(gtl_obj *dict, const gtl_obj *key);
// Inserts at the back, or replaces the value of the entry with the same key text in place.
// A new entry whose key or value cannot be made is not added, and the result is still 0. A
// replacement destroys the current value first: when the new one cannot be made the result is
// 1 and the entry stays without a value (its dump prints "NULL pointer").
int gtl_dict_set(gtl_obj *dict, uint32_t keytype, const void *key, uint32_t valtype, const void *value);
// keytype is not looked at by these three. 0 when the key is found.
int gtl_dict_get(gtl_obj *dict, uint32_t keytype, const char *key, uint32_t type, void *out, void *aux);
int gtl_dict_remove(gtl_obj *dict, uint32_t keytype, const char *key);
int gtl_dict_get_valtype(gtl_obj *dict, uint32_t keytype, const char *key, uint32_t *out);

int gtl_dict_set_string(gtl_obj *dict, const char *key, const char *value);
int gtl_dict_set_int(gtl_obj *dict, const char *key, int value);
int gtl_dict_set_bool(gtl_obj *dict, const char *key, int value);
int gtl_dict_set_double(gtl_obj *dict, const char *key, double value);
int gtl_dict_set_voidptr(gtl_obj *dict, const char *key, void *value);
int gtl_dict_set_object(gtl_obj *dict, const char *key, gtl_obj *value);  // a deep copy

// Texts as gtl_obj_get reads them: a text that fills the buffer is left unterminated.
int gtl_dict_get_string(gtl_obj *dict, const char *key, char *buf, size_t len);
int gtl_dict_get_int(gtl_obj *dict, const char *key, int *out);
int gtl_dict_get_bool(gtl_obj *dict, const char *key, int *out);
int gtl_dict_get_double(gtl_obj *dict, const char *key, double *out);
int gtl_dict_get_object(gtl_obj *dict, const char *key, gtl_obj **out);
int gtl_dict_get_voidptr(gtl_obj *dict, const char *key, void **out);
int gtl_dict_get_dict(gtl_obj *dict, const char *key, gtl_obj **out);
int gtl_dict_get_list(gtl_obj *dict, const char *key, gtl_obj **out);
int gtl_dict_get_stack(gtl_obj *dict, const char *key, gtl_obj **out);

#ifdef __cplusplus
}
#endif

#endif
