// Leak accounting for gtl tests: while a TrackedAllocator lives, every gtl allocation goes
// through the tracking interface (gtl_mem_ifc_debug), optionally failing from a chosen one on.
// GtlTrackedTest wraps each test in one and fails the test if a block is left tracked.
// Single-threaded: the allocator is a process-wide global.
#ifndef ZT_TEST_GTL_TRACKED_H
#define ZT_TEST_GTL_TRACKED_H

#include <gtest/gtest.h>

#include <string>

class TrackedAllocator {
public:
    // Allocation number `failFrom` (counted from 1) and all later ones return null; 0 never.
    explicit TrackedAllocator(int failFrom = 0);
    ~TrackedAllocator();
    TrackedAllocator(const TrackedAllocator &) = delete;
    TrackedAllocator &operator=(const TrackedAllocator &) = delete;

    int allocations() const;  // attempts so far, failed ones included
};

// Number of blocks in gtl_mem_debug_list.
int trackedBlocks();
// Frees every tracked block and record and zeroes the counters.
void purgeTrackedBlocks();

class GtlTrackedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    TrackedAllocator *mAllocator = nullptr;
};

#endif
