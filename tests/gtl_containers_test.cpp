// Node chain, list, stack and dictionary, all run under the tracking allocator so that any
// block left behind fails the test.
#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "gtl/gtl_dict.h"
#include "gtl/gtl_linkedlist.h"
#include "gtl/gtl_list.h"
#include "gtl/gtl_mem.h"
#include "gtl/gtl_stack.h"
#include "gtl/gtl_string.h"
#include "gtl/gtl_value.h"
#include "support/gtl_tracked.h"

namespace {

class GtlContainersTest : public GtlTrackedTest {};

std::vector<int> keys(gtl_linkedlist *ll) {
    std::vector<int> out;
    for (gtl_linkedlist_node *n = ll->head; n; n = n->next) out.push_back(n->key);
    return out;
}

// Walks the chain both ways and returns the items' tags, failing on a broken back link.
std::string tags(gtl_linkedlist *ll) {
    std::string fwd, back;
    for (gtl_linkedlist_node *n = ll->head; n; n = n->next) fwd += *static_cast<char *>(n->item);
    for (gtl_linkedlist_node *n = ll->tail; n; n = n->prev)
        back.insert(0, 1, *static_cast<char *>(n->item));
    EXPECT_EQ(fwd, back);
    return fwd;
}

std::vector<std::string> texts(gtl_obj *container, int (*get)(gtl_obj *, int, char *, size_t)) {
    std::vector<std::string> out;
    char buf[32];
    for (int i = 0; get(container, i, buf, sizeof buf) == 0; ++i) out.push_back(buf);
    return out;
}
std::vector<std::string> listTexts(gtl_obj *list) { return texts(list, gtl_list_get_string); }
std::vector<std::string> stackTexts(gtl_obj *stack) { return texts(stack, gtl_stack_get_string); }
using Texts = std::vector<std::string>;

TEST_F(GtlContainersTest, ChainAddKeepsDescendingKeysInArrivalOrder) {
    gtl_linkedlist *ll = gtl_linkedlist_create();
    char a = 'a', b = 'b', c = 'c', d = 'd', e = 'e';
    for (auto [key, item] : {std::pair{1, &a}, {3, &b}, {2, &c}, {3, &d}, {0, &e}})
        ASSERT_EQ(gtl_linkedlist_add(ll, key, item), 0);
    EXPECT_EQ(keys(ll), (std::vector<int>{3, 3, 2, 1, 0}));
    EXPECT_EQ(tags(ll), "bdcae");
    uint32_t size = 0;
    EXPECT_EQ(gtl_linkedlist_size(ll, &size), 0);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(gtl_linkedlist_destroy(ll), 0);
}

TEST_F(GtlContainersTest, ChainInsertAppendAndRemoveKeepBothEnds) {
    gtl_linkedlist *ll = gtl_linkedlist_create();
    char a = 'a', b = 'b', c = 'c', d = 'd', e = 'e';
    EXPECT_EQ(gtl_linkedlist_insert(ll, nullptr, &b), 0);   // empty: head and tail
    EXPECT_EQ(gtl_linkedlist_insert(ll, ll->head, &a), 0);  // before the head
    EXPECT_EQ(gtl_linkedlist_insert(ll, nullptr, &d), 0);   // null: at the tail
    EXPECT_EQ(gtl_linkedlist_insert(ll, ll->tail, &c), 0);  // in the middle
    EXPECT_EQ(gtl_linkedlist_append(ll, ll->tail, &e), 0);  // after the tail
    EXPECT_EQ(tags(ll), "abcde");
    EXPECT_EQ(gtl_linkedlist_append(ll, nullptr, &e), 1);  // after-node required
    EXPECT_EQ(gtl_linkedlist_append(ll, ll->head, &e), 0);
    EXPECT_EQ(tags(ll), "aebcde");

    EXPECT_EQ(gtl_linkedlist_remove(ll, ll->head), 0);
    EXPECT_EQ(gtl_linkedlist_remove(ll, ll->tail), 0);
    EXPECT_EQ(gtl_linkedlist_remove(ll, ll->head->next), 0);
    EXPECT_EQ(tags(ll), "ecd");
    EXPECT_EQ(gtl_linkedlist_head(ll)->item, &e);
    EXPECT_EQ(gtl_linkedlist_tail(ll)->item, &d);
    EXPECT_EQ(gtl_linkedlist_clear(ll), 0);
    EXPECT_EQ(ll->head, nullptr);
    EXPECT_EQ(ll->tail, nullptr);
    EXPECT_EQ(gtl_linkedlist_append(ll, nullptr, &a), 0);  // empty again: no anchor
    EXPECT_EQ(tags(ll), "a");
    gtl_linkedlist_destroy(ll);

    EXPECT_EQ(gtl_linkedlist_head(nullptr), nullptr);
    EXPECT_EQ(gtl_linkedlist_insert(nullptr, nullptr, &a), 1);
    EXPECT_EQ(gtl_linkedlist_remove(nullptr, nullptr), 1);
}

TEST_F(GtlContainersTest, ListIndexingInsertAndRemove) {
    gtl_obj *list = gtl_list_create();
    for (const char *s : {"a", "b", "c"}) ASSERT_EQ(gtl_list_append_string(list, s), 0);
    EXPECT_EQ(listTexts(list), (Texts{"a", "b", "c"}));
    char buf[8] = "none";
    EXPECT_EQ(gtl_list_get_string(list, 5, buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "none");

    EXPECT_EQ(gtl_list_insert_string(list, 1, "x"), 0);   // between a and b
    EXPECT_EQ(gtl_list_insert_int(list, -3, 7), 0);       // 0 or below: the head
    EXPECT_EQ(gtl_list_insert_double(list, 99, 2.5), 0);  // past the end: appended
    EXPECT_EQ(listTexts(list), (Texts{"7", "a", "x", "b", "c", "2.500000"}));

    uint32_t type = 0, size = 0;
    EXPECT_EQ(gtl_list_get_type(list, 0, &type), 0);
    EXPECT_EQ(type, uint32_t(GTL_TYPE_INT));
    EXPECT_EQ(gtl_list_get_type(list, 6, &type), 1);
    EXPECT_EQ(gtl_list_remove(list, 2), 0);  // destroys "x"
    EXPECT_EQ(gtl_list_remove(list, 6), 1);
    EXPECT_EQ(gtl_list_size(list, &size), 0);
    EXPECT_EQ(size, 5u);

    void *ptr = &size;
    EXPECT_EQ(gtl_list_get_voidptr(list, 1, &ptr), 0);  // conversion fails, get still 0
    EXPECT_EQ(ptr, &size);
    int n = 0;
    EXPECT_EQ(gtl_list_get_int(list, 0, &n), 0);
    EXPECT_EQ(n, 7);
    EXPECT_EQ(gtl_list_insert(list, 0, GTL_TYPE_FRACTION, &n), 1);  // no denominator
    EXPECT_EQ(gtl_list_append(list, 99, &n), 1);
    EXPECT_EQ(gtl_list_append_int(nullptr, 1), 1);
    gtl_obj *notList = gtl_int_createval(1);
    EXPECT_EQ(gtl_list_append_int(notList, 1), 1);
    gtl_obj_destroy(notList);
    EXPECT_EQ(gtl_list_destroy(list), 0);
}

TEST_F(GtlContainersTest, ListTypedWrappersStoreTheirTypes) {
    gtl_obj *list = gtl_list_create();
    gtl_obj *inner = gtl_string_createval("inner");
    int marker = 0;
    gtl_list_append_bool(list, 5);
    gtl_list_append_voidptr(list, &marker);
    gtl_list_append_object(list, inner);  // a deep copy
    gtl_list_insert_bool(list, 0, 0);
    gtl_list_insert_voidptr(list, 0, nullptr);
    gtl_list_insert_object(list, 0, inner);
    gtl_obj_destroy(inner);  // the list's copies live on

    const uint32_t want[] = {GTL_TYPE_STRING, GTL_TYPE_VOIDPTR, GTL_TYPE_BOOL,
                             GTL_TYPE_BOOL,   GTL_TYPE_VOIDPTR, GTL_TYPE_STRING};
    for (int i = 0; i < 6; ++i) {
        uint32_t type = 0;
        EXPECT_EQ(gtl_list_get_type(list, i, &type), 0);
        EXPECT_EQ(type, want[i]) << i;
    }
    int b = -1;
    void *p = nullptr;
    gtl_obj *o = nullptr;
    double d = 0;
    gtl_list_get_bool(list, 3, &b);
    EXPECT_EQ(b, 1);
    gtl_list_get_voidptr(list, 4, &p);
    EXPECT_EQ(p, &marker);
    gtl_list_get_object(list, 5, &o);
    EXPECT_STREQ(o->value.text, "inner");
    gtl_list_get_double(list, 3, &d);
    EXPECT_EQ(d, 5.0);  // a bool keeps the integer it was given
    gtl_list_destroy(list);
}

TEST_F(GtlContainersTest, ListShallowCopySharesDeepCopyDoesNot) {
    gtl_obj *src = gtl_list_create();
    gtl_list_append_string(src, "a");
    gtl_list_append_int(src, 2);

    gtl_obj *shallow = gtl_int_createval(0);
    ASSERT_EQ(gtl_list_copy(src, shallow), 0);
    EXPECT_EQ(shallow->type, uint32_t(GTL_TYPE_LIST));
    EXPECT_EQ(shallow->value.ptr, src->value.ptr);
    gtl_list_append_string(shallow, "via copy");
    EXPECT_EQ(listTexts(src), (Texts{"a", "2", "via copy"}));

    gtl_obj *deep = gtl_string_createval("replaced");  // its text is released by the copy
    ASSERT_EQ(gtl_list_deepcopy(src, deep), 0);
    EXPECT_NE(deep->value.ptr, src->value.ptr);
    gtl_obj *a = nullptr, *b = nullptr;
    gtl_list_get_object(src, 0, &a);
    gtl_list_get_object(deep, 0, &b);
    EXPECT_NE(a, b);
    EXPECT_NE(a->value.text, b->value.text);
    gtl_list_remove(src, 0);
    gtl_list_append_int(deep, 4);
    EXPECT_EQ(listTexts(src), (Texts{"2", "via copy"}));
    EXPECT_EQ(listTexts(deep), (Texts{"a", "2", "via copy", "4"}));

    gtl_obj *nested = gtl_list_create();  // a list inside a list is copied whole
    gtl_list_append_object(nested, deep);
    gtl_obj *copy = gtl_obj_create(GTL_TYPE_LIST, nested, nullptr);
    ASSERT_NE(copy, nullptr);
    gtl_obj *innerCopy = nullptr;
    gtl_list_get_object(copy, 0, &innerCopy);
    EXPECT_EQ(listTexts(innerCopy), (Texts{"a", "2", "via copy", "4"}));
    EXPECT_NE(innerCopy->value.ptr, deep->value.ptr);

    EXPECT_EQ(gtl_list_deepcopy(src, src), 1);
    gtl_free(shallow);  // shares src's chain: only the source releases it
    for (gtl_obj *o : {src, deep, nested, copy}) gtl_obj_destroy(o);
}

TEST_F(GtlContainersTest, ListClearReleasesItemsAndStaysUsable) {
    gtl_obj *list = gtl_list_create();
    for (int i = 0; i < 10; ++i) gtl_list_append_string(list, "item");
    EXPECT_EQ(gtl_list_clear(list), 0);
    uint32_t size = 99;
    gtl_list_size(list, &size);
    EXPECT_EQ(size, 0u);
    gtl_list_append_int(list, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(gtl_obj_dump(list), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(gtl_obj_destroy(list), 0);
}

TEST_F(GtlContainersTest, ContainersLeaveNothingBehindWhenMemoryRunsOut) {
    // Every allocation in turn fails; whatever was built so far must be released.
    for (int failFrom = 1; failFrom < 40; ++failFrom) {
        TrackedAllocator failing(failFrom);
        gtl_obj *list = gtl_list_create();
        gtl_obj *dict = gtl_dict_create();
        for (int i = 0; i < 3; ++i) {
            gtl_list_append_string(list, "value");
            gtl_dict_set_string(dict, std::to_string(i).c_str(), "value");
            gtl_dict_set_string(dict, "0", "replaced");
        }
        gtl_obj *copy = gtl_obj_create(GTL_TYPE_OBJECT, dict, nullptr);
        gtl_obj *listCopy = gtl_obj_create(GTL_TYPE_LIST, list, nullptr);
        for (gtl_obj *o : {list, dict, copy, listCopy}) gtl_obj_destroy(o);
        EXPECT_EQ(trackedBlocks(), 0) << "failing from allocation " << failFrom;
        purgeTrackedBlocks();
    }
}

TEST_F(GtlContainersTest, StackOrderPushAppendAndPop) {
    gtl_obj *stack = gtl_stack_create();
    for (int v : {1, 2, 3}) gtl_stack_push_int(stack, v);
    for (int want : {3, 2, 1}) {
        int v = 0;
        EXPECT_EQ(gtl_stack_pop(stack, GTL_TYPE_INT, &v, nullptr), 0);
        EXPECT_EQ(v, want);
    }
    int v = -1;
    EXPECT_EQ(gtl_stack_pop(stack, GTL_TYPE_INT, &v, nullptr), 1);
    EXPECT_EQ(v, -1);

    gtl_stack_append_int(stack, 1);
    gtl_stack_append_int(stack, 2);
    gtl_stack_push_int(stack, 0);
    gtl_stack_insert_string(stack, 2, "mid");
    gtl_stack_insert_double(stack, 50, 9.5);
    EXPECT_EQ(stackTexts(stack), (Texts{"0", "1", "mid", "2", "9.500000"}));
    EXPECT_EQ(gtl_stack_get_int(stack, 5, &v), 1);

    testing::internal::CaptureStdout();
    EXPECT_EQ(gtl_obj_dump(stack), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0: 0\n1: 1\n2: mid\n3: 2\n4: 9.500000\n");

    uint32_t size = 77;
    EXPECT_EQ(gtl_stack_get_size(stack, 2, &size), 0);
    EXPECT_EQ(size, 3u);
    size = 77;
    EXPECT_EQ(gtl_stack_get_size(stack, 0, &size), 0);  // not a string: nothing written
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(gtl_stack_get_size(stack, 9, &size), 1);
    EXPECT_EQ(gtl_stack_size(stack, &size), 0);
    EXPECT_EQ(size, 5u);
    gtl_stack_clear(stack);
    gtl_stack_destroy(stack);
}

TEST_F(GtlContainersTest, StackPopHandsOverObjectsAndTexts) {
    gtl_obj *stack = gtl_stack_create();
    gtl_stack_push_string(stack, "text");
    gtl_stack_push_string(stack, "object");
    gtl_obj *taken = nullptr;
    EXPECT_EQ(gtl_stack_pop(stack, GTL_TYPE_OBJECT, &taken, nullptr), 0);
    ASSERT_NE(taken, nullptr);
    EXPECT_STREQ(taken->value.text, "object");
    gtl_obj_destroy(taken);
    char *text = nullptr;
    EXPECT_EQ(gtl_stack_pop(stack, GTL_TYPE_STRINGPTR, &text, nullptr), 0);
    EXPECT_STREQ(text, "text");
    gtl_free(text);

    gtl_stack_push_voidptr(stack, &text);  // popped as text it fails, and is still released
    char buf[8] = "keep";
    EXPECT_EQ(gtl_stack_pop(stack, GTL_TYPE_STRING, buf, nullptr), 0);
    EXPECT_STREQ(buf, "keep");
    gtl_stack_destroy(stack);
}

TEST_F(GtlContainersTest, StackRemoveAndDeinitReleaseNodesOnly) {
    gtl_obj *stack = gtl_stack_create();
    gtl_stack_append_string(stack, "a");
    gtl_stack_append_bool(stack, 1);
    gtl_obj *first = nullptr;
    gtl_stack_get_object(stack, 0, &first);
    EXPECT_EQ(gtl_stack_remove(stack, 0), 0);
    EXPECT_EQ(gtl_stack_remove(stack, 3), 1);
    EXPECT_STREQ(first->value.text, "a");  // still alive: the caller took it
    gtl_obj_destroy(first);

    gtl_obj *second = nullptr;
    gtl_stack_get_object(stack, 0, &second);
    EXPECT_EQ(gtl_stack_destroy(stack), 0);
    int b = 0;
    EXPECT_EQ(gtl_bool_get(second, &b), 0);
    EXPECT_EQ(b, 1);
    gtl_obj_destroy(second);
}

TEST_F(GtlContainersTest, StackCopies) {
    gtl_obj *src = gtl_stack_create();
    gtl_stack_append_string(src, "a");
    gtl_stack_append_int(src, 1);
    gtl_obj *deep = gtl_obj_create(GTL_TYPE_OBJECT, src, nullptr);
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(stackTexts(deep), (Texts{"a", "1"}));
    gtl_obj *a = nullptr, *b = nullptr;
    gtl_stack_get_object(src, 0, &a);
    gtl_stack_get_object(deep, 0, &b);
    EXPECT_NE(a, b);

    gtl_obj *shallow = gtl_stack_create();
    ASSERT_EQ(gtl_stack_copy(src, shallow), 0);
    gtl_stack_push_int(shallow, 0);
    EXPECT_EQ(stackTexts(src), (Texts{"0", "a", "1"}));
    EXPECT_EQ(stackTexts(deep), (Texts{"a", "1"}));
    gtl_free(shallow);  // shares src's chain
    for (gtl_obj *s : {src, deep}) {
        gtl_stack_clear(s);
        gtl_stack_destroy(s);
    }
}

TEST_F(GtlContainersTest, DictReplacesInPlaceAndKeepsInsertionOrder) {
    gtl_obj *dict = gtl_dict_create();
    EXPECT_EQ(gtl_dict_set_int(dict, "a", 1), 0);
    EXPECT_EQ(gtl_dict_set_int(dict, "a", 2), 0);
    uint32_t size = 0;
    gtl_dict_size(dict, &size);
    EXPECT_EQ(size, 1u);
    int v = 0;
    EXPECT_EQ(gtl_dict_get_int(dict, "a", &v), 0);
    EXPECT_EQ(v, 2);

    gtl_dict_set_string(dict, "b", "bee");
    gtl_dict_set_double(dict, "c", 0.5);
    gtl_dict_set_bool(dict, "b", 0);  // replaced in place, type and all
    testing::internal::CaptureStdout();
    EXPECT_EQ(gtl_obj_dump(dict), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "key:gtl_string:a\nvalue:gtl_int:2\n"
              "key:gtl_string:b\nvalue:gtl_bool:false\n"
              "key:gtl_string:c\nvalue:gtl_double:0.500000\n");

    v = -5;
    EXPECT_EQ(gtl_dict_get_int(dict, "missing", &v), 1);
    EXPECT_EQ(v, -5);
    EXPECT_EQ(gtl_dict_get_int(dict, "A", &v), 1);  // exact, case included
    char buf[16];
    EXPECT_EQ(gtl_dict_get_string(dict, "a", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "2");
    EXPECT_EQ(gtl_dict_get_string(dict, "b", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "false");

    uint32_t type = 0;
    EXPECT_EQ(gtl_dict_get_valtype(dict, 1, "c", &type), 0);
    EXPECT_EQ(type, uint32_t(GTL_TYPE_DOUBLE));
    EXPECT_EQ(gtl_dict_get_valtype(dict, 1, "z", &type), 1);
    EXPECT_EQ(gtl_dict_remove(dict, 1, "b"), 0);
    EXPECT_EQ(gtl_dict_remove(dict, 1, "b"), 1);
    double d = 0;
    EXPECT_EQ(gtl_dict_get_double(dict, "c", &d), 0);
    EXPECT_EQ(d, 0.5);
    gtl_dict_size(dict, &size);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(gtl_dict_destroy(dict), 0);
}

TEST_F(GtlContainersTest, DictExistsComparesKeyObjects) {
    gtl_obj *dict = gtl_dict_create();
    gtl_dict_set_int(dict, "a", 1);
    gtl_dict_set_int(dict, "12", 1);
    struct Row {
        gtl_obj *key;
        int want;
    } rows[] = {
        {gtl_string_createval("a"), 1},
        {gtl_string_createval("A"), 0},
        {gtl_string_createval("b"), 0},
        {gtl_int_createval(12), 1},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(gtl_dict_exists(dict, r.key), r.want);
        gtl_obj_destroy(r.key);
    }
    EXPECT_EQ(gtl_dict_exists(dict, nullptr), 0);
    EXPECT_EQ(gtl_dict_exists(nullptr, dict), 0);
    gtl_dict_destroy(dict);
}

TEST_F(GtlContainersTest, DictRefusesBadArguments) {
    gtl_obj *dict = gtl_dict_create();
    gtl_obj *list = gtl_list_create();
    int v = 1;
    EXPECT_EQ(gtl_dict_set(dict, GTL_TYPE_STRING, nullptr, GTL_TYPE_INT, &v), 1);
    EXPECT_EQ(gtl_dict_set(dict, GTL_TYPE_STRING, "k", GTL_TYPE_INT, nullptr), 1);
    EXPECT_EQ(gtl_dict_set(list, GTL_TYPE_STRING, "k", GTL_TYPE_INT, &v), 1);
    EXPECT_EQ(gtl_dict_set(dict, GTL_TYPE_STRING, "k", 99, &v), 1);  // value cannot be made
    EXPECT_EQ(gtl_dict_set_object(dict, "k", nullptr), 1);
    EXPECT_EQ(gtl_dict_clear(list), 1);
    EXPECT_EQ(gtl_dict_copy(list, dict), 1);
    uint32_t size = 9;
    gtl_dict_size(dict, &size);
    EXPECT_EQ(size, 0u);

    gtl_dict_set_int(dict, "k", 5);  // a failed replacement keeps the old value
    EXPECT_EQ(gtl_dict_set(dict, GTL_TYPE_STRING, "k", GTL_TYPE_FRACTION, &v), 1);
    EXPECT_EQ(gtl_dict_get_int(dict, "k", &v), 0);
    EXPECT_EQ(v, 5);
    gtl_obj_destroy(list);
    gtl_dict_destroy(dict);
}

TEST_F(GtlContainersTest, DictShallowCopyDoesNotOwnDeepCopyIsIndependent) {
    gtl_obj *src = gtl_dict_create();
    gtl_dict_set_string(src, "name", "cam");
    gtl_obj *inner = gtl_list_create();
    gtl_list_append_int(inner, 3);
    gtl_dict_set_object(src, "list", inner);  // a deep copy of the list
    gtl_obj_destroy(inner);

    gtl_obj *shallow = gtl_dict_create();
    ASSERT_EQ(gtl_dict_copy(src, shallow), 0);
    EXPECT_EQ(shallow->owner, 0u);
    EXPECT_EQ(shallow->value.ptr, src->value.ptr);
    EXPECT_EQ(gtl_dict_deinit(shallow), 0);
    EXPECT_EQ(gtl_dict_destroy(shallow), 0);
    char buf[8];
    EXPECT_EQ(gtl_dict_get_string(src, "name", buf, sizeof buf), 0);  // intact
    EXPECT_STREQ(buf, "cam");

    gtl_obj *deep = gtl_obj_create(GTL_TYPE_DICT, src, nullptr);
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->owner, 1u);
    gtl_obj *srcList = nullptr, *deepList = nullptr;
    EXPECT_EQ(gtl_dict_get_list(src, "list", &srcList), 0);
    EXPECT_EQ(gtl_dict_get_list(deep, "list", &deepList), 0);
    EXPECT_NE(srcList, deepList);
    gtl_list_append_int(srcList, 4);
    uint32_t n = 0;
    gtl_list_size(deepList, &n);
    EXPECT_EQ(n, 1u);
    gtl_dict_set_string(src, "name", "changed");
    EXPECT_EQ(gtl_dict_get_string(deep, "name", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "cam");

    gtl_obj *nested = gtl_dict_create();  // a dictionary stored in a dictionary
    EXPECT_EQ(gtl_dict_set_object(nested, "inner", deep), 0);
    gtl_obj *innerDict = nullptr;
    EXPECT_EQ(gtl_dict_get_dict(nested, "inner", &innerDict), 0);
    EXPECT_EQ(gtl_dict_get_string(innerDict, "name", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "cam");
    EXPECT_EQ(gtl_dict_get_stack(nested, "inner", &innerDict), 0);  // found; conversion fails

    for (gtl_obj *d : {src, deep, nested}) gtl_dict_destroy(d);
}

TEST_F(GtlContainersTest, DictKeepsPointersAndObjectsItIsGiven) {
    gtl_obj *dict = gtl_dict_create();
    int target = 0;
    gtl_dict_set_voidptr(dict, "ptr", &target);
    gtl_obj *stack = gtl_stack_create();
    gtl_dict_set_object(dict, "stack", stack);
    gtl_stack_destroy(stack);
    void *p = nullptr;
    EXPECT_EQ(gtl_dict_get_voidptr(dict, "ptr", &p), 0);
    EXPECT_EQ(p, &target);
    gtl_obj *o = nullptr;
    EXPECT_EQ(gtl_dict_get_object(dict, "ptr", &o), 0);
    EXPECT_EQ(o->type, uint32_t(GTL_TYPE_VOIDPTR));
    EXPECT_EQ(gtl_dict_get_stack(dict, "stack", &o), 0);
    EXPECT_EQ(o->type, uint32_t(GTL_TYPE_STACK));
    int flag = -1;
    EXPECT_EQ(gtl_dict_get_bool(dict, "ptr", &flag), 0);  // found, though not readable as bool
    EXPECT_EQ(flag, -1);
    gtl_dict_destroy(dict);
}

}  // namespace
