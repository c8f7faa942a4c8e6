#include "editor/DirtyRegion.h"

#include <algorithm>

void DirtyRegion::Add(const IRECT& rect)
{
    if (rect.W() <= 0 || rect.H() <= 0)
        return;
    IRECT r = rect;
    // A part that meets the new one joins it, and the grown rectangle may meet others.
    for (int i = 0; i < mCount;)
    {
        if (RectsIntersect(mRects[i], r))
        {
            r = UnionRect(r, mRects[i]);
            mRects[i] = mRects[--mCount];
            i = 0;
        }
        else
        {
            ++i;
        }
    }
    if (mCount == kMaxRects)
    {
        r = UnionRect(r, Bounds());
        mCount = 0;
    }
    mRects[mCount++] = r;
}

void DirtyRegion::Add(const DirtyRegion& other)
{
    for (const IRECT& r : other)
        Add(r);
}

IRECT DirtyRegion::Bounds() const
{
    IRECT bounds;
    for (const IRECT& r : *this)
        bounds = UnionRect(bounds, r);
    return bounds;
}

DirtyRegion DirtyRegion::Scaled(double scale, int width, int height) const
{
    DirtyRegion scaled;
    for (const IRECT& r : *this)
    {
        const IRECT s = ScaleRect(r, scale);
        scaled.Add(IRECT(std::max(s.L, 0), std::max(s.T, 0), std::min(s.R, width),
                         std::min(s.B, height)));
    }
    return scaled;
}
