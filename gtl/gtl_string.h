// String value objects (type code 1): an owned, zero-terminated text or none.
// gtl_string_create* return objects owned by the caller (gtl_string_destroy); getptr hands
// out the object's own text, valid until the next set, clear or destroy. Not thread-safe.
#ifndef GTL_GTL_STRING_H
#define GTL_GTL_STRING_H

#include "gtl/gtl_obj.h"

#ifdef __cplusplus
extern "C" {
#endif

int gtl_string_init(gtl_obj *obj);                // type 1, the string's ten slots, no text
gtl_obj *gtl_string_create(void);                 // an empty string object; null if out of memory
gtl_obj *gtl_string_createval(const char *text);  // null if text is null or out of memory
int gtl_string_deinit(gtl_obj *obj);              // frees the text
int gtl_string_clear(gtl_obj *obj);               // frees the text
// Runs dst's current deinit, makes it a string and gives it its own copy of src's text.
int gtl_string_copy(gtl_obj *src, gtl_obj *dst);
int gtl_string_deepcopy(gtl_obj *src, gtl_obj *dst);
// Text length; all ones (-1) with result 0 when there is no text.
int gtl_string_size(gtl_obj *obj, uint32_t *out);
int gtl_string_dump(gtl_obj *obj);     // "gtl_string:%s\n"; 1 when there is no text
int gtl_string_destroy(gtl_obj *obj);  // frees text and record; 1 unless type code is 1
int gtl_string_serialize_json(gtl_obj *obj);
int gtl_string_serialize_xml(gtl_obj *obj);

// These three refuse (1) objects whose type code is not 1.
int gtl_string_get(gtl_obj *obj, char *buf, size_t len);  // strncpy: may leave it unterminated
int gtl_string_set(gtl_obj *obj, const char *text);       // replaces the text with a copy
int gtl_string_getptr(gtl_obj *obj, const char **out);    // the text pointer itself

#ifdef __cplusplus
}
#endif

#endif
