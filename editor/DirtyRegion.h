#pragma once
// The parts of a picture that need showing again, as a few rectangles kept apart while they stay
// apart: a scope at the top and a logo at the bottom cost their own areas, not the window
// between them. Rectangles that meet merge; past kMaxRects everything folds into one. Fixed
// storage: adding never allocates.

#include "editor/IControlTypes.h"

class DirtyRegion
{
public:
    static constexpr int kMaxRects = 8;

    void Add(const IRECT& rect);
    void Add(const DirtyRegion& other);
    void Clear() { mCount = 0; }
    bool Empty() const { return mCount == 0; }
    int Size() const { return mCount; }
    const IRECT& operator[](int i) const { return mRects[i]; }
    const IRECT* begin() const { return mRects; }
    const IRECT* end() const { return mRects + mCount; }
    // The smallest rectangle holding every part (empty when there is none).
    IRECT Bounds() const;
    // Every part scaled to device pixels and cut to the size (parts left empty are dropped).
    DirtyRegion Scaled(double scale, int width, int height) const;

private:
    IRECT mRects[kMaxRects];
    int mCount = 0;
};
