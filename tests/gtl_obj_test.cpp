// Value objects: conversions between types, comparison, store/create and the leaf types.
#include "gtl/gtl_obj.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>

#include <string>

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

gtl_obj *make(const Val &v) {
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

std::string label(const Val &v) {
    char buf[96];
    const char *text = v.type != GTL_TYPE_STRING ? "-" : v.text ? v.text : "(null)";
    snprintf(buf, sizeof buf, "type %u text %s d %g %d/%d", v.type, text, v.d, v.num, v.den);
    return buf;
}

class GtlObjTest : public GtlTrackedTest {};

TEST_F(GtlObjTest, ReadAsInt) {
    struct Row {
        Val v;
        int rc;
        int want;
    } rows[] = {
        {Str("12"), 0, 12},
        {Str("12abc"), 1, 12},
        {Str(" -7"), 0, -7},
        {NoText(), 1, -1},
        {Int(-4), 0, -4},
        {Bool(1), 0, 1},
        {Dbl(2.5), 0, 3},
        {Dbl(-2.5), 0, -2},
        {Dbl(2.49), 0, 2},
        {Dbl(1e20), 0, INT32_MAX},
        {Dbl(-1e20), 0, INT32_MIN},
        {Frac(5, 2), 0, 3},
        {Frac(1, 3), 0, 0},
        {Ptr(0x1234567890), 0, 0x34567890},
        {List(), 1, -1},
    };
    for (const Row &r : rows) {
        Obj o(r.v);
        int out = -1;
        EXPECT_EQ(gtl_obj_get_int(o.p, &out), r.rc) << label(r.v);
        EXPECT_EQ(out, r.want) << label(r.v);
    }
}

TEST_F(GtlObjTest, ReadAsBool) {
    struct Row {
        Val v;
        int rc;
        int want;
    } rows[] = {
        {Str("1.5"), 0, 1}, {Str("OFF"), 0, 0}, {Str("No"), 0, 0},  {Str("False"), 0, 0},
        {Str("0"), 0, 0},   {Str(""), 0, 0},    {Str("yes"), 0, 1}, {Str("offline"), 0, 1},
        {NoText(), 1, -1},  {Dbl(0.4), 0, 0},   {Dbl(0.5), 0, 1},   {Dbl(-0.7), 0, 0},
        {Dbl(-1.7), 0, 1},  {Int(0), 0, 0},     {Int(-9), 0, 1},    {Bool(5), 0, 1},
        {Frac(0, 5), 0, 0}, {Frac(1, 0), 0, 1}, {Ptr(1), 1, -1},    {List(), 1, -1},
    };
    for (const Row &r : rows) {
        Obj o(r.v);
        int out = -1;
        EXPECT_EQ(gtl_obj_get_bool(o.p, &out), r.rc) << label(r.v);
        EXPECT_EQ(out, r.want) << label(r.v);
    }
}

TEST_F(GtlObjTest, ReadAsDouble) {
    struct Row {
        Val v;
        int rc;
        double want;
    } rows[] = {
        {Str("1.5"), 0, 1.5},     {Str("1.5x"), 1, 1.5}, {NoText(), 1, -1},
        {Frac(1, 4), 0, 0.25},    {Int(3), 0, 3},        {Bool(1), 0, 1},
        {Dbl(-0.125), 0, -0.125}, {Ptr(8), 1, -1},       {List(), 1, -1},
    };
    for (const Row &r : rows) {
        Obj o(r.v);
        double out = -1;
        EXPECT_EQ(gtl_obj_get_double(o.p, &out), r.rc) << label(r.v);
        EXPECT_DOUBLE_EQ(out, r.want) << label(r.v);
    }
}

TEST_F(GtlObjTest, ReadAsFraction) {
    struct Row {
        Val v;
        int rc;
        int num;
        int den;
    } rows[] = {
        {Dbl(2.5), 0, 2500, 1000}, {Dbl(-2.5), 0, -2499, 1000}, {Dbl(0.0004), 0, 0, 1000},
        {Frac(1, 3), 0, 1, 3},     {Int(7), 0, 7, 1},           {Bool(0), 0, 0, 1},
        {Str("9"), 0, 9, 1},       {Str("9z"), 1, 9, 1},        {NoText(), 1, -1, -1},
        {Ptr(4), 1, -1, -1},
    };
    for (const Row &r : rows) {
        Obj o(r.v);
        int num = -1, den = -1;
        EXPECT_EQ(gtl_obj_get_fraction(o.p, &num, &den), r.rc) << label(r.v);
        EXPECT_EQ(num, r.num) << label(r.v);
        EXPECT_EQ(den, r.den) << label(r.v);
    }
    Obj f(Frac(1, 2));
    int num = 0;
    EXPECT_EQ(gtl_obj_get(f.p, GTL_TYPE_FRACTION, &num, nullptr), 1);  // denominator required
}

TEST_F(GtlObjTest, ReadAsText) {
    struct Row {
        Val v;
        size_t len;
        int rc;
        const char *want;
    } rows[] = {
        {Int(42), 16, 0, "42"},          {Bool(0), 16, 0, "false"},
        {Bool(3), 16, 0, "true"},        {Dbl(1.5), 16, 0, "1.500000"},
        {Frac(1, 3), 16, 0, "0.333333"}, {Str("abc"), 16, 0, "abc"},
        {Int(12345), 3, 0, "12"},        {Str("abcdef"), 4, 0, "abc"},
        {NoText(), 16, 1, "untouched"},  {Ptr(1), 16, 1, "untouched"},
        {List(), 16, 1, "untouched"},
    };
    for (const Row &r : rows) {
        Obj o(r.v);
        char buf[16] = "untouched";
        EXPECT_EQ(gtl_obj_get_string(o.p, buf, r.len), r.rc) << label(r.v);
        EXPECT_STREQ(buf, r.want) << label(r.v);
    }
    Obj i(Int(1));
    char buf[8];
    EXPECT_EQ(gtl_obj_get(i.p, GTL_TYPE_STRING, buf, nullptr), 1);  // the length is required
}

TEST_F(GtlObjTest, PointerRequestsHandOutTheObjectsOwnStorage) {
    Obj s(Str("abc")), i(Int(1)), p(Ptr(0xbeef)), l(List());
    void *out = nullptr;
    EXPECT_EQ(gtl_obj_get(s.p, GTL_TYPE_STRINGPTR, &out, nullptr), 0);
    EXPECT_EQ(out, s.p->value.text);
    EXPECT_EQ(gtl_obj_get(i.p, GTL_TYPE_STRINGPTR, &out, nullptr), 1);
    EXPECT_EQ(gtl_obj_get_voidptr(p.p, &out), 0);
    EXPECT_EQ(out, reinterpret_cast<void *>(0xbeef));
    EXPECT_EQ(gtl_obj_get_voidptr(i.p, &out), 1);

    gtl_obj *obj = nullptr;
    EXPECT_EQ(gtl_obj_get(i.p, GTL_TYPE_OBJECT, &obj, nullptr), 0);
    EXPECT_EQ(obj, i.p);
    EXPECT_EQ(gtl_obj_get_list(l.p, &obj), 0);
    EXPECT_EQ(obj, l.p);
    EXPECT_EQ(gtl_obj_get_dict(l.p, &obj), 1);
    EXPECT_EQ(gtl_obj_get_stack(l.p, &obj), 1);

    int untouched = 77;
    EXPECT_EQ(gtl_obj_get(i.p, 99, &untouched, nullptr), 0);  // unknown request: nothing
    EXPECT_EQ(untouched, 77);
    EXPECT_EQ(gtl_obj_get(nullptr, GTL_TYPE_INT, &untouched, nullptr), 1);
    EXPECT_EQ(gtl_obj_get(i.p, GTL_TYPE_INT, nullptr, nullptr), 1);
}

TEST_F(GtlObjTest, CompareBits) {
    const int T = GTL_CMP_SAMETYPE, LT = GTL_CMP_LESS, GT = GTL_CMP_GREATER, EQ = GTL_CMP_EQUAL,
              SAME = GTL_CMP_SAME;
    struct Row {
        Val a;
        Val b;
        int want;
    } rows[] = {
        {Int(5), Dbl(5.0000001), EQ},
        {Str("abc"), Str("abc"), T | EQ},
        {Str("abc"), Str("abd"), T | LT},
        {Str("b"), Str("a"), T | GT},
        {Int(1), Int(2), T | LT},
        {Int(3), Int(-2), T | GT},
        {Bool(1), Int(1), EQ},
        {Dbl(1.0), Frac(1, 1), EQ},
        {Dbl(1.0), Dbl(1.1), T | LT},
        {Frac(3, 2), Int(1), GT},
        {Str("12"), Int(12), EQ},
        {Str("2.5"), Dbl(2.5), EQ},
        {Str("abc"), Int(5), GT},
        {Int(5), Str("6x"), LT},
        {Str(""), Int(0), LT},
        {NoText(), NoText(), T | EQ | SAME},
        {List(), List(), T},
        {Ptr(16), Ptr(16), T | SAME},
        {Ptr(16), Int(16), 0},
    };
    for (const Row &r : rows) {
        Obj a(r.a), b(r.b);
        EXPECT_EQ(gtl_obj_compare(a.p, b.p), r.want) << label(r.a) << " vs " << label(r.b);
    }
    Obj s(Str("x")), l(List());
    EXPECT_EQ(gtl_obj_compare(s.p, s.p), T | EQ | SAME);
    EXPECT_EQ(gtl_obj_compare(l.p, l.p), T | SAME);
    EXPECT_EQ(gtl_obj_compare(s.p, nullptr), 0);
    EXPECT_EQ(gtl_obj_compare(nullptr, s.p), 0);
}

TEST_F(GtlObjTest, SetStoresWithoutChangingTheTypeCode) {
    Obj s(Str("old"));
    int max = 3;
    EXPECT_EQ(gtl_obj_set(s.p, GTL_TYPE_STRING, "abcdef", &max), 0);
    EXPECT_STREQ(s.p->value.text, "abc");
    EXPECT_EQ(gtl_obj_set(s.p, GTL_TYPE_STRING, "abcdef", nullptr), 1);
    EXPECT_STREQ(s.p->value.text, "abc");

    Obj i(Int(1));
    int v = 9, den = 4;
    double d = 2.75;
    EXPECT_EQ(gtl_obj_set(i.p, GTL_TYPE_INT, &v, nullptr), 0);
    EXPECT_EQ(i.p->value.i, 9);
    EXPECT_EQ(gtl_obj_set(i.p, 42, &v, nullptr), 0);  // unknown type: nothing stored
    EXPECT_EQ(gtl_obj_set(i.p, GTL_TYPE_INT, nullptr, nullptr), 1);
    EXPECT_EQ(i.p->value.i, 9);

    Obj f(Frac(0, 1));
    EXPECT_EQ(gtl_obj_set(f.p, GTL_TYPE_FRACTION, &v, nullptr), 1);
    EXPECT_EQ(gtl_obj_set(f.p, GTL_TYPE_FRACTION, &v, &den), 0);
    EXPECT_EQ(f.p->value.frac.num, 9);
    EXPECT_EQ(f.p->value.frac.den, 4);
    EXPECT_EQ(f.p->type, uint32_t(GTL_TYPE_FRACTION));

    Obj x(Dbl(0));
    EXPECT_EQ(gtl_obj_set(x.p, GTL_TYPE_DOUBLE, &d, nullptr), 0);
    EXPECT_EQ(x.p->value.d, 2.75);
    EXPECT_EQ(gtl_obj_set(nullptr, GTL_TYPE_INT, &v, nullptr), 1);
}

TEST_F(GtlObjTest, CreateMakesEachTypeAndDeepCopiesObjects) {
    int v = 7, den = 3;
    double d = 0.5;
    struct Row {
        uint32_t type;
        const void *value;
        const void *aux;
        bool made;
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
        {0, &v, nullptr, false},
        {12, &v, nullptr, false},
    };
    for (const Row &r : rows) {
        gtl_obj *o = gtl_obj_create(r.type, r.value, r.aux);
        EXPECT_EQ(o != nullptr, r.made) << "type " << r.type;
        if (o) {
            EXPECT_EQ(o->type, r.type);
            gtl_obj_destroy(o);
        }
    }

    Obj s(Str("deep"));
    gtl_obj *copy = gtl_obj_create(GTL_TYPE_OBJECT, s.p, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->value.text, s.p->value.text);
    EXPECT_STREQ(copy->value.text, "deep");
    gtl_obj_destroy(copy);

    gtl_obj *bare = gtl_obj_alloc();  // no table: nothing to copy with
    EXPECT_EQ(gtl_obj_create(GTL_TYPE_OBJECT, bare, nullptr), nullptr);
    gtl_free(bare);

    Obj i(Int(3));  // a container made from a source of another type is refused
    EXPECT_EQ(gtl_obj_create(GTL_TYPE_LIST, i.p, nullptr), nullptr);
}

TEST_F(GtlObjTest, CreateFailsCleanlyWhenMemoryRunsOut) {
    for (int failFrom = 1; failFrom <= 2; ++failFrom) {  // record, then text or chain
        {
            TrackedAllocator failing(failFrom);
            EXPECT_EQ(gtl_string_createval("text"), nullptr) << failFrom;
        }
        TrackedAllocator failing(failFrom);
        EXPECT_EQ(gtl_list_create(), nullptr) << failFrom;
    }
}

TEST_F(GtlObjTest, GenericDispatchNeedsAnObjectAndASlot) {
    gtl_obj *bare = gtl_obj_alloc();
    ASSERT_NE(bare, nullptr);
    uint32_t size = 0;
    for (int rc : {gtl_obj_init(bare), gtl_obj_deinit(bare), gtl_obj_clear(bare),
                   gtl_obj_dump(bare), gtl_obj_destroy(bare), gtl_obj_size(bare, &size),
                   gtl_obj_copy(bare, bare), gtl_obj_deepcopy(bare, bare), gtl_obj_init(nullptr),
                   gtl_obj_initialize(nullptr), gtl_obj_copy_vtable(nullptr, bare)})
        EXPECT_EQ(rc, 1);

    Obj i(Int(5));
    EXPECT_EQ(gtl_obj_copy_vtable(i.p, bare), 0);
    EXPECT_EQ(bare->ops.init, nullptr);  // init, deinit and clear are not copied
    EXPECT_EQ(bare->ops.deinit, nullptr);
    EXPECT_EQ(bare->ops.clear, nullptr);
    EXPECT_EQ(bare->ops.size, i.p->ops.size);
    EXPECT_EQ(bare->ops.destroy, i.p->ops.destroy);
    EXPECT_EQ(gtl_obj_size(bare, &size), 0);
    EXPECT_EQ(size, 1u);

    bare->type = GTL_TYPE_INT;
    bare->owner = 1;
    bare->value.i = 3;
    EXPECT_EQ(gtl_obj_initialize(bare), 0);
    EXPECT_EQ(bare->type, uint32_t(GTL_TYPE_INT));
    EXPECT_EQ(bare->value.i, 0);
    EXPECT_EQ(bare->owner, 0u);
    EXPECT_EQ(bare->ops.destroy, nullptr);
    gtl_free(bare);
}

TEST_F(GtlObjTest, LeafDumpsAndSizes) {
    struct Row {
        Val v;
        const char *dump;
        uint32_t size;
    } rows[] = {
        {Str("hi"), "gtl_string:hi\n", 2},      {Int(-5), "gtl_int:-5\n", 1},
        {Bool(2), "gtl_bool:true\n", 1},        {Bool(0), "gtl_bool:false\n", 1},
        {Dbl(1.5), "gtl_double:1.500000\n", 1}, {Frac(1, 3), "gtl_fraction:1/3\n", 1},
    };
    for (const Row &r : rows) {
        Obj o(r.v);
        testing::internal::CaptureStdout();
        EXPECT_EQ(gtl_obj_dump(o.p), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), r.dump);
        uint32_t size = 0;
        EXPECT_EQ(gtl_obj_size(o.p, &size), 0);
        EXPECT_EQ(size, r.size);
    }
    Obj p(Ptr(0x10));
    char want[64];
    snprintf(want, sizeof want, "gtl_voidptr:%p\n", reinterpret_cast<void *>(0x10));
    testing::internal::CaptureStdout();
    gtl_obj_dump(p.p);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), want);

    Obj empty(NoText());
    uint32_t size = 0;
    EXPECT_EQ(gtl_obj_size(empty.p, &size), 0);
    EXPECT_EQ(size, UINT32_MAX);
    testing::internal::CaptureStdout();
    EXPECT_EQ(gtl_obj_dump(empty.p), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(GtlObjTest, StringRefusesOtherTypesAndOwnsItsText) {
    Obj i(Int(4));
    char buf[8];
    const char *ptr = nullptr;
    EXPECT_EQ(gtl_string_get(i.p, buf, sizeof buf), 1);
    EXPECT_EQ(gtl_string_set(i.p, "x"), 1);
    EXPECT_EQ(gtl_string_getptr(i.p, &ptr), 1);
    EXPECT_EQ(gtl_string_destroy(i.p), 1);

    Obj s(Str("one"));
    EXPECT_EQ(gtl_string_set(s.p, "three"), 0);  // the old text is released (tracked)
    EXPECT_EQ(gtl_string_getptr(s.p, &ptr), 0);
    EXPECT_STREQ(ptr, "three");
    EXPECT_EQ(gtl_string_set(s.p, nullptr), 1);
    EXPECT_EQ(gtl_string_get(s.p, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "three");
    EXPECT_EQ(gtl_obj_clear(s.p), 0);
    EXPECT_EQ(s.p->value.text, nullptr);
}

TEST_F(GtlObjTest, CopyRetypesTheDestinationAfterReleasingIt) {
    Obj s(Str("text")), i(Int(5));
    EXPECT_EQ(gtl_obj_copy(i.p, s.p), 0);  // the string's text goes (the fixture tracks it)
    EXPECT_EQ(s.p->type, uint32_t(GTL_TYPE_INT));
    EXPECT_EQ(s.p->value.i, 5);
    EXPECT_EQ(s.p->ops.dump, i.p->ops.dump);

    Obj from(Str("abc")), to(Dbl(1));
    EXPECT_EQ(gtl_obj_deepcopy(from.p, to.p), 0);
    EXPECT_EQ(to.p->type, uint32_t(GTL_TYPE_STRING));
    EXPECT_STREQ(to.p->value.text, "abc");
    EXPECT_NE(to.p->value.text, from.p->value.text);
    EXPECT_EQ(gtl_obj_copy(from.p, from.p), 1);  // would free its own source

    Obj d(Dbl(-0.25)), f(Frac(1, 2));
    EXPECT_EQ(gtl_double_copy(d.p, f.p), 0);
    EXPECT_EQ(f.p->value.d, -0.25);
    EXPECT_EQ(gtl_int_copy(d.p, f.p), 1);  // the source must be of the copying type
}

TEST_F(GtlObjTest, TypedAccessorsRoundTrip) {
    Obj i(Int(0)), b(Bool(0)), d(Dbl(0)), f(Frac(0, 1)), p(Ptr(0));
    int iv = 0, num = 0, den = 0;
    double dv = 0;
    void *pv = nullptr;
    EXPECT_EQ(gtl_int_set(i.p, -8), 0);
    EXPECT_EQ(gtl_int_get(i.p, &iv), 0);
    EXPECT_EQ(iv, -8);
    EXPECT_EQ(gtl_bool_set(b.p, 42), 0);
    EXPECT_EQ(gtl_bool_get(b.p, &iv), 0);
    EXPECT_EQ(iv, 1);
    EXPECT_EQ(gtl_double_set(d.p, 6.5), 0);
    EXPECT_EQ(gtl_double_get(d.p, &dv), 0);
    EXPECT_EQ(dv, 6.5);
    EXPECT_EQ(gtl_fraction_set(f.p, 3, -4), 0);
    EXPECT_EQ(gtl_fraction_get(f.p, &num, &den), 0);
    EXPECT_EQ(num, 3);
    EXPECT_EQ(den, -4);
    EXPECT_EQ(gtl_voidptr_set(p.p, &iv), 0);
    EXPECT_EQ(gtl_voidptr_get(p.p, &pv), 0);
    EXPECT_EQ(pv, &iv);
}

}  // namespace
