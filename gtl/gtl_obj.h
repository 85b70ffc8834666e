// Self-describing value objects: the object record, its operation table, and the generic
// conversion (gtl_obj_get), store (gtl_obj_set), creation and comparison routines.
// Objects from gtl_obj_create belong to the caller (release with gtl_obj_destroy). Not thread-safe.
#ifndef GTL_GTL_OBJ_H
#define GTL_GTL_OBJ_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Type codes. STRINGPTR and OBJECT are request codes only: no object carries them.
enum gtl_type_code {
    GTL_TYPE_STRING = 1,
    GTL_TYPE_STRINGPTR = 2,  // the text pointer of a string, not a copy
    GTL_TYPE_INT = 3,
    GTL_TYPE_BOOL = 4,
    GTL_TYPE_DOUBLE = 5,
    GTL_TYPE_FRACTION = 6,
    GTL_TYPE_VOIDPTR = 7,
    GTL_TYPE_OBJECT = 8,  // the object itself
    GTL_TYPE_DICT = 9,
    GTL_TYPE_LIST = 10,
    GTL_TYPE_STACK = 11
};

// Result bits of gtl_obj_compare.
enum gtl_compare_bits {
    GTL_CMP_SAMETYPE = 1,
    GTL_CMP_LESS = 2,     // a orders before b
    GTL_CMP_GREATER = 4,  // a orders after b
    GTL_CMP_EQUAL = 8,
    GTL_CMP_SAME = 32  // both refer to the same storage
};

typedef struct gtl_obj gtl_obj;

typedef int (*gtl_op_fn)(gtl_obj *obj);
typedef int (*gtl_op_copy_fn)(gtl_obj *src, gtl_obj *dst);
typedef int (*gtl_op_size_fn)(gtl_obj *obj, uint32_t *out);

// The ten operation slots, in this order. serialize_json and serialize_xml do nothing.
typedef struct gtl_obj_ops {
    gtl_op_fn init;
    gtl_op_fn deinit;
    gtl_op_copy_fn copy;
    gtl_op_copy_fn deepcopy;
    gtl_op_fn clear;
    gtl_op_fn serialize_json;
    gtl_op_fn serialize_xml;
    gtl_op_size_fn size;
    gtl_op_fn dump;
    gtl_op_fn destroy;
} gtl_obj_ops;

typedef struct gtl_fraction_value {
    int32_t num;
    int32_t den;
} gtl_fraction_value;

// The 8-byte payload, read according to the type code.
typedef union gtl_obj_value {
    void *ptr;   // void pointer (not owned), or a container's node chain
    char *text;  // string: owned zero-terminated text, or null
    int32_t i;   // int, bool
    double d;    // double
    gtl_fraction_value frac;
} gtl_obj_value;

struct gtl_obj {
    uint32_t type;
    gtl_obj_value value;
    uint32_t owner;  // dictionary only: 1 when it owns its node chain
    gtl_obj_ops ops;
};

// Allocates one record with value, owner flag and table cleared (type code 0); null if out
// of memory. gtl_obj_initialize clears the same members of an existing record.
gtl_obj *gtl_obj_alloc(void);
int gtl_obj_initialize(gtl_obj *obj);

// Call the slot of that name in the object's own table; 1 for a null object or empty slot.
int gtl_obj_init(gtl_obj *obj);
int gtl_obj_deinit(gtl_obj *obj);
int gtl_obj_copy(gtl_obj *src, gtl_obj *dst);
int gtl_obj_deepcopy(gtl_obj *src, gtl_obj *dst);
int gtl_obj_clear(gtl_obj *obj);
int gtl_obj_size(gtl_obj *obj, uint32_t *out);
int gtl_obj_dump(gtl_obj *obj);
int gtl_obj_destroy(gtl_obj *obj);
// Copies copy, deepcopy, serialize_json, serialize_xml, size, dump and destroy.
int gtl_obj_copy_vtable(const gtl_obj *src, gtl_obj *dst);

// Stores a value without changing the type code. value points to the scalar (int, double,
// fraction numerator) or is the pointer to store (text, void pointer, chain). aux: for
// GTL_TYPE_STRING a pointer to the maximum number of characters (int, required); for
// GTL_TYPE_FRACTION a pointer to the denominator (int, required).
int gtl_obj_set(gtl_obj *obj, uint32_t type, const void *value, const void *aux);

// Makes a new object of the given type from value/aux as gtl_obj_set reads them.
// GTL_TYPE_OBJECT deep-copies the object given as value into a fresh record (a dictionary
// cannot be copied so, see gtl_dict_deepcopy); DICT/LIST/STACK make an empty container and run
// value's own deepcopy into it when value is not null, so the result has value's type whatever
// container was asked for. Null on any failure.
gtl_obj *gtl_obj_create(uint32_t type, const void *value, const void *aux);

#ifdef __cplusplus
}
#endif

// Conversion and comparison belong to the object model too.
#include "gtl/gtl_convert.h"

#endif
