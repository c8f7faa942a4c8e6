#include "graph/GraphSurface.h"

#include "framework/MathConstants.h"
#include "graph/GraphSurfaceDetail.h"

#include <cmath>

using graph_surface_detail::Clamp01;
using graph_surface_detail::Finite;
using graph_surface_detail::PremultipliedPixel;

// ---- Paths ----

void GraphSurface::ResetSimplePath()
{
    mNumSimplePoints = 0;
    mSimpleValid = true;
    mSimpleClosed = false;
}

void GraphSurface::AddSimplePoint(float x, float y)
{
    if (!mSimpleValid || mSimpleClosed || mNumSimplePoints >= kMaxSimplePoints)
    {
        mSimpleValid = false;
        return;
    }
    mSimplePoints[2 * mNumSimplePoints] = x;
    mSimplePoints[2 * mNumSimplePoints + 1] = y;
    ++mNumSimplePoints;
}

void GraphSurface::ToDevice(float x, float y, float* dx, float* dy) const
{
    *dx = x * mPixelRatio;
    *dy = (static_cast<float>(mHeight) - y) * mPixelRatio;
}

void GraphSurface::BeginPath()
{
    ResetSimplePath();
    if (mCr)
        cairo_new_path(mCr);
}

void GraphSurface::MoveTo(float x, float y)
{
    // Non-finite coordinates are dropped: the renderer has no use for them.
    if (!Finite(x, y))
        return;
    // A second sub-path goes to the general renderer.
    if (mNumSimplePoints > 0)
        mSimpleValid = false;
    AddSimplePoint(x, y);
    if (mCr)
        cairo_move_to(mCr, x, y);
}

void GraphSurface::LineTo(float x, float y)
{
    if (!Finite(x, y))
        return;
    AddSimplePoint(x, y);
    if (!mCr)
        return;
    if (cairo_has_current_point(mCr))
        cairo_line_to(mCr, x, y);
    else
        cairo_move_to(mCr, x, y);
}

void GraphSurface::ClosePath()
{
    if (mNumSimplePoints > 0)
        mSimpleClosed = true;
    if (mCr)
        cairo_close_path(mCr);
}

void GraphSurface::Arc(float cx, float cy, float r, float a0, float a1, int dir)
{
    mSimpleValid = false;
    if (!mCr || !(r >= 0.0f) || !Finite(cx, cy) || !Finite(a0, a1))
        return;
    double end = a1;
    // A sweep of a full turn or more draws the whole circle once.
    if (dir == GRAPH_CW)
    {
        if (end - a0 >= kTwoPi)
            end = a0 + kTwoPi;
        cairo_arc(mCr, cx, cy, r, a0, end);
    }
    else
    {
        if (a0 - end >= kTwoPi)
            end = a0 - kTwoPi;
        cairo_arc_negative(mCr, cx, cy, r, a0, end);
    }
}

void GraphSurface::Circle(float cx, float cy, float r)
{
    mSimpleValid = false;
    if (!mCr || !(r >= 0.0f) || !Finite(cx, cy))
        return;
    cairo_new_sub_path(mCr);
    cairo_arc(mCr, cx, cy, r, 0.0, kTwoPi);
    cairo_close_path(mCr);
}

void GraphSurface::Rect(float x, float y, float w, float h)
{
    if (!Finite(x, y) || !Finite(w, h))
        return;
    if (mNumSimplePoints > 0)
        mSimpleValid = false;
    AddSimplePoint(x, y);
    AddSimplePoint(x, y + h);
    AddSimplePoint(x + w, y + h);
    AddSimplePoint(x + w, y);
    if (mNumSimplePoints > 0)
        mSimpleClosed = true;
    if (!mCr)
        return;
    cairo_move_to(mCr, x, y);
    cairo_line_to(mCr, x, y + h);
    cairo_line_to(mCr, x + w, y + h);
    cairo_line_to(mCr, x + w, y);
    cairo_close_path(mCr);
}

