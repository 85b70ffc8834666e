// The object record: allocation, dispatch through the operation table, store and create.
#include "gtl/gtl_obj.h"

#include <string.h>

#include "gtl/gtl_dict.h"
#include "gtl/gtl_list.h"
#include "gtl/gtl_mem.h"
#include "gtl/gtl_stack.h"
#include "gtl/gtl_string.h"
#include "gtl/gtl_value.h"

gtl_obj *gtl_obj_alloc(void) { return static_cast<gtl_obj *>(gtl_calloc(1, sizeof(gtl_obj))); }

int gtl_obj_initialize(gtl_obj *obj)
{
    if (!obj)
        return 1;
    obj->value = gtl_obj_value{};
    obj->owner = 0;
    obj->ops = gtl_obj_ops{};
    return 0;
}

int gtl_obj_init(gtl_obj *obj) { return obj && obj->ops.init ? obj->ops.init(obj) : 1; }
int gtl_obj_deinit(gtl_obj *obj) { return obj && obj->ops.deinit ? obj->ops.deinit(obj) : 1; }
int gtl_obj_clear(gtl_obj *obj) { return obj && obj->ops.clear ? obj->ops.clear(obj) : 1; }
int gtl_obj_dump(gtl_obj *obj) { return obj && obj->ops.dump ? obj->ops.dump(obj) : 1; }
int gtl_obj_destroy(gtl_obj *obj) { return obj && obj->ops.destroy ? obj->ops.destroy(obj) : 1; }
int gtl_obj_size(gtl_obj *obj, uint32_t *out) { return obj && obj->ops.size ? obj->ops.size(obj, out) : 1; }
int gtl_obj_copy(gtl_obj *src, gtl_obj *dst) { return src && dst && src->ops.copy ? src->ops.copy(src, dst) : 1; }
int gtl_obj_deepcopy(gtl_obj *src, gtl_obj *dst)
{
    return src && dst && src->ops.deepcopy ? src->ops.deepcopy(src, dst) : 1;
}

int gtl_obj_copy_vtable(const gtl_obj *src, gtl_obj *dst)
{
    if (!src || !dst)
        return 1;
    dst->ops.copy = src->ops.copy;
    dst->ops.deepcopy = src->ops.deepcopy;
    dst->ops.serialize_json = src->ops.serialize_json;
    dst->ops.serialize_xml = src->ops.serialize_xml;
    dst->ops.size = src->ops.size;
    dst->ops.dump = src->ops.dump;
    dst->ops.destroy = src->ops.destroy;
    return 0;
}

namespace {

// A string keeps one owned text: storing a new one releases the old.
void replace_text(gtl_obj *obj, char *text)
{
    if (obj->type == GTL_TYPE_STRING && obj->value.text != text)
        gtl_free(obj->value.text);
    obj->value.text = text;
}

int store_text_copy(gtl_obj *obj, const char *text, const int *max_chars)
{
    if (!text || !max_chars || *max_chars < 0)
        return 1;
    size_t len = strnlen(text, size_t(*max_chars));
    char *copy = static_cast<char *>(gtl_malloc(len + 1));
    if (!copy)
        return 1;
    memcpy(copy, text, len);
    copy[len] = '\0';
    replace_text(obj, copy);
    return 0;
}

// Copy of src made by its own deepcopy into a fresh record of the same type code.
gtl_obj *create_copy(const gtl_obj *src)
{
    if (!src || !src->ops.deepcopy)
        return nullptr;
    gtl_obj *copy = gtl_obj_alloc();
    if (!copy)
        return nullptr;
    copy->type = src->type;
    if (src->ops.deepcopy(const_cast<gtl_obj *>(src), copy) == 0)
        return copy;
    if (gtl_obj_destroy(copy) != 0)
        gtl_free(copy);
    return nullptr;
}

// An empty container, then src's own deepcopy into it when src is given: the result takes
// src's type, whatever container was asked for.
gtl_obj *create_container(uint32_t type, const gtl_obj *src)
{
    if (src && !src->ops.deepcopy)
        return nullptr;
    gtl_obj *obj = type == GTL_TYPE_DICT   ? gtl_dict_create()
                   : type == GTL_TYPE_LIST ? gtl_list_create()
                                           : gtl_stack_create();
    if (!obj || !src)
        return obj;
    if (src->ops.deepcopy(const_cast<gtl_obj *>(src), obj) == 0)
        return obj;
    gtl_obj_destroy(obj);
    return nullptr;
}

}  // namespace

int gtl_obj_set(gtl_obj *obj, uint32_t type, const void *value, const void *aux)
{
    if (!obj)
        return 1;
    switch (type) {
    case GTL_TYPE_STRING: return store_text_copy(obj, static_cast<const char *>(value), static_cast<const int *>(aux));
    case GTL_TYPE_STRINGPTR: replace_text(obj, static_cast<char *>(const_cast<void *>(value))); return 0;
    case GTL_TYPE_VOIDPTR:
    case GTL_TYPE_DICT:
    case GTL_TYPE_LIST:
    case GTL_TYPE_STACK: obj->value.ptr = const_cast<void *>(value); return 0;
    case GTL_TYPE_INT:
    case GTL_TYPE_BOOL:
        if (!value)
            return 1;
        obj->value.i = *static_cast<const int *>(value);
        return 0;
    case GTL_TYPE_DOUBLE:
        if (!value)
            return 1;
        obj->value.d = *static_cast<const double *>(value);
        return 0;
    case GTL_TYPE_FRACTION:
        if (!value || !aux)
            return 1;
        obj->value.frac.num = *static_cast<const int *>(value);
        obj->value.frac.den = *static_cast<const int *>(aux);
        return 0;
    default: return 0;
    }
}

gtl_obj *gtl_obj_create(uint32_t type, const void *value, const void *aux)
{
    switch (type) {
    case GTL_TYPE_STRING: return gtl_string_createval(static_cast<const char *>(value));
    case GTL_TYPE_INT: return value ? gtl_int_createval(*static_cast<const int *>(value)) : nullptr;
    case GTL_TYPE_BOOL: return value ? gtl_bool_createval(*static_cast<const int *>(value)) : nullptr;
    case GTL_TYPE_DOUBLE: return value ? gtl_double_createval(*static_cast<const double *>(value)) : nullptr;
    case GTL_TYPE_FRACTION:
        if (!value || !aux)
            return nullptr;
        return gtl_fraction_createval(*static_cast<const int *>(value), *static_cast<const int *>(aux));
    case GTL_TYPE_VOIDPTR: return gtl_voidptr_createval(const_cast<void *>(value));
    case GTL_TYPE_OBJECT: return create_copy(static_cast<const gtl_obj *>(value));
    case GTL_TYPE_DICT:
    case GTL_TYPE_LIST:
    case GTL_TYPE_STACK: return create_container(type, static_cast<const gtl_obj *>(value));
    default: return nullptr;
    }
}
