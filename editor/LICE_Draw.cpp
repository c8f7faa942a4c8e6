#include "editor/LICE_Draw.h"

#include <algorithm>
#include <cmath>

namespace
{
using Coord = long long; // wide enough that x + w never overflows for any int inputs

// [lo, hi) cut to [lo2, hi2); the result may be empty (lo >= hi).
void Cut(Coord* lo, Coord* hi, Coord lo2, Coord hi2)
{
    *lo = std::max(*lo, lo2);
    *hi = std::min(*hi, hi2);
}

int ClampToInt(double v, int lo, int hi)
{
    return v <= lo ? lo : v >= hi ? hi : static_cast<int>(v);
}

// Premultiplied bilinear sample of src at (x, y) (pixel centres at i + 0.5); pixels outside
// [sx0, sx1) × [sy0, sy1) count as transparent, so edges fade out instead of smearing.
LICE_pixel Sample(const LICE_IBitmap* src, double x, double y, int sx0, int sy0, int sx1, int sy1)
{
    const double fx = x - 0.5, fy = y - 0.5;
    const double ix = std::floor(fx), iy = std::floor(fy);
    if (ix < sx0 - 1 || iy < sy0 - 1 || ix >= sx1 || iy >= sy1)
        return 0;
    const int px = static_cast<int>(ix), py = static_cast<int>(iy);
    const double tx = fx - ix, ty = fy - iy;
    double a = 0.0, r = 0.0, g = 0.0, b = 0.0;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i)
        {
            const int qx = px + i, qy = py + j;
            if (qx < sx0 || qx >= sx1 || qy < sy0 || qy >= sy1)
                continue;
            const LICE_pixel p = *src->PixelAt(qx, qy);
            const double wa = (i ? tx : 1.0 - tx) * (j ? ty : 1.0 - ty) * LICE_GETA(p);
            a += wa;
            r += wa * LICE_GETR(p);
            g += wa * LICE_GETG(p);
            b += wa * LICE_GETB(p);
        }
    if (a <= 0.0)
        return 0;
    auto channel = [](double v) { return static_cast<unsigned>(std::min(255.0, v + 0.5)); };
    return LICE_RGBA(channel(r / a), channel(g / a), channel(b / a), channel(a));
}
} // namespace

LICE_Area LICE_DrawableArea(const LICE_IBitmap* dest, const IRECT* clip)
{
    LICE_Area area;
    if (!dest || !dest->getBits())
        return area;
    area.x1 = std::max(0, dest->getWidth());
    area.y1 = std::max(0, dest->getHeight());
    if (clip)
    {
        area.x0 = std::max(area.x0, clip->L);
        area.y0 = std::max(area.y0, clip->T);
        area.x1 = std::min(area.x1, clip->R);
        area.y1 = std::min(area.y1, clip->B);
    }
    return area;
}

void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int w, int h, float weight, int blendMethod, const IRECT* clip)
{
    if (!dest || !src || !src->getBits() || w <= 0 || h <= 0 || !(weight > 0.0f))
        return;
    const LICE_Area area = LICE_DrawableArea(dest, clip);
    // Destination columns and rows, cut by the clip area and by where the source has pixels;
    // the source offset follows whatever the cut removes.
    Coord x0 = dstx, x1 = Coord(dstx) + w, y0 = dsty, y1 = Coord(dsty) + h;
    Cut(&x0, &x1, area.x0, area.x1);
    Cut(&y0, &y1, area.y0, area.y1);
    Cut(&x0, &x1, Coord(dstx) - srcx, Coord(dstx) - srcx + src->getWidth());
    Cut(&y0, &y1, Coord(dsty) - srcy, Coord(dsty) - srcy + src->getHeight());
    if (x0 >= x1 || y0 >= y1)
        return;
    const int dx = static_cast<int>(Coord(srcx) - dstx); // source x = dest x + dx
    const int dy = static_cast<int>(Coord(srcy) - dsty);
    const int n = static_cast<int>(x1 - x0);

    // Within one bitmap, walk away from the overlap so no pixel is read after it was written.
    const bool upward = src == dest && dy < 0;
    const bool leftward = src == dest && dy == 0 && dx < 0;
    for (Coord k = 0; k < y1 - y0; ++k)
    {
        const int y = static_cast<int>(upward ? y1 - 1 - k : y0 + k);
        LICE_pixel* d = dest->PixelAt(static_cast<int>(x0), y);
        const LICE_pixel* s = src->PixelAt(static_cast<int>(x0) + dx, y + dy);
        for (int i = 0; i < n; ++i)
        {
            const int j = leftward ? n - 1 - i : i;
            d[j] = LICE_BlendPixel(d[j], s[j], weight, blendMethod);
        }
    }
}

