// Conversion of value objects between types, and their ordering.
#include "gtl/gtl_convert.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <climits>

namespace {

// Rounds half up and truncates toward zero (so -2.5 gives -2), saturating at the int32 range
// instead of overflowing.
int32_t round_half_up(double v)
{
    double r = v + 0.5;
    if (isnan(r))
        return 0;
    if (r >= 2147483647.0)
        return INT32_MAX;
    if (r <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(r);
}

double fraction_value(const gtl_obj *obj) { return double(obj->value.frac.num) / double(obj->value.frac.den); }

// strtol of the whole text; 1 when text follows the number (the number is still stored).
int parse_int(const char *text, int *out)
{
    if (!text)
        return 1;
    char *end = nullptr;
    long v = strtol(text, &end, 10);
    *out = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
    return *end != '\0';
}

int parse_double(const char *text, double *out)
{
    if (!text)
        return 1;
    char *end = nullptr;
    *out = strtod(text, &end);
    return *end != '\0';
}

int text_is_false(const char *text)
{
    static const char *const kFalseWords[] = {"false", "0", "off", "no"};
    if (text[0] == '\0')
        return 1;
    for (const char *word : kFalseWords)
        if (strcasecmp(text, word) == 0)
            return 1;
    return 0;
}

int get_text(gtl_obj *obj, char *buf, const size_t *len)
{
    if (!len)
        return 1;
    switch (obj->type) {
    case GTL_TYPE_STRING:
        if (!obj->value.text)
            return 1;
        // A plain bounded copy: a text that fills the buffer is left unterminated.
        strncpy(buf, obj->value.text, *len);
        return 0;
    case GTL_TYPE_INT: snprintf(buf, *len, "%d", obj->value.i); return 0;
    case GTL_TYPE_BOOL: snprintf(buf, *len, "%s", obj->value.i ? "true" : "false"); return 0;
    case GTL_TYPE_DOUBLE: snprintf(buf, *len, "%f", obj->value.d); return 0;
    case GTL_TYPE_FRACTION: snprintf(buf, *len, "%f", fraction_value(obj)); return 0;
    default: return 1;
    }
}

int get_int(const gtl_obj *obj, int *out)
{
    switch (obj->type) {
    case GTL_TYPE_INT:
    case GTL_TYPE_BOOL: *out = obj->value.i; return 0;
    case GTL_TYPE_DOUBLE: *out = round_half_up(obj->value.d); return 0;
    case GTL_TYPE_FRACTION: *out = round_half_up(fraction_value(obj)); return 0;
    case GTL_TYPE_VOIDPTR: *out = int32_t(uint32_t(reinterpret_cast<uintptr_t>(obj->value.ptr))); return 0;
    case GTL_TYPE_STRING: return parse_int(obj->value.text, out);
    default: return 1;
    }
}

int get_bool(const gtl_obj *obj, int *out)
{
    switch (obj->type) {
    case GTL_TYPE_STRING:
        if (!obj->value.text)
            return 1;
        *out = !text_is_false(obj->value.text);
        return 0;
    case GTL_TYPE_DOUBLE: *out = round_half_up(obj->value.d) != 0; return 0;
    case GTL_TYPE_INT:
    case GTL_TYPE_BOOL: *out = obj->value.i != 0; return 0;
    case GTL_TYPE_FRACTION: *out = obj->value.frac.num != 0; return 0;
    default: return 1;
    }
}

int get_double(const gtl_obj *obj, double *out)
{
    switch (obj->type) {
    case GTL_TYPE_DOUBLE: *out = obj->value.d; return 0;
    case GTL_TYPE_FRACTION: *out = fraction_value(obj); return 0;
    case GTL_TYPE_INT:
    case GTL_TYPE_BOOL: *out = obj->value.i; return 0;
    case GTL_TYPE_STRING: return parse_double(obj->value.text, out);
    default: return 1;
    }
}

int get_fraction(const gtl_obj *obj, int *num, int *den)
{
    if (!den)
        return 1;
    switch (obj->type) {
    case GTL_TYPE_DOUBLE:
        *num = round_half_up(obj->value.d * 1000.0);
        *den = 1000;
        return 0;
    case GTL_TYPE_FRACTION:
        *num = obj->value.frac.num;
        *den = obj->value.frac.den;
        return 0;
    case GTL_TYPE_INT:
    case GTL_TYPE_BOOL:
        *num = obj->value.i;
        *den = 1;
        return 0;
    case GTL_TYPE_STRING: {
        if (!obj->value.text)
            return 1;
        int rc = parse_int(obj->value.text, num);
        *den = 1;
        return rc;
    }
    default: return 1;
    }
}

// Reads the object itself when its code matches the request (text pointer, void pointer,
// containers) or unconditionally (GTL_TYPE_OBJECT).
int get_pointer(gtl_obj *obj, uint32_t type, void **out)
{
    switch (type) {
    case GTL_TYPE_STRINGPTR:
        if (obj->type != GTL_TYPE_STRING)
            return 1;
        *out = obj->value.text;
        return 0;
    case GTL_TYPE_VOIDPTR:
        if (obj->type != GTL_TYPE_VOIDPTR)
            return 1;
        *out = obj->value.ptr;
        return 0;
    case GTL_TYPE_OBJECT: *out = obj; return 0;
    default:
        if (obj->type != type)
            return 1;
        *out = obj;
        return 0;
    }
}

bool is_number(const gtl_obj *obj) { return obj->type >= GTL_TYPE_INT && obj->type <= GTL_TYPE_FRACTION; }

bool is_leaf_value(const gtl_obj *obj) { return obj->type == GTL_TYPE_STRING || is_number(obj); }

bool holds_pointer(const gtl_obj *obj)
{
    return obj->type == GTL_TYPE_VOIDPTR || (obj->type >= GTL_TYPE_DICT && obj->type <= GTL_TYPE_STACK);
}

int order_bits(int cmp) { return cmp < 0 ? GTL_CMP_LESS : cmp > 0 ? GTL_CMP_GREATER : GTL_CMP_EQUAL; }

int compare_texts(const char *a, const char *b)
{
    if (!a || !b)
        return order_bits((a != nullptr) - (b != nullptr));
    return order_bits(strcmp(a, b));
}

int compare_doubles(double a, double b)
{
    if (fabs(a - b) < 1e-6)
        return GTL_CMP_EQUAL;
    return a < b ? GTL_CMP_LESS : GTL_CMP_GREATER;
}

// A string against a number: numeric when the whole text is a number, else by text.
int compare_mixed(const gtl_obj *a, const gtl_obj *b)
{
    const char *text = a->type == GTL_TYPE_STRING ? a->value.text : b->value.text;
    double da = 0, db = 0;
    if (text && text[0] && get_double(a, &da) == 0 && get_double(b, &db) == 0)
        return compare_doubles(da, db);
    char ta[64] = "", tb[64] = "";
    const size_t len = sizeof ta;
    const char *sa = a->type == GTL_TYPE_STRING ? a->value.text : ta;
    const char *sb = b->type == GTL_TYPE_STRING ? b->value.text : tb;
    if (a->type != GTL_TYPE_STRING)
        get_text(const_cast<gtl_obj *>(a), ta, &len);
    if (b->type != GTL_TYPE_STRING)
        get_text(const_cast<gtl_obj *>(b), tb, &len);
    return compare_texts(sa, sb);
}

}  // namespace

int gtl_obj_get(gtl_obj *obj, uint32_t type, void *out, void *aux)
{
    if (!obj || !out)
        return 1;
    switch (type) {
    case GTL_TYPE_STRING: return get_text(obj, static_cast<char *>(out), static_cast<const size_t *>(aux));
    case GTL_TYPE_INT: return get_int(obj, static_cast<int *>(out));
    case GTL_TYPE_BOOL: return get_bool(obj, static_cast<int *>(out));
    case GTL_TYPE_DOUBLE: return get_double(obj, static_cast<double *>(out));
    case GTL_TYPE_FRACTION: return get_fraction(obj, static_cast<int *>(out), static_cast<int *>(aux));
    case GTL_TYPE_STRINGPTR:
    case GTL_TYPE_VOIDPTR:
    case GTL_TYPE_OBJECT:
    case GTL_TYPE_DICT:
    case GTL_TYPE_LIST:
    case GTL_TYPE_STACK: return get_pointer(obj, type, static_cast<void **>(out));
    default: return 0;
    }
}

int gtl_obj_get_string(gtl_obj *obj, char *buf, size_t len) { return gtl_obj_get(obj, GTL_TYPE_STRING, buf, &len); }
int gtl_obj_get_int(gtl_obj *obj, int *out) { return gtl_obj_get(obj, GTL_TYPE_INT, out, nullptr); }
int gtl_obj_get_bool(gtl_obj *obj, int *out) { return gtl_obj_get(obj, GTL_TYPE_BOOL, out, nullptr); }
int gtl_obj_get_double(gtl_obj *obj, double *out) { return gtl_obj_get(obj, GTL_TYPE_DOUBLE, out, nullptr); }
int gtl_obj_get_fraction(gtl_obj *obj, int *num, int *den) { return gtl_obj_get(obj, GTL_TYPE_FRACTION, num, den); }
int gtl_obj_get_voidptr(gtl_obj *obj, void **out) { return gtl_obj_get(obj, GTL_TYPE_VOIDPTR, out, nullptr); }
int gtl_obj_get_dict(gtl_obj *obj, gtl_obj **out) { return gtl_obj_get(obj, GTL_TYPE_DICT, out, nullptr); }
int gtl_obj_get_list(gtl_obj *obj, gtl_obj **out) { return gtl_obj_get(obj, GTL_TYPE_LIST, out, nullptr); }
int gtl_obj_get_stack(gtl_obj *obj, gtl_obj **out) { return gtl_obj_get(obj, GTL_TYPE_STACK, out, nullptr); }

int gtl_obj_compare(const gtl_obj *a, const gtl_obj *b)
{
    if (!a || !b)
        return 0;
    int bits = a->type == b->type ? GTL_CMP_SAMETYPE : 0;
    if (!is_leaf_value(a) || !is_leaf_value(b)) {
        // Containers, void pointers and unknown codes have no value order, only identity: the
        // two value members hold the same bits (so a null pointer is the same as int 0).
        bool pointer = holds_pointer(a) || holds_pointer(b);
        // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison): the bits are the identity
        if (pointer && memcmp(&a->value, &b->value, sizeof a->value) == 0)
            bits |= GTL_CMP_SAME;
        return bits;
    }
    if (a->type == GTL_TYPE_STRING && b->type == GTL_TYPE_STRING) {
        if (a->value.text == b->value.text)
            bits |= GTL_CMP_SAME;
        return bits | compare_texts(a->value.text, b->value.text);
    }
    if (a->type == GTL_TYPE_STRING || b->type == GTL_TYPE_STRING)
        return bits | compare_mixed(a, b);
    bool exact = a->type != GTL_TYPE_DOUBLE && a->type != GTL_TYPE_FRACTION && b->type != GTL_TYPE_DOUBLE &&
                 b->type != GTL_TYPE_FRACTION;
    if (exact) {
        int ia = 0, ib = 0;
        get_int(a, &ia);
        get_int(b, &ib);
        return bits | order_bits((ia > ib) - (ia < ib));
    }
    double da = 0, db = 0;
    get_double(a, &da);
    get_double(b, &db);
    return bits | compare_doubles(da, db);
}
