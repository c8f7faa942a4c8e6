#include "editor/IControlTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

IText::IText(int size, const IColor& color, const char* font, int style, int align,
             int orientation, int quality, const IColor& entryBG, const IColor& entryFG)
    : mSize(size), mColor(color), mTextEntryBGColor(entryBG), mTextEntryFGColor(entryFG),
      mStyle(style), mAlign(align), mOrientation(orientation), mQuality(quality)
{
    if (font)
    {
        std::strncpy(mFont, font, kFontNameSize - 1);
        mFont[kFontNameSize - 1] = '\0';
    }
}

IRECT UnionRect(const IRECT& a, const IRECT& b)
{
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return IRECT(std::min(a.L, b.L), std::min(a.T, b.T), std::max(a.R, b.R), std::max(a.B, b.B));
}

bool RectsIntersect(const IRECT& a, const IRECT& b)
{
    if (a.Empty() || b.Empty())
        return false;
    return a.R >= b.L && a.L < b.R && a.B >= b.T && a.T < b.B;
}

IRECT ScaleRect(const IRECT& r, double scale)
{
    if (scale == 1.0)
        return r;
    const auto edge = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
    return IRECT(edge(r.L), edge(r.T), edge(r.R), edge(r.B));
}
