// Node chain, list, stack and dictionary under the tracking allocator: a block left behind fails.
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

// Walks the chain both ways and returns the items' tags and keys, failing on a broken back link.
std::string tags(gtl_linkedlist *ll)
{
    std::string fwd, back;
    for (gtl_linkedlist_node *n = ll->head; n; n = n->next)
        fwd += *static_cast<char *>(n->item) + std::to_string(n->key);
    for (gtl_linkedlist_node *n = ll->tail; n; n = n->prev)
        back.insert(0, *static_cast<char *>(n->item) + std::to_string(n->key));
    EXPECT_EQ(fwd, back);
    return fwd;
}

using Texts = std::vector<std::string>;
Texts texts(gtl_obj *container, int (*get)(gtl_obj *, int, char *, size_t) = gtl_list_get_string)
{
    Texts out;
    char buf[32];
    for (int i = 0; get(container, i, buf, sizeof buf) == 0; ++i)
        out.push_back(buf);
    return out;
}
Texts stackTexts(gtl_obj *stack) { return texts(stack, gtl_stack_get_string); }

std::string dump(gtl_obj *o)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(gtl_obj_dump(o), 0);
    return testing::internal::GetCapturedStdout();
}

TEST_F(GtlContainersTest, ChainKeepsKeyOrderAndBothEnds)
{
    gtl_linkedlist *ll = gtl_linkedlist_create();
    char a = 'a', b = 'b', c = 'c', d = 'd', e = 'e';
    for (auto [key, item] : {std::pair{1, &a}, {3, &b}, {2, &c}, {3, &d}})
        ASSERT_EQ(gtl_linkedlist_add(ll, key, item), 0);
    EXPECT_EQ(tags(ll), "b3d3c2a1");                        // descending keys, equal keys in arrival order
    EXPECT_EQ(gtl_linkedlist_insert(ll, ll->head, &e), 0);  // before the head
    EXPECT_EQ(gtl_linkedlist_insert(ll, nullptr, &e), 0);   // null: at the tail
    EXPECT_EQ(gtl_linkedlist_append(ll, ll->head, &a), 0);
    EXPECT_EQ(gtl_linkedlist_append(ll, nullptr, &e), 1);  // after-node required
    EXPECT_EQ(tags(ll), "e0a0b3d3c2a1e0");
    EXPECT_EQ(gtl_linkedlist_remove(ll, ll->head), 0);
    EXPECT_EQ(gtl_linkedlist_remove(ll, ll->tail), 0);
    EXPECT_EQ(gtl_linkedlist_remove(ll, ll->head->next), 0);
    EXPECT_EQ(tags(ll), "a0d3c2a1");
    uint32_t size = 0;
    EXPECT_EQ(gtl_linkedlist_size(ll, &size), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(gtl_linkedlist_clear(ll), 0);
    EXPECT_EQ(ll->tail, nullptr);
    EXPECT_EQ(gtl_linkedlist_append(ll, nullptr, &a), 0);  // empty again: no anchor
    EXPECT_EQ(tags(ll), "a0");
    EXPECT_EQ(gtl_linkedlist_destroy(ll), 0);
}

TEST_F(GtlContainersTest, ListIndexingInsertRemoveAndTypes)
{
    gtl_obj *list = gtl_list_create();
    gtl_obj *inner = gtl_string_createval("inner");
    int marker = 0;
    for (const char *s : {"a", "b", "c"})
        ASSERT_EQ(gtl_list_append_string(list, s), 0);
    EXPECT_EQ(gtl_list_insert_string(list, 1, "x"), 0);   // between a and b
    EXPECT_EQ(gtl_list_insert_int(list, -3, 7), 0);       // 0 or below: the head
    EXPECT_EQ(gtl_list_insert_double(list, 99, 2.5), 0);  // past the end: appended
    EXPECT_EQ(texts(list), (Texts{"7", "a", "x", "b", "c", "2.500000"}));
    EXPECT_EQ(gtl_list_remove(list, 2), 0);  // destroys "x"
    EXPECT_EQ(gtl_list_remove(list, 5), 1);
    gtl_list_append_bool(list, 5);
    gtl_list_append_voidptr(list, &marker);
    gtl_list_insert_object(list, 0, inner);  // a deep copy
    gtl_obj_destroy(inner);

    const uint32_t want[] = {GTL_TYPE_STRING, GTL_TYPE_INT,    GTL_TYPE_STRING, GTL_TYPE_STRING,
                             GTL_TYPE_STRING, GTL_TYPE_DOUBLE, GTL_TYPE_BOOL,   GTL_TYPE_VOIDPTR};
    uint32_t type = 0;
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(gtl_list_get_type(list, i, &type), 0);
        EXPECT_EQ(type, want[i]) << i;
    }
    EXPECT_EQ(gtl_list_get_type(list, 8, &type), 1);
    void *p = nullptr;
    double d = 0;
    gtl_list_get_voidptr(list, 7, &p);
    EXPECT_EQ(p, &marker);
    EXPECT_EQ(gtl_list_get_voidptr(list, 1, &p), 0);  // conversion fails, get still 0
    EXPECT_EQ(p, &marker);
    gtl_list_get_double(list, 6, &d);
    EXPECT_EQ(d, 5.0);  // a bool keeps the integer it was given
    EXPECT_EQ(texts(list)[0], "inner");
    EXPECT_EQ(gtl_list_insert(list, 0, GTL_TYPE_FRACTION, &marker), 1);  // no denominator
    gtl_obj *notList = gtl_int_createval(1);
    EXPECT_EQ(gtl_list_append_int(notList, 1), 1);
    gtl_obj_destroy(notList);

    EXPECT_EQ(gtl_list_clear(list), 0);
    gtl_list_append_int(list, 1);
    EXPECT_EQ(texts(list), (Texts{"1"}));
    EXPECT_EQ(gtl_list_destroy(list), 0);
}

