// The byte buffer's allocation, worked by hand: growth in granularity steps with half the size as
// slack, shrinking below half only where allowed, contents kept across resizes.

#include "framework/WDL_HeapBuf.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(WDL_HeapBuf, GrowsWithSlackAndShrinksBelowHalfOnlyWhenAllowed)
{
    WDL_HeapBuf b(4096);
    ASSERT_NE(b.Resize(5000), nullptr);
    EXPECT_EQ(b.GetAllocated(), 8192); // 5000 + 2500, rounded up to 4096 steps
    std::memset(b.Get(), 7, 5000);
    // Within the allocation: same storage, contents kept, nothing reallocated.
    void* data = b.Get();
    EXPECT_EQ(b.Resize(8192), data);
    EXPECT_EQ(b.Resize(4096, false), data);
    EXPECT_EQ(b.Resize(100, false), data);
    EXPECT_EQ(b.GetAllocated(), 8192);
    EXPECT_EQ(b.Resize(4096), data); // half is not below half
    EXPECT_EQ(b.GetAllocated(), 8192);
    ASSERT_NE(b.Resize(100), nullptr); // below half, shrinking allowed
    EXPECT_EQ(b.GetAllocated(), 4096);
    EXPECT_EQ(b.GetSize(), 100);
    EXPECT_EQ(static_cast<const char*>(b.Get())[99], 7);
    data = b.Get();
    EXPECT_EQ(b.Resize(-5, false), data); // a negative size is 0; the allocation stays
    EXPECT_EQ(b.GetSize(), 0);
    EXPECT_EQ(b.Get(), nullptr); // an empty buffer has no data
    EXPECT_EQ(b.GetAllocated(), 4096);
}
