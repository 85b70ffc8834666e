// Reading any value object as another type (gtl_obj_get and its wrappers) and ordering two
// values (gtl_obj_compare). Results are written to caller storage; pointers handed out
// (texts, objects) stay owned by the object read. Not thread-safe.
#ifndef GTL_GTL_CONVERT_H
#define GTL_GTL_CONVERT_H

#include "gtl/gtl_obj.h"

#ifdef __cplusplus
extern "C" {
#endif

// Reads the object's value as the requested type into out. aux: for GTL_TYPE_STRING a
// pointer to the buffer length (size_t, required); for GTL_TYPE_FRACTION the denominator
// output (int). Unknown request codes write nothing and give 0. A string read as text is a
// plain bounded copy (strncpy): a text of the buffer's length or longer is left unterminated,
// so give one byte more than the longest text wanted. Numbers are formatted with snprintf and
// always terminated.
int gtl_obj_get(gtl_obj *obj, uint32_t type, void *out, void *aux);
int gtl_obj_get_string(gtl_obj *obj, char *buf, size_t len);
int gtl_obj_get_int(gtl_obj *obj, int *out);
int gtl_obj_get_bool(gtl_obj *obj, int *out);
int gtl_obj_get_double(gtl_obj *obj, double *out);
int gtl_obj_get_fraction(gtl_obj *obj, int *num, int *den);
int gtl_obj_get_voidptr(gtl_obj *obj, void **out);
int gtl_obj_get_dict(gtl_obj *obj, gtl_obj **out);
int gtl_obj_get_list(gtl_obj *obj, gtl_obj **out);
int gtl_obj_get_stack(gtl_obj *obj, gtl_obj **out);

// Bit set of enum gtl_compare_bits; 0 if either is null. When either is a container or a void
// pointer, only identity counts: GTL_CMP_SAME when both value members hold the same bits (a
// null void pointer against int 0 included). A string against a number
// compares numerically when the whole text is a number, else as text against the number's text
// form.
int gtl_obj_compare(const gtl_obj *a, const gtl_obj *b);

#ifdef __cplusplus
}
#endif

#endif