TEST_F(GtlContainersTest, ListShallowCopySharesDeepCopyDoesNot)
{
    gtl_obj *src = gtl_list_create();
    gtl_list_append_string(src, "a");
    gtl_obj *shallow = gtl_int_createval(0);
    ASSERT_EQ(gtl_list_copy(src, shallow), 0);
    gtl_list_append_string(shallow, "via copy");
    EXPECT_EQ(texts(src), (Texts{"a", "via copy"}));

    gtl_obj *deep = gtl_string_createval("replaced");  // its text is released by the copy
    ASSERT_EQ(gtl_list_deepcopy(src, deep), 0);
    gtl_list_remove(src, 0);  // destroys src's "a": a shared text would be freed twice
    gtl_list_append_int(deep, 4);
    EXPECT_EQ(texts(src), (Texts{"via copy"}));
    EXPECT_EQ(texts(deep), (Texts{"a", "via copy", "4"}));

    gtl_obj *nested = gtl_list_create();  // a list inside a list is copied whole
    gtl_list_append_object(nested, deep);
    gtl_obj *copy = gtl_obj_create(GTL_TYPE_LIST, nested, nullptr);
    ASSERT_NE(copy, nullptr);
    gtl_obj *innerCopy = nullptr;
    gtl_list_get_object(copy, 0, &innerCopy);
    EXPECT_EQ(texts(innerCopy), (Texts{"a", "via copy", "4"}));
    EXPECT_EQ(gtl_list_deepcopy(src, src), 1);
    gtl_free(shallow);  // shares src's chain: only the source releases it
    for (gtl_obj *o : {src, deep, nested, copy})
        gtl_obj_destroy(o);
}

TEST_F(GtlContainersTest, ContainersLeaveNothingBehindWhenMemoryRunsOut)
{
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
        for (gtl_obj *o : {list, dict, copy, listCopy})
            gtl_obj_destroy(o);
        EXPECT_EQ(trackedBlocks(), 0) << "failing from allocation " << failFrom;
        purgeTrackedBlocks();
    }
}

