#include "support/gtl_tracked.h"

#include <stdlib.h>

#include "gtl/gtl_mem.h"

namespace {

gtl_mem_ifc *gPrevious = nullptr;
int gAttempts = 0;
int gFailFrom = 0;

bool nextFails()
{
    ++gAttempts;
    return gFailFrom > 0 && gAttempts >= gFailFrom;
}

void *trackedMalloc(size_t size) { return nextFails() ? nullptr : gtl_mem_ifc_debug.malloc(size); }
void trackedFree(void *block) { gtl_mem_ifc_debug.free(block); }
void *trackedCalloc(size_t count, size_t size) { return nextFails() ? nullptr : gtl_mem_ifc_debug.calloc(count, size); }
void *trackedRealloc(void *block, size_t size)
{
    return nextFails() ? nullptr : gtl_mem_ifc_debug.realloc(block, size);
}

gtl_mem_ifc gTracked = {trackedMalloc, trackedFree, trackedCalloc, trackedRealloc};

}  // namespace

TrackedAllocator::TrackedAllocator(int failFrom)
{
    gAttempts = 0;
    gFailFrom = failFrom;
    gPrevious = gtl_mem_ifc_active;
    gtl_mem_override(&gTracked);
}

TrackedAllocator::~TrackedAllocator()
{
    gtl_mem_ifc_active = gPrevious;
    gFailFrom = 0;
}

int TrackedAllocator::allocations() const { return gAttempts; }

int trackedBlocks()
{
    int count = 0;
    for (gtl_mem_debug_rec *rec = gtl_mem_debug_list; rec; rec = rec->next)
        ++count;
    return count;
}

void purgeTrackedBlocks()
{
    while (gtl_mem_debug_rec *rec = gtl_mem_debug_list) {
        gtl_mem_debug_list = rec->next;
        free(rec->block);
        free(rec);
    }
    gtl_mem_usage_clear_current();
    gtl_mem_usage_clear_highwater();
}

void GtlTrackedTest::SetUp()
{
    purgeTrackedBlocks();
    mAllocator = new TrackedAllocator();
}

void GtlTrackedTest::TearDown()
{
    delete mAllocator;
    mAllocator = nullptr;
    EXPECT_EQ(trackedBlocks(), 0) << "gtl blocks left tracked";
    EXPECT_EQ(gtl_mem_usage_current(), 0u);
    purgeTrackedBlocks();
}
