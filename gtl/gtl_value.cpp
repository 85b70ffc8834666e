// Scalar value objects: one operation table per type, the shared lifecycle generated below.
#include "gtl/gtl_value.h"

#include <stdio.h>

#include "gtl/gtl_mem.h"

// The lifecycle every scalar type shares. Each type supplies only its dump.
#define GTL_DEFINE_SCALAR_OPS(T, CODE)                                                                                 \
    namespace {                                                                                                        \
    const gtl_obj_ops k_##T##_ops = {                                                                                  \
        gtl_##T##_init,           gtl_##T##_deinit,        gtl_##T##_copy, gtl_##T##_deepcopy, gtl_##T##_clear,        \
        gtl_##T##_serialize_json, gtl_##T##_serialize_xml, gtl_##T##_size, gtl_##T##_dump,     gtl_##T##_destroy};     \
    }                                                                                                                  \
    int gtl_##T##_init(gtl_obj *obj)                                                                                   \
    {                                                                                                                  \
        if (!obj)                                                                                                      \
            return 1;                                                                                                  \
        obj->type = CODE;                                                                                              \
        obj->ops = k_##T##_ops;                                                                                        \
        return 0;                                                                                                      \
    }                                                                                                                  \
    gtl_obj *gtl_##T##_create(void)                                                                                    \
    {                                                                                                                  \
        gtl_obj *obj = static_cast<gtl_obj *>(gtl_calloc(1, sizeof(gtl_obj)));                                         \
        if (obj)                                                                                                       \
            gtl_##T##_init(obj);                                                                                       \
        return obj;                                                                                                    \
    }                                                                                                                  \
    int gtl_##T##_copy(gtl_obj *src, gtl_obj *dst)                                                                     \
    {                                                                                                                  \
        if (!src || !dst || src->type != CODE)                                                                         \
            return 1;                                                                                                  \
        if (src == dst)                                                                                                \
            return 0;                                                                                                  \
        gtl_obj_deinit(dst); /* a fresh record has no deinit yet; that is fine */                                      \
        gtl_##T##_init(dst);                                                                                           \
        dst->value = src->value;                                                                                       \
        return 0;                                                                                                      \
    }                                                                                                                  \
    int gtl_##T##_deepcopy(gtl_obj *src, gtl_obj *dst) { return gtl_##T##_copy(src, dst); }                            \
    int gtl_##T##_size(gtl_obj *obj, uint32_t *out)                                                                    \
    {                                                                                                                  \
        if (!obj || !out)                                                                                              \
            return 1;                                                                                                  \
        *out = 1;                                                                                                      \
        return 0;                                                                                                      \
    }                                                                                                                  \
    int gtl_##T##_destroy(gtl_obj *obj)                                                                                \
    {                                                                                                                  \
        if (!obj)                                                                                                      \
            return 1;                                                                                                  \
        gtl_free(obj);                                                                                                 \
        return 0;                                                                                                      \
    }                                                                                                                  \
    int gtl_##T##_deinit(gtl_obj *) { return 0; }                                                                      \
    int gtl_##T##_clear(gtl_obj *) { return 0; }                                                                       \
    int gtl_##T##_serialize_json(gtl_obj *) { return 0; }                                                              \
    int gtl_##T##_serialize_xml(gtl_obj *) { return 0; }

GTL_DEFINE_SCALAR_OPS(int, GTL_TYPE_INT)
GTL_DEFINE_SCALAR_OPS(bool, GTL_TYPE_BOOL)
GTL_DEFINE_SCALAR_OPS(double, GTL_TYPE_DOUBLE)
GTL_DEFINE_SCALAR_OPS(fraction, GTL_TYPE_FRACTION)
GTL_DEFINE_SCALAR_OPS(voidptr, GTL_TYPE_VOIDPTR)

int gtl_int_dump(gtl_obj *obj)
{
    if (!obj)
        return 1;
    printf("gtl_int:%d\n", obj->value.i);
    return 0;
}

int gtl_bool_dump(gtl_obj *obj)
{
    if (!obj)
        return 1;
    printf("gtl_bool:%s\n", obj->value.i ? "true" : "false");
    return 0;
}

int gtl_double_dump(gtl_obj *obj)
{
    if (!obj)
        return 1;
    printf("gtl_double:%f\n", obj->value.d);
    return 0;
}

int gtl_fraction_dump(gtl_obj *obj)
{
    if (!obj)
        return 1;
    printf("gtl_fraction:%d/%d\n", obj->value.frac.num, obj->value.frac.den);
    return 0;
}

int gtl_voidptr_dump(gtl_obj *obj)
{
    if (!obj)
        return 1;
    printf("gtl_voidptr:%p\n", obj->value.ptr);
    return 0;
}

namespace {

// create, then set; a failed set releases the new object.
template <typename Setter, typename... Args>
gtl_obj *create_with(gtl_obj *obj, Setter set, Args... args)
{
    if (obj && set(obj, args...) != 0) {
        gtl_free(obj);
        return nullptr;
    }
    return obj;
}

}  // namespace

gtl_obj *gtl_int_createval(int value) { return create_with(gtl_int_create(), gtl_int_set, value); }
int gtl_int_get(gtl_obj *obj, int *out) { return gtl_obj_get(obj, GTL_TYPE_INT, out, nullptr); }
int gtl_int_set(gtl_obj *obj, int value) { return gtl_obj_set(obj, GTL_TYPE_INT, &value, nullptr); }

gtl_obj *gtl_bool_createval(int value) { return create_with(gtl_bool_create(), gtl_bool_set, value); }
int gtl_bool_get(gtl_obj *obj, int *out) { return gtl_obj_get(obj, GTL_TYPE_BOOL, out, nullptr); }
int gtl_bool_set(gtl_obj *obj, int value) { return gtl_obj_set(obj, GTL_TYPE_BOOL, &value, nullptr); }

gtl_obj *gtl_double_createval(double value) { return create_with(gtl_double_create(), gtl_double_set, value); }
int gtl_double_get(gtl_obj *obj, double *out) { return gtl_obj_get(obj, GTL_TYPE_DOUBLE, out, nullptr); }
int gtl_double_set(gtl_obj *obj, double value) { return gtl_obj_set(obj, GTL_TYPE_DOUBLE, &value, nullptr); }

gtl_obj *gtl_fraction_createval(int num, int den)
{
    return create_with(gtl_fraction_create(), gtl_fraction_set, num, den);
}
int gtl_fraction_get(gtl_obj *obj, int *num, int *den) { return gtl_obj_get(obj, GTL_TYPE_FRACTION, num, den); }
int gtl_fraction_set(gtl_obj *obj, int num, int den) { return gtl_obj_set(obj, GTL_TYPE_FRACTION, &num, &den); }

gtl_obj *gtl_voidptr_createval(void *value) { return create_with(gtl_voidptr_create(), gtl_voidptr_set, value); }
int gtl_voidptr_get(gtl_obj *obj, void **out) { return gtl_obj_get(obj, GTL_TYPE_VOIDPTR, out, nullptr); }
int gtl_voidptr_set(gtl_obj *obj, void *value) { return gtl_obj_set(obj, GTL_TYPE_VOIDPTR, value, nullptr); }
