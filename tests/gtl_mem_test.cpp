// The replaceable allocator and its debug accounting.
#include "gtl/gtl_mem.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "support/gtl_tracked.h"

namespace {

// An interface that counts frees so a test can tell whether a block was released.
int gFrees = 0;
void countingFree(void *block)
{
    ++gFrees;
    free(block);
}
void *failingMalloc(size_t) { return nullptr; }
gtl_mem_ifc gCounting = {malloc, countingFree, calloc, realloc};
gtl_mem_ifc gFailing = {failingMalloc, free, calloc, realloc};

class GtlMemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        purgeTrackedBlocks();
        gFrees = 0;
        gtl_mem_override(&gCounting);
    }
    void TearDown() override
    {
        gtl_mem_ifc_active = &gtl_mem_ifc_stdlib;
        purgeTrackedBlocks();
    }
};

TEST_F(GtlMemTest, CountersAndDumpFollowTrackedBlocksAndHighWaterKeepsThePeak)
{
    void *a = gtl_malloc_debug(100, "first.c", 10);
    void *b = gtl_malloc_debug(50, "second.c", 20);
    void *c = gtl_malloc_debug(30, "third.c", 30);
    gtl_free_debug(b);  // unlinking from the middle keeps the rest in order
    EXPECT_EQ(gFrees, 1);
    char want[256];
    snprintf(want, sizeof want, "memory usage: 130 (180 highwater)\n  %4d: %8lu %12p %s:%d\n  %4d: %8lu %12p %s:%d\n",
             0, 100ul, a, "first.c", 10, 1, 30ul, c, "third.c", 30);
    testing::internal::CaptureStdout();
    EXPECT_EQ(gtl_mem_usage_dump(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), want);
    EXPECT_EQ(gtl_mem_debug_list->next->prev, gtl_mem_debug_list);
    gtl_mem_usage_clear_highwater();
    void *d = gtl_malloc_debug(5, "d.c", 4);
    EXPECT_EQ(gtl_mem_usage_highwater(), 135u);
    for (void *p : {a, c, d})
        gtl_free_debug(p);
    EXPECT_EQ(gtl_mem_usage_current(), 0u);
    EXPECT_EQ(gtl_mem_debug_list, nullptr);
}

TEST_F(GtlMemTest, FailedUntrackedAndMissingAllocatorsLeaveCountersAlone)
{
    void *block = gtl_realloc_debug(gtl_calloc_debug(4, 4, "c.c", 1), 64, "c.c", 2);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(gtl_mem_debug_list, nullptr);  // calloc and realloc variants do not track
    gtl_free(block);
    EXPECT_EQ(gtl_mem_override(nullptr), 1);
    EXPECT_EQ(gtl_mem_ifc_active, &gCounting);

    gtl_mem_override(&gFailing);
    EXPECT_EQ(gtl_malloc_debug(64, "f.c", 1), nullptr);
    gtl_mem_ifc_active = nullptr;
    EXPECT_EQ(gtl_malloc(8), nullptr);
    EXPECT_EQ(gtl_malloc_debug(8, "n.c", 1), nullptr);
    gtl_free(&gFrees);  // must not reach any free()
    EXPECT_EQ(gtl_mem_usage_current(), 0u);
    EXPECT_EQ(gtl_mem_debug_list, nullptr);
}

TEST_F(GtlMemTest, DebugInterfaceTracksEveryEntryPoint)
{
    gtl_mem_override(&gtl_mem_ifc_debug);
    void *a = gtl_malloc(10);
    void *b = gtl_calloc(3, 10);
    b = gtl_realloc(b, 100);  // the record follows the block and its new size
    EXPECT_EQ(gtl_mem_usage_current(), 110u);
    EXPECT_EQ(trackedBlocks(), 2);
    EXPECT_EQ(gtl_mem_debug_list->next->block, b);
    gtl_free(malloc(4));  // untracked blocks pass straight through
    EXPECT_EQ(trackedBlocks(), 2);
    gtl_free(a);
    EXPECT_EQ(gtl_realloc(b, 0), nullptr);  // shrinking to nothing frees and untracks
    EXPECT_EQ(gtl_mem_usage_current(), 0u);
    EXPECT_EQ(gtl_mem_debug_list, nullptr);
}

}  // namespace