bool GraphSurface::StrokeSimplePath()
{
    // One open segment: its stroke with butt ends is a rectangle along it.
    if (!(mFlags & GRAPH_ANTIALIAS) || !mSimpleValid || mSimpleClosed || mNumSimplePoints != 2)
        return false;
    const State& s = Top();
    float x0, y0, x1, y1;
    ToDevice(mSimplePoints[0], mSimplePoints[1], &x0, &y0);
    ToDevice(mSimplePoints[2], mSimplePoints[3], &x1, &y1);
    const float dx = x1 - x0, dy = y1 - y0;
    const float length = std::sqrt(dx * dx + dy * dy);
    const float half = 0.5f * s.strokeWidth * mPixelRatio;
    if (length <= 0.0f || !(half > 0.0f))
        return true; // nothing to draw, as with butt ends
    const float nx = -dy / length * half, ny = dx / length * half;
    const float quad[8] = {x0 + nx, y0 + ny, x1 + nx, y1 + ny, x1 - nx, y1 - ny, x0 - nx, y0 - ny};
    const GraphColor& c = s.stroke;
    EnterDirectWrites();
    mRasterizer.AddPolygon(quad, 4);
    mRasterizer.Composite(
        cairo_image_surface_get_data(mRaster), cairo_image_surface_get_stride(mRaster),
        PremultipliedPixel(c.r, c.g, c.b, c.a), s.op == GraphCompositeOp::Lighter);
    return true;
}

bool GraphSurface::FillSimplePath()
{
    const State& s = Top();
    if (!(mFlags & GRAPH_ANTIALIAS) || !mSimpleValid || mNumSimplePoints < 3 || s.fill.image != 0)
        return false;
    float polygon[2 * kMaxSimplePoints];
    for (int i = 0; i < mNumSimplePoints; ++i)
        ToDevice(mSimplePoints[2 * i], mSimplePoints[2 * i + 1], &polygon[2 * i],
                 &polygon[2 * i + 1]);
    const GraphColor& c = s.fill.color;
    EnterDirectWrites();
    mRasterizer.AddPolygon(polygon, mNumSimplePoints);
    mRasterizer.Composite(
        cairo_image_surface_get_data(mRaster), cairo_image_surface_get_stride(mRaster),
        PremultipliedPixel(c.r, c.g, c.b, c.a), s.op == GraphCompositeOp::Lighter);
    return true;
}

void GraphSurface::Stroke()
{
    if (!mCr || StrokeSimplePath())
        return;
    LeaveDirectWrites();
    ApplyCommon();
    ApplyColor(Top().stroke);
    cairo_stroke_preserve(mCr);
}

void GraphSurface::Fill()
{
    if (!mCr || FillSimplePath())
        return;
    LeaveDirectWrites();
    ApplyCommon();
    const GraphPaint& paint = Top().fill;
    if (paint.image == 0)
    {
        ApplyColor(paint.color);
        cairo_fill_preserve(mCr);
        return;
    }
    Image* image = FindImage(paint.image);
    if (!image || paint.ex == 0.0f || paint.ey == 0.0f)
        return;
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(image->surface);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, image->width / paint.ex, image->height / paint.ey);
    cairo_matrix_rotate(&m, -paint.angle);
    cairo_matrix_translate(&m, -paint.ox, -paint.oy);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, (image->flags & GRAPH_IMAGE_NEAREST) ? CAIRO_FILTER_NEAREST
                                                                           : CAIRO_FILTER_BILINEAR);
    cairo_set_source(mCr, pattern);
    const float alpha = Clamp01(paint.alpha);
    if (alpha >= 1.0f)
    {
        cairo_fill_preserve(mCr);
    }
    else
    {
        cairo_save(mCr);
        cairo_clip_preserve(mCr);
        cairo_paint_with_alpha(mCr, alpha);
        cairo_restore(mCr);
    }
    cairo_pattern_destroy(pattern);
}
