#include <gtest/gtest.h>

#include "test_support.h"
#include "text/memory.h"

TEST(Memory, InjectedFailureHitsExactlyTheKthAllocation) {
    test::AllocFailure fail(2);
    void* first = MemAlloc(8);
    void* second = MemAlloc(8);
    void* third = MemAlloc(8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    EXPECT_TRUE(alloc_fault::Injected());
    MemFree(first, 8);
    MemFree(third, 8);
}

TEST(Memory, StickyFailureKeepsFailing) {
    test::AllocFailure fail(1, true);
    EXPECT_EQ(MemAlloc(4), nullptr);
    EXPECT_EQ(MemAlloc(4), nullptr);
    EXPECT_EQ(alloc_fault::Count(), 2);
}
