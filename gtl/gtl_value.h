// Scalar value objects: int (3), bool (4), double (5), fraction (6) and void pointer (7).
// gtl_<type>_create* return objects owned by the caller (gtl_<type>_destroy); a void pointer
// object never owns its target. Not thread-safe.
#ifndef GTL_GTL_VALUE_H
#define GTL_GTL_VALUE_H

#include "gtl/gtl_obj.h"

#ifdef __cplusplus
extern "C" {
#endif

// Every scalar type T has the same lifecycle functions:
//   gtl_T_init      writes the type code and the ten slots
//   gtl_T_create    a zero-filled, initialised object (null if out of memory)
//   gtl_T_copy      runs dst's current deinit, makes it a T holding src's value
//   gtl_T_deepcopy  same as copy
//   gtl_T_size      writes 1
//   gtl_T_dump      prints "gtl_T:<value>\n" on standard output
//   gtl_T_destroy   frees the record
//   gtl_T_deinit, gtl_T_clear, gtl_T_serialize_json, gtl_T_serialize_xml do nothing (0)
#define GTL_DECLARE_SCALAR_OPS(T)                                                                                      \
    int gtl_##T##_init(gtl_obj *obj);                                                                                  \
    gtl_obj *gtl_##T##_create(void);                                                                                   \
    int gtl_##T##_copy(gtl_obj *src, gtl_obj *dst);                                                                    \
    int gtl_##T##_deepcopy(gtl_obj *src, gtl_obj *dst);                                                                \
    int gtl_##T##_size(gtl_obj *obj, uint32_t *out);                                                                   \
    int gtl_##T##_dump(gtl_obj *obj);                                                                                  \
    int gtl_##T##_destroy(gtl_obj *obj);                                                                               \
    int gtl_##T##_deinit(gtl_obj *obj);                                                                                \
    int gtl_##T##_clear(gtl_obj *obj);                                                                                 \
    int gtl_##T##_serialize_json(gtl_obj *obj);                                                                        \
    int gtl_##T##_serialize_xml(gtl_obj *obj);

GTL_DECLARE_SCALAR_OPS(int)
GTL_DECLARE_SCALAR_OPS(bool)
GTL_DECLARE_SCALAR_OPS(double)
GTL_DECLARE_SCALAR_OPS(fraction)
GTL_DECLARE_SCALAR_OPS(voidptr)

// get converts the object's value (gtl_obj_get); set stores without changing the type code
// (gtl_obj_set); createval is create followed by set.
gtl_obj *gtl_int_createval(int value);
int gtl_int_get(gtl_obj *obj, int *out);
int gtl_int_set(gtl_obj *obj, int value);

gtl_obj *gtl_bool_createval(int value);
int gtl_bool_get(gtl_obj *obj, int *out);  // writes 0 or 1
int gtl_bool_set(gtl_obj *obj, int value);

gtl_obj *gtl_double_createval(double value);
int gtl_double_get(gtl_obj *obj, double *out);
int gtl_double_set(gtl_obj *obj, double value);

gtl_obj *gtl_fraction_createval(int num, int den);
int gtl_fraction_get(gtl_obj *obj, int *num, int *den);
int gtl_fraction_set(gtl_obj *obj, int num, int den);

gtl_obj *gtl_voidptr_createval(void *value);
int gtl_voidptr_get(gtl_obj *obj, void **out);
int gtl_voidptr_set(gtl_obj *obj, void *value);

#ifdef __cplusplus
}
#endif

#endif