void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float weight,
                   int blendMethod, const IRECT* clip)
{
    if (!dest || w <= 0 || h <= 0 || !(weight > 0.0f))
        return;
    const LICE_Area area = LICE_DrawableArea(dest, clip);
    Coord x0 = x, x1 = Coord(x) + w, y0 = y, y1 = Coord(y) + h;
    Cut(&x0, &x1, area.x0, area.x1);
    Cut(&y0, &y1, area.y0, area.y1);
    for (Coord row = y0; row < y1; ++row)
    {
        LICE_pixel* d = dest->PixelAt(static_cast<int>(x0), static_cast<int>(row));
        for (Coord i = 0; i < x1 - x0; ++i)
            d[i] = LICE_BlendPixel(d[i], color, weight, blendMethod);
    }
}

void LICE_RotatedBlit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int dstw,
                      int dsth, float srcx, float srcy, float srcw, float srch, float angleRadians,
                      float weight, int blendMethod, const IRECT* clip)
{
    if (!dest || !src || !src->getBits() || dstw <= 0 || dsth <= 0 || !(srcw > 0.0f) ||
        !(srch > 0.0f) || !(weight > 0.0f))
        return;
    if (!std::isfinite(srcx) || !std::isfinite(srcy) || !std::isfinite(srcw) ||
        !std::isfinite(srch) || !std::isfinite(angleRadians))
        return;
    const LICE_Area area = LICE_DrawableArea(dest, clip);
    Coord x0 = dstx, x1 = Coord(dstx) + dstw, y0 = dsty, y1 = Coord(dsty) + dsth;
    Cut(&x0, &x1, area.x0, area.x1);
    Cut(&y0, &y1, area.y0, area.y1);
    if (x0 >= x1 || y0 >= y1)
        return;

    // The source pixels the area covers, within the bitmap.
    const int sx0 = ClampToInt(std::floor(double(srcx)), 0, src->getWidth());
    const int sy0 = ClampToInt(std::floor(double(srcy)), 0, src->getHeight());
    const int sx1 = ClampToInt(std::ceil(double(srcx) + srcw), 0, src->getWidth());
    const int sy1 = ClampToInt(std::ceil(double(srcy) + srch), 0, src->getHeight());
    if (sx0 >= sx1 || sy0 >= sy1)
        return;

    // Each destination pixel centre is turned back by the angle about the destination centre
    // and scaled into the source area: u = X cos + Y sin, v = −X sin + Y cos (y downward).
    const double cosA = std::cos(double(angleRadians)), sinA = std::sin(double(angleRadians));
    const double cx = dstx + dstw * 0.5, cy = dsty + dsth * 0.5;
    const double scx = srcx + srcw * 0.5, scy = srcy + srch * 0.5;
    const double kx = double(srcw) / dstw, ky = double(srch) / dsth;
    for (Coord py = y0; py < y1; ++py)
    {
        LICE_pixel* d = dest->PixelAt(static_cast<int>(x0), static_cast<int>(py));
        const double Y = py + 0.5 - cy;
        for (Coord px = x0; px < x1; ++px)
        {
            const double X = px + 0.5 - cx;
            const double u = X * cosA + Y * sinA, v = -X * sinA + Y * cosA;
            const LICE_pixel s = Sample(src, scx + u * kx, scy + v * ky, sx0, sy0, sx1, sy1);
            if (LICE_GETA(s))
                d[px - x0] = LICE_BlendPixel(d[px - x0], s, weight, blendMethod);
        }
    }
}
