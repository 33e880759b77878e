#include <gtest/gtest.h>

#include "test_support.h"
#include "text/memory.h"

TEST(Memory, InjectedFailuresHitTheKthAllocationOrAllFromIt) {
    for (bool sticky : {false, true}) {
        test::AllocFailure fail(2, sticky);
        void* first = MemAlloc(8);
        void* second = MemAlloc(8);
        void* third = MemAlloc(8);
        EXPECT_NE(first, nullptr);
        EXPECT_EQ(second, nullptr);
        EXPECT_EQ(third == nullptr, sticky);
        EXPECT_TRUE(alloc_fault::Injected());
        EXPECT_EQ(alloc_fault::Count(), 3);
        MemFree(first, 8);
        MemFree(third, 8);
    }
}
