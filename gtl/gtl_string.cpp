// String value objects.
#include "gtl/gtl_string.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "gtl/gtl_mem.h"

namespace {

const gtl_obj_ops kStringOps = {
    gtl_string_init,           gtl_string_deinit,        gtl_string_copy, gtl_string_deepcopy, gtl_string_clear,
    gtl_string_serialize_json, gtl_string_serialize_xml, gtl_string_size, gtl_string_dump,     gtl_string_destroy};

bool is_string(const gtl_obj *obj) { return obj && obj->type == GTL_TYPE_STRING; }

}  // namespace

int gtl_string_init(gtl_obj *obj)
{
    if (!obj)
        return 1;
    obj->type = GTL_TYPE_STRING;
    obj->ops = kStringOps;
    return 0;
}

gtl_obj *gtl_string_create(void)
{
    gtl_obj *obj = static_cast<gtl_obj *>(gtl_calloc(1, sizeof(gtl_obj)));
    if (obj)
        gtl_string_init(obj);
    return obj;
}

gtl_obj *gtl_string_createval(const char *text)
{
    if (!text)
        return nullptr;
    gtl_obj *obj = gtl_string_create();
    if (obj && gtl_string_set(obj, text) != 0) {
        gtl_string_destroy(obj);
        return nullptr;
    }
    return obj;
}

int gtl_string_deinit(gtl_obj *obj)
{
    if (!obj)
        return 1;
    gtl_free(obj->value.text);
    obj->value.text = nullptr;
    return 0;
}

int gtl_string_clear(gtl_obj *obj) { return gtl_string_deinit(obj); }

int gtl_string_copy(gtl_obj *src, gtl_obj *dst)
{
    if (!is_string(src) || !dst || src == dst)
        return 1;
    gtl_obj_deinit(dst);  // a fresh record has no deinit yet; that is fine
    gtl_string_init(dst);
    dst->value.text = nullptr;
    return src->value.text ? gtl_string_set(dst, src->value.text) : 0;
}

int gtl_string_deepcopy(gtl_obj *src, gtl_obj *dst) { return gtl_string_copy(src, dst); }

int gtl_string_size(gtl_obj *obj, uint32_t *out)
{
    if (!obj || !out)
        return 1;
    *out = obj->value.text ? uint32_t(strlen(obj->value.text)) : UINT32_MAX;
    return 0;
}

int gtl_string_dump(gtl_obj *obj)
{
    if (!obj || !obj->value.text)
        return 1;
    printf("gtl_string:%s\n", obj->value.text);
    return 0;
}

int gtl_string_destroy(gtl_obj *obj)
{
    if (!is_string(obj))
        return 1;
    gtl_free(obj->value.text);
    gtl_free(obj);
    return 0;
}

int gtl_string_serialize_json(gtl_obj *) { return 0; }
int gtl_string_serialize_xml(gtl_obj *) { return 0; }

int gtl_string_get(gtl_obj *obj, char *buf, size_t len)
{
    if (!is_string(obj))
        return 1;
    return gtl_obj_get(obj, GTL_TYPE_STRING, buf, &len);
}

int gtl_string_set(gtl_obj *obj, const char *text)
{
    if (!is_string(obj) || !text)
        return 1;
    size_t len = strlen(text);
    int max_chars = len > size_t(INT_MAX) ? INT_MAX : int(len);
    return gtl_obj_set(obj, GTL_TYPE_STRING, text, &max_chars);
}

int gtl_string_getptr(gtl_obj *obj, const char **out)
{
    if (!is_string(obj) || !out)
        return 1;
    *out = obj->value.text;
    return 0;
}
