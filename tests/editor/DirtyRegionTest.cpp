#include "editor/DirtyRegion.h"

#include <gtest/gtest.h>

namespace
{
long Area(const DirtyRegion& region)
{
    long area = 0;
    for (const IRECT& r : region)
        area += static_cast<long>(r.W()) * r.H();
    return area;
}
} // namespace

TEST(DirtyRegionTest, ApartPartsStayApartAndMeetingPartsMerge)
{
    DirtyRegion region;
    region.Add(IRECT(0, 0, 456, 243));   // the scope
    region.Add(IRECT(428, 457, 456, 485)); // the logo
    region.Add(IRECT(5, 5, 0, 10));       // nothing: no width
    ASSERT_EQ(region.Size(), 2);
    EXPECT_EQ(Area(region), 456L * 243 + 28L * 28);
    EXPECT_EQ(region.Bounds(), IRECT(0, 0, 456, 485));
    // A part that bridges the two joins them into one, and nothing is lost.
    region.Add(IRECT(400, 200, 440, 460));
    ASSERT_EQ(region.Size(), 1);
    EXPECT_EQ(region[0], IRECT(0, 0, 456, 485));
}

TEST(DirtyRegionTest, ManyPartsFoldIntoTheirBoundsAndScaleWithinTheView)
{
    DirtyRegion region;
    for (int i = 0; i <= DirtyRegion::kMaxRects; ++i)
        region.Add(IRECT(i * 20, 0, i * 20 + 10, 10));
    ASSERT_LE(region.Size(), DirtyRegion::kMaxRects);
    EXPECT_EQ(region.Bounds(), IRECT(0, 0, DirtyRegion::kMaxRects * 20 + 10, 10));
    // Parts never overlap, so their areas add up to no more than the bounds'.
    EXPECT_LE(Area(region), 10L * (DirtyRegion::kMaxRects * 20 + 10));

    DirtyRegion small;
    small.Add(IRECT(10, 10, 20, 20));
    small.Add(IRECT(100, 100, 300, 300));
    const DirtyRegion scaled = small.Scaled(1.5, 400, 400);
    ASSERT_EQ(scaled.Size(), 2);
    EXPECT_EQ(scaled.Bounds(), IRECT(15, 15, 400, 400));
    EXPECT_EQ(Area(scaled), 15L * 15 + 250L * 250);
}