TEST_F(GtlContainersTest, StackOrderPushAppendAndPop)
{
    gtl_obj *stack = gtl_stack_create();
    for (int v : {1, 2, 3})
        gtl_stack_push_int(stack, v);
    int v = -1;
    for (int want : {3, 2, 1}) {
        EXPECT_EQ(gtl_stack_pop(stack, GTL_TYPE_INT, &v, nullptr), 0);
        EXPECT_EQ(v, want);
    }
    EXPECT_EQ(gtl_stack_pop(stack, GTL_TYPE_INT, &v, nullptr), 1);
    gtl_stack_append_int(stack, 1);
    gtl_stack_append_int(stack, 2);
    gtl_stack_push_int(stack, 0);
    gtl_stack_insert_string(stack, 2, "mid");
    gtl_stack_insert_double(stack, 50, 9.5);
    EXPECT_EQ(dump(stack), "0: 0\n1: 1\n2: mid\n3: 2\n4: 9.500000\n");
    uint32_t size = 77;
    EXPECT_EQ(gtl_stack_get_size(stack, 2, &size), 0);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(gtl_stack_get_size(stack, 0, &size), 0);  // not a string: nothing written
    EXPECT_EQ(size, 3u);

    gtl_obj *deep = gtl_obj_create(GTL_TYPE_OBJECT, stack, nullptr);
    ASSERT_NE(deep, nullptr);
    gtl_obj *shallow = gtl_stack_create();
    ASSERT_EQ(gtl_stack_copy(stack, shallow), 0);
    gtl_stack_pop(shallow, GTL_TYPE_INT, &v, nullptr);
    EXPECT_EQ(stackTexts(stack), (Texts{"1", "mid", "2", "9.500000"}));
    EXPECT_EQ(stackTexts(deep), (Texts{"0", "1", "mid", "2", "9.500000"}));
    gtl_free(shallow);  // shares the source's chain
    for (gtl_obj *s : {stack, deep}) {
        gtl_stack_clear(s);
        gtl_stack_destroy(s);
    }
}

TEST_F(GtlContainersTest, StackPopAndRemoveHandOverTheirObjects)
{
    gtl_obj *stack = gtl_stack_create();
    gtl_stack_push_string(stack, "text");
    gtl_stack_push_string(stack, "object");
    gtl_obj *taken = nullptr;
    EXPECT_EQ(gtl_stack_pop(stack, GTL_TYPE_OBJECT, &taken, nullptr), 0);
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

    gtl_stack_append_string(stack, "a");
    gtl_stack_append_bool(stack, 1);
    gtl_obj *first = nullptr, *second = nullptr;
    gtl_stack_get_object(stack, 0, &first);
    gtl_stack_get_object(stack, 1, &second);
    EXPECT_EQ(gtl_stack_remove(stack, 0), 0);
    EXPECT_EQ(gtl_stack_remove(stack, 3), 1);
    EXPECT_EQ(gtl_stack_destroy(stack), 0);  // nodes only: the items stay with the caller
    EXPECT_STREQ(first->value.text, "a");
    EXPECT_EQ(second->value.i, 1);
    gtl_obj_destroy(first);
    gtl_obj_destroy(second);
}

