#include "editor/LICE_Draw.h"

#include <algorithm>
#include <cmath>

namespace
{
// Plots into the drawable area with the coverage scaling the weight; coordinates stay doubles
// until they are known to lie inside, so no line is too long or too far away to be safe.
struct Plotter
{
    LICE_IBitmap* dest;
    LICE_Area area;
    LICE_pixel color;
    float weight;
    int method;
    bool steep; // major axis is y: (major, minor) = (y, x)

    void Plot(double major, double minor, double coverage) const
    {
        const double x = steep ? minor : major, y = steep ? major : minor;
        if (coverage <= 0.0 || x < area.x0 || x >= area.x1 || y < area.y0 || y >= area.y1)
            return;
        LICE_pixel* p = dest->PixelAt(static_cast<int>(x), static_cast<int>(y));
        *p = LICE_BlendPixel(*p, color, static_cast<float>(weight * coverage), method);
    }
    // The major-axis range of the area: only those steps can put ink in it.
    double MajorLo() const { return steep ? area.y0 : area.x0; }
    double MajorHi() const { return (steep ? area.y1 : area.x1) - 1; }
};

double Round(double v)
{
    return std::floor(v + 0.5);
}

// One pixel per step of the longer axis between rounded end points, the other coordinate
// rounded from the exact line (Bresenham's pixels, without walking the clipped-off part).
void SolidLine(const Plotter& out, double a0, double b0, double a1, double b1)
{
    if (a0 > a1)
        std::swap(a0, a1), std::swap(b0, b1);
    if (a0 == a1)
    {
        out.Plot(a0, b0, 1.0);
        return;
    }
    const double slope = (b1 - b0) / (a1 - a0);
    const double first = std::max(a0, out.MajorLo()), last = std::min(a1, out.MajorHi());
    for (double a = first; a <= last; a += 1.0)
        out.Plot(a, Round(b0 + (a - a0) * slope), 1.0);
}

double Frac(double v)
{
    return v - std::floor(v);
}

// Xiaolin Wu's line: each step of the longer axis shares its ink between the two pixels the
// line passes between; the end pixels are weighted by how much of them the line covers.
void SmoothLine(const Plotter& out, double a0, double b0, double a1, double b1)
{
    if (a0 > a1)
        std::swap(a0, a1), std::swap(b0, b1);
    const double gradient = a1 > a0 ? (b1 - b0) / (a1 - a0) : 0.0;

    const double end0 = Round(a0), end1 = Round(a1);
    const double bEnd0 = b0 + gradient * (end0 - a0), bEnd1 = b1 + gradient * (end1 - a1);
    const double gap0 = 1.0 - Frac(a0 + 0.5), gap1 = Frac(a1 + 0.5);
    if (end0 == end1)
    {
        // Shorter than a pixel: ink in proportion to its length.
        const double len = a1 - a0;
        out.Plot(end0, std::floor(bEnd0), (1.0 - Frac(bEnd0)) * len);
        out.Plot(end0, std::floor(bEnd0) + 1.0, Frac(bEnd0) * len);
        return;
    }
    out.Plot(end0, std::floor(bEnd0), (1.0 - Frac(bEnd0)) * gap0);
    out.Plot(end0, std::floor(bEnd0) + 1.0, Frac(bEnd0) * gap0);
    out.Plot(end1, std::floor(bEnd1), (1.0 - Frac(bEnd1)) * gap1);
    out.Plot(end1, std::floor(bEnd1) + 1.0, Frac(bEnd1) * gap1);

    const double first = std::max(end0 + 1.0, out.MajorLo());
    const double last = std::min(end1 - 1.0, out.MajorHi());
    for (double a = first; a <= last; a += 1.0)
    {
        const double b = bEnd0 + gradient * (a - end0);
        out.Plot(a, std::floor(b), 1.0 - Frac(b));
        out.Plot(a, std::floor(b) + 1.0, Frac(b));
    }
}
} // namespace

void LICE_Line(LICE_IBitmap* dest, float x1, float y1, float x2, float y2, LICE_pixel color,
               float weight, int blendMethod, bool antiAlias, const IRECT* clip)
{
    if (!dest || !(weight > 0.0f) || !std::isfinite(x1) || !std::isfinite(y1) ||
        !std::isfinite(x2) || !std::isfinite(y2))
        return;
    const LICE_Area area = LICE_DrawableArea(dest, clip);
    if (area.Empty())
        return;
    // A solid line runs between the pixels its ends fall in; the longer axis is chosen after
    // rounding so that every step moves at most one pixel across.
    double ax = x1, ay = y1, bx = x2, by = y2;
    if (!antiAlias)
        ax = Round(ax), ay = Round(ay), bx = Round(bx), by = Round(by);
    const bool steep = std::fabs(by - ay) > std::fabs(bx - ax);
    const Plotter out{dest, area, color, weight, blendMethod, steep};
    const double a0 = steep ? ay : ax, b0 = steep ? ax : ay;
    const double a1 = steep ? by : bx, b1 = steep ? bx : by;
    if (antiAlias)
        SmoothLine(out, a0, b0, a1, b1);
    else
        SolidLine(out, a0, b0, a1, b1);
}
