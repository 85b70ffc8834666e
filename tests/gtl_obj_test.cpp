// Value objects: conversions between types, comparison, store/create and the leaf types.
#include "gtl/gtl_obj.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>

#include <string>

#include "gtl/gtl_dict.h"
#include "gtl/gtl_list.h"
#include "gtl/gtl_mem.h"
#include "gtl/gtl_string.h"
#include "gtl/gtl_value.h"
#include "support/gtl_tracked.h"

namespace {

// A value to build an object from, described in a table row.
struct Val {
    uint32_t type;
    const char *text;
    double d;
    int num;
    int den;
};
Val Str(const char *s) { return {GTL_TYPE_STRING, s, 0, 0, 0}; }
Val NoText() { return {GTL_TYPE_STRING, nullptr, 0, 0, 0}; }
Val Int(int v) { return {GTL_TYPE_INT, nullptr, 0, v, 0}; }
Val Bool(int v) { return {GTL_TYPE_BOOL, nullptr, 0, v, 0}; }
Val Dbl(double v) { return {GTL_TYPE_DOUBLE, nullptr, v, 0, 0}; }
Val Frac(int n, int d) { return {GTL_TYPE_FRACTION, nullptr, 0, n, d}; }
Val Ptr(uintptr_t p) { return {GTL_TYPE_VOIDPTR, reinterpret_cast<const char *>(p), 0, 0, 0}; }
Val List() { return {GTL_TYPE_LIST, nullptr, 0, 0, 0}; }

gtl_obj *make(const Val &v)
{
    switch (v.type) {
    case GTL_TYPE_STRING: return v.text ? gtl_string_createval(v.text) : gtl_string_create();
    case GTL_TYPE_INT: return gtl_int_createval(v.num);
    case GTL_TYPE_BOOL: return gtl_bool_createval(v.num);
    case GTL_TYPE_DOUBLE: return gtl_double_createval(v.d);
    case GTL_TYPE_FRACTION: return gtl_fraction_createval(v.num, v.den);
    case GTL_TYPE_VOIDPTR: return gtl_voidptr_createval(const_cast<char *>(v.text));
    default: return gtl_list_create();
    }
}

// Owns one object for the length of a test case.
struct Obj {
    explicit Obj(const Val &v) : p(make(v)) {}
    ~Obj() { gtl_obj_destroy(p); }
    gtl_obj *p;
};

std::string label(const Val &v)
{
    char buf[96];
    const char *text = v.type != GTL_TYPE_STRING ? "-" : v.text ? v.text : "(null)";
    snprintf(buf, sizeof buf, "type %u text %s d %g %d/%d", v.type, text, v.d, v.num, v.den);
    return buf;
}

// Reads `o` as type `as` into outputs preset to -1 (text: "untouched") and prints the outputs.
std::string readAs(gtl_obj *o, uint32_t as, int *rc)
{
    char buf[32] = "untouched";
    int i = -1, den = -1;
    double d = -1;
    switch (as) {
    case GTL_TYPE_INT: *rc = gtl_obj_get_int(o, &i); return std::to_string(i);
    case GTL_TYPE_BOOL: *rc = gtl_obj_get_bool(o, &i); return std::to_string(i);
    case GTL_TYPE_DOUBLE:
        *rc = gtl_obj_get_double(o, &d);
        snprintf(buf, sizeof buf, "%g", d);
        break;
    case GTL_TYPE_FRACTION:
        *rc = gtl_obj_get_fraction(o, &i, &den);
        snprintf(buf, sizeof buf, "%d/%d", i, den);
        break;
    default: *rc = gtl_obj_get_string(o, buf, 16);
    }
    return buf;
}

class GtlObjTest : public GtlTrackedTest {};

TEST_F(GtlObjTest, ReadAsEachType)
{
    const uint32_t I = GTL_TYPE_INT, B = GTL_TYPE_BOOL, D = GTL_TYPE_DOUBLE, F = GTL_TYPE_FRACTION, S = GTL_TYPE_STRING;
    struct Row {
        Val v;
        uint32_t as;
        int rc;
        const char *want;
    } rows[] = {
        // Integers: halves round away from zero only upwards, out-of-range doubles saturate,
        // trailing text fails but keeps the number read, pointers keep their low 32 bits.
        {Str("12abc"), I, 1, "12"},
        {Str(" -7"), I, 0, "-7"},
        {NoText(), I, 1, "-1"},
        {Bool(1), I, 0, "1"},
        {Dbl(2.5), I, 0, "3"},
        {Dbl(-2.5), I, 0, "-2"},
        {Dbl(2.49), I, 0, "2"},
        {Dbl(1e20), I, 0, "2147483647"},
        {Dbl(-1e20), I, 0, "-2147483648"},
        {Frac(5, 2), I, 0, "3"},
        {Ptr(0x1234567890), I, 0, "878082192"},
        {List(), I, 1, "-1"},
        // Booleans: the words off/no/false in any case, "0" and "" are false.
        {Str("OFF"), B, 0, "0"},
        {Str("No"), B, 0, "0"},
        {Str("False"), B, 0, "0"},
        {Str("0"), B, 0, "0"},
        {Str(""), B, 0, "0"},
        {Str("offline"), B, 0, "1"},
        {NoText(), B, 1, "-1"},
        {Dbl(0.4), B, 0, "0"},
        {Dbl(0.5), B, 0, "1"},
        {Dbl(-0.7), B, 0, "0"},
        {Dbl(-1.7), B, 0, "1"},
        {Int(-9), B, 0, "1"},
        {Frac(0, 5), B, 0, "0"},
        {Frac(1, 0), B, 0, "1"},
        {List(), B, 1, "-1"},
        {Str("1.5"), D, 0, "1.5"},
        {Str("1.5x"), D, 1, "1.5"},
        {NoText(), D, 1, "-1"},
        {Frac(1, 4), D, 0, "0.25"},
        {Int(3), D, 0, "3"},
        {List(), D, 1, "-1"},
        // Fractions: a double becomes thousandths, rounded like the integer conversion.
        {Dbl(2.5), F, 0, "2500/1000"},
        {Dbl(-2.5), F, 0, "-2499/1000"},
        {Frac(1, 3), F, 0, "1/3"},
        {Int(7), F, 0, "7/1"},
        {Str("9z"), F, 1, "9/1"},
        {NoText(), F, 1, "-1/-1"},
        {Ptr(4), F, 1, "-1/-1"},
        {Int(42), S, 0, "42"},
        {Bool(0), S, 0, "false"},
        {Bool(3), S, 0, "true"},
        {Dbl(1.5), S, 0, "1.500000"},
        {Frac(1, 3), S, 0, "0.333333"},
        {Str("abcdefghijklmnopq"), S, 0, "abcdefghijklmnop"},  // 16 bytes, no terminator
        {NoText(), S, 1, "untouched"},
        {List(), S, 1, "untouched"},
    };
    for (const Row &r : rows) {
        Obj o(r.v);
        int rc = -1;
        EXPECT_EQ(readAs(o.p, r.as, &rc), r.want) << label(r.v) << " as " << r.as;
        EXPECT_EQ(rc, r.rc) << label(r.v) << " as " << r.as;
    }
    Obj i(Int(12345));
    char buf[8];
    EXPECT_EQ(gtl_obj_get_string(i.p, buf, 3), 0);
    EXPECT_STREQ(buf, "12");
    EXPECT_EQ(gtl_obj_get(i.p, GTL_TYPE_STRING, buf, nullptr), 1);    // the length is required
    EXPECT_EQ(gtl_obj_get(i.p, GTL_TYPE_FRACTION, buf, nullptr), 1);  // so is the denominator
}

TEST_F(GtlObjTest, PointerRequestsHandOutTheObjectsOwnStorage)
{
    Obj s(Str("abc")), i(Int(1)), p(Ptr(0xbeef)), l(List());
    void *out = nullptr;
    EXPECT_EQ(gtl_obj_get(s.p, GTL_TYPE_STRINGPTR, &out, nullptr), 0);
    EXPECT_EQ(out, s.p->value.text);
    EXPECT_EQ(gtl_obj_get(i.p, GTL_TYPE_STRINGPTR, &out, nullptr), 1);
    EXPECT_EQ(gtl_obj_get_voidptr(p.p, &out), 0);
    EXPECT_EQ(out, reinterpret_cast<void *>(0xbeef));
    gtl_obj *obj = nullptr;
    EXPECT_EQ(gtl_obj_get(i.p, GTL_TYPE_OBJECT, &obj, nullptr), 0);
    EXPECT_EQ(obj, i.p);
    EXPECT_EQ(gtl_obj_get_list(l.p, &obj), 0);
    EXPECT_EQ(obj, l.p);
    EXPECT_EQ(gtl_obj_get_dict(l.p, &obj), 1);
    int untouched = 77;
    EXPECT_EQ(gtl_obj_get(i.p, 99, &untouched, nullptr), 0);  // unknown request: nothing
    EXPECT_EQ(untouched, 77);
    EXPECT_EQ(gtl_obj_get(nullptr, GTL_TYPE_INT, &untouched, nullptr), 1);
}

TEST_F(GtlObjTest, CompareBits)
{
    const int T = GTL_CMP_SAMETYPE, LT = GTL_CMP_LESS, GT = GTL_CMP_GREATER, EQ = GTL_CMP_EQUAL, SAME = GTL_CMP_SAME;
    struct Row {
        Val a;
        Val b;
        int want;
    } rows[] = {
        {Int(5), Dbl(5.0000001), EQ},
        {Str("abc"), Str("abc"), T | EQ},
        {Str("abc"), Str("abd"), T | LT},
        {Int(1), Int(2), T | LT},
        {Int(3), Int(-2), T | GT},
        {Bool(1), Int(1), EQ},
        {Dbl(1.0), Frac(1, 1), EQ},
        {Dbl(1.0), Dbl(1.1), T | LT},
        {Frac(3, 2), Int(1), GT},
        {Str("12"), Int(12), EQ},
        {Str("abc"), Int(5), GT},
        {Int(5), Str("6x"), LT},
        {Str(""), Int(0), LT},
        {NoText(), NoText(), T | EQ | SAME},
        {List(), List(), T},
        {Ptr(16), Ptr(16), T | SAME},
        {Ptr(0), Int(0), SAME},
    };
    for (const Row &r : rows) {
        Obj a(r.a), b(r.b);
        EXPECT_EQ(gtl_obj_compare(a.p, b.p), r.want) << label(r.a) << " vs " << label(r.b);
    }
    Obj s(Str("x")), l(List());
    EXPECT_EQ(gtl_obj_compare(s.p, s.p), T | EQ | SAME);
    EXPECT_EQ(gtl_obj_compare(l.p, l.p), T | SAME);
    EXPECT_EQ(gtl_obj_compare(s.p, nullptr), 0);
}

TEST_F(GtlObjTest, SetStoresWithoutChangingTheTypeCode)
{
    Obj s(Str("old")), i(Int(1)), f(Frac(0, 1)), b(Bool(0));
    int max = 3, v = 9, den = 4;
    EXPECT_EQ(gtl_obj_set(s.p, GTL_TYPE_STRING, "abcdef", &max), 0);
    EXPECT_STREQ(s.p->value.text, "abc");
    EXPECT_EQ(gtl_obj_set(s.p, GTL_TYPE_STRING, "abcdef", nullptr), 1);
    EXPECT_EQ(gtl_obj_set(i.p, 42, &v, nullptr), 0);  // unknown type: nothing stored
    EXPECT_EQ(i.p->value.i, 1);
    EXPECT_EQ(gtl_obj_set(f.p, GTL_TYPE_FRACTION, &v, nullptr), 1);
    EXPECT_EQ(gtl_obj_set(f.p, GTL_TYPE_FRACTION, &v, &den), 0);
    EXPECT_EQ(f.p->value.frac.den, 4);
    EXPECT_EQ(f.p->type, uint32_t(GTL_TYPE_FRACTION));
    EXPECT_EQ(gtl_bool_set(b.p, 42), 0);
    EXPECT_EQ(gtl_bool_get(b.p, &v), 0);
    EXPECT_EQ(v, 1);
}

TEST_F(GtlObjTest, CreateMakesEachTypeAndDeepCopiesObjects)
{
    int v = 7, den = 3;
    double d = 0.5;
    Obj s(Str("deep"));
    gtl_obj *dict = gtl_dict_create();
    struct Row {
        uint32_t type;
        const void *value;
        const void *aux;
        bool made;
        uint32_t madeType = 0;  // 0: the type asked for
    } rows[] = {
        {GTL_TYPE_STRING, "hi", nullptr, true},
        {GTL_TYPE_STRING, nullptr, nullptr, false},
        {GTL_TYPE_INT, &v, nullptr, true},
        {GTL_TYPE_BOOL, &v, nullptr, true},
        {GTL_TYPE_DOUBLE, &d, nullptr, true},
        {GTL_TYPE_DOUBLE, nullptr, nullptr, false},
        {GTL_TYPE_FRACTION, &v, &den, true},
        {GTL_TYPE_FRACTION, &v, nullptr, false},
        {GTL_TYPE_VOIDPTR, &v, nullptr, true},
        {GTL_TYPE_STRINGPTR, "hi", nullptr, false},
        {GTL_TYPE_DICT, nullptr, nullptr, true},
        {GTL_TYPE_LIST, nullptr, nullptr, true},
        {GTL_TYPE_STACK, nullptr, nullptr, true},
        {GTL_TYPE_OBJECT, nullptr, nullptr, false},
        {12, &v, nullptr, false},
        {GTL_TYPE_LIST, s.p, nullptr, true, GTL_TYPE_STRING},  // the source's own deepcopy
        {GTL_TYPE_OBJECT, dict, nullptr, false},               // a fresh record holds no chain to copy into
    };
    for (const Row &r : rows) {
        gtl_obj *o = gtl_obj_create(r.type, r.value, r.aux);
        EXPECT_EQ(o != nullptr, r.made) << "type " << r.type;
        if (o) {
            EXPECT_EQ(o->type, r.madeType ? r.madeType : r.type);
        }
        gtl_obj_destroy(o);
    }
    gtl_obj_destroy(dict);
    gtl_obj *copy = gtl_obj_create(GTL_TYPE_OBJECT, s.p, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->value.text, s.p->value.text);
    EXPECT_STREQ(copy->value.text, "deep");
    gtl_obj_destroy(copy);

    for (int failFrom = 1; failFrom <= 2; ++failFrom) {  // record, then text or chain
        TrackedAllocator failing(failFrom);
        EXPECT_EQ(gtl_string_createval("text"), nullptr) << failFrom;
        TrackedAllocator failingAgain(failFrom);
        EXPECT_EQ(gtl_list_create(), nullptr) << failFrom;
    }
}

TEST_F(GtlObjTest, GenericDispatchNeedsAnObjectAndASlot)
{
    gtl_obj *bare = gtl_obj_alloc();
    ASSERT_NE(bare, nullptr);
    uint32_t size = 0;
    for (int rc :
         {gtl_obj_init(bare), gtl_obj_clear(bare), gtl_obj_dump(bare), gtl_obj_destroy(bare), gtl_obj_size(bare, &size),
          gtl_obj_copy(bare, bare), gtl_obj_init(nullptr), gtl_obj_copy_vtable(nullptr, bare)})
        EXPECT_EQ(rc, 1);
    EXPECT_EQ(gtl_obj_create(GTL_TYPE_OBJECT, bare, nullptr), nullptr);  // no table to copy with
    gtl_free(bare);
}

TEST_F(GtlObjTest, LeafDumpsAndSizes)
{
    struct Row {
        Val v;
        const char *dump;
        uint32_t size;
    } rows[] = {
        {Str("hi"), "gtl_string:hi\n", 2},      {Int(-5), "gtl_int:-5\n", 1},          {Bool(2), "gtl_bool:true\n", 1},
        {Dbl(1.5), "gtl_double:1.500000\n", 1}, {Frac(1, 3), "gtl_fraction:1/3\n", 1}, {NoText(), "", UINT32_MAX},
    };
    for (const Row &r : rows) {
        Obj o(r.v);
        testing::internal::CaptureStdout();
        EXPECT_EQ(gtl_obj_dump(o.p), r.v.type == GTL_TYPE_STRING && !r.v.text ? 1 : 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), r.dump);
        uint32_t size = 0;
        EXPECT_EQ(gtl_obj_size(o.p, &size), 0);
        EXPECT_EQ(size, r.size);
    }
}

TEST_F(GtlObjTest, CopyRetypesTheDestinationAfterReleasingIt)
{
    Obj s(Str("text")), i(Int(5));
    EXPECT_EQ(gtl_obj_copy(i.p, s.p), 0);  // the string's text goes (the fixture tracks it)
    EXPECT_EQ(s.p->type, uint32_t(GTL_TYPE_INT));
    EXPECT_EQ(s.p->value.i, 5);
    EXPECT_EQ(s.p->ops.dump, i.p->ops.dump);

    Obj from(Str("abc")), to(Dbl(1));
    EXPECT_EQ(gtl_obj_deepcopy(from.p, to.p), 0);
    EXPECT_STREQ(to.p->value.text, "abc");
    EXPECT_NE(to.p->value.text, from.p->value.text);
    EXPECT_EQ(gtl_obj_copy(from.p, from.p), 1);  // would free its own source
    EXPECT_EQ(gtl_int_copy(to.p, i.p), 1);       // the source must be of the copying type
}

}  // namespace