TEST_F(GtlContainersTest, DictReplacesInPlaceAndKeepsInsertionOrder)
{
    gtl_obj *dict = gtl_dict_create();
    gtl_dict_set_int(dict, "a", 1);
    gtl_dict_set_string(dict, "b", "bee");
    gtl_dict_set_double(dict, "c", 0.5);
    gtl_dict_set_int(dict, "a", 2);
    gtl_dict_set_bool(dict, "b", 0);  // replaced in place, type and all
    EXPECT_EQ(dump(dict), "key:gtl_string:a\nvalue:gtl_int:2\n"
                          "key:gtl_string:b\nvalue:gtl_bool:false\n"
                          "key:gtl_string:c\nvalue:gtl_double:0.500000\n");
    int v = -5;
    EXPECT_EQ(gtl_dict_get_int(dict, "A", &v), 1);  // exact, case included
    EXPECT_EQ(v, -5);
    char buf[16];
    EXPECT_EQ(gtl_dict_get_string(dict, "b", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "false");
    EXPECT_EQ(gtl_dict_remove(dict, 1, "b"), 0);
    EXPECT_EQ(gtl_dict_remove(dict, 1, "b"), 1);
    uint32_t size = 0;
    gtl_dict_size(dict, &size);
    EXPECT_EQ(size, 2u);

    gtl_dict_set_int(dict, "12", 1);  // keys match by comparing objects
    for (auto [key, want] :
         {std::pair{gtl_string_createval("a"), 1}, {gtl_string_createval("A"), 0}, {gtl_int_createval(12), 1}}) {
        EXPECT_EQ(gtl_dict_exists(dict, key), want);
        gtl_obj_destroy(key);
    }
    const struct {
        const char *key;
        uint32_t type;  // a fraction without denominator, 99 unknown: no value can be made
        int rc;
        uint32_t size;
    } sets[] = {
        {nullptr, GTL_TYPE_INT, 1, 3},
        {"k", 99, 0, 3},                 // a new key: nothing added, yet no failure
        {"a", GTL_TYPE_FRACTION, 1, 3},  // replacing: the old value is gone all the same
    };
    for (const auto &c : sets) {
        EXPECT_EQ(gtl_dict_set(dict, GTL_TYPE_STRING, c.key, c.type, &v), c.rc) << c.type;
        gtl_dict_size(dict, &size);
        EXPECT_EQ(size, c.size) << c.type;
    }
    EXPECT_EQ(gtl_dict_get_valtype(dict, 1, "a", &size), 1);
    EXPECT_EQ(dump(dict).rfind("NULL pointer\nkey:gtl_string:c\n", 0), 0u);
    EXPECT_EQ(gtl_dict_destroy(dict), 0);
}

TEST_F(GtlContainersTest, DictShallowCopyDoesNotOwnDeepCopyIsIndependent)
{
    gtl_obj *src = gtl_dict_create();
    gtl_dict_set_string(src, "name", "cam");
    gtl_obj *inner = gtl_list_create();
    gtl_list_append_int(inner, 3);
    gtl_dict_set_object(src, "list", inner);  // a deep copy of the list
    gtl_obj_destroy(inner);

    gtl_obj *shallow = gtl_dict_create();
    ASSERT_EQ(gtl_dict_copy(src, shallow), 0);
    EXPECT_EQ(gtl_dict_destroy(shallow), 0);  // not the owner: src stays intact
    char buf[8];
    EXPECT_EQ(gtl_dict_get_string(src, "name", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "cam");

    gtl_obj *deep = gtl_obj_create(GTL_TYPE_DICT, src, nullptr);
    ASSERT_NE(deep, nullptr);
    gtl_obj *srcList = nullptr, *deepList = nullptr;
    EXPECT_EQ(gtl_dict_get_list(src, "list", &srcList), 0);
    EXPECT_EQ(gtl_dict_get_list(deep, "list", &deepList), 0);
    gtl_list_append_int(srcList, 4);
    EXPECT_EQ(texts(deepList), (Texts{"3"}));
    gtl_dict_set_string(src, "name", "changed");
    EXPECT_EQ(gtl_dict_get_string(deep, "name", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "cam");

    gtl_obj *nested = gtl_dict_create();  // a dictionary stored in a dictionary
    EXPECT_EQ(gtl_dict_set(nested, GTL_TYPE_STRING, "inner", GTL_TYPE_DICT, deep), 0);
    gtl_obj *innerDict = nullptr;
    EXPECT_EQ(gtl_dict_get_dict(nested, "inner", &innerDict), 0);
    EXPECT_EQ(gtl_dict_get_string(innerDict, "name", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "cam");

    gtl_obj *stack = gtl_stack_create();  // any container may take a deep copy: it becomes a dictionary
    ASSERT_EQ(gtl_dict_deepcopy(src, stack), 0);
    EXPECT_EQ(gtl_dict_get_string(stack, "name", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "changed");
    for (gtl_obj *d : {src, deep, nested, stack})
        gtl_dict_destroy(d);
}

}  // namespace
