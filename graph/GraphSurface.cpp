#include "graph/GraphSurface.h"

#include "editor/LICE_Bitmap.h"
#include "graph/GraphSurfaceDetail.h"

#include <algorithm>
#include <new>

using graph_surface_detail::Clamp01;

namespace
{
constexpr float kDefaultMiterLimit = 10.0f;

uint32_t Unpremultiply(uint32_t p)
{
    const uint32_t a = p >> 24;
    if (a == 0)
        return 0;
    if (a == 255)
        return p;
    auto channel = [a](uint32_t c)
    {
        const uint32_t v = (c * 255 + a / 2) / a;
        return v > 255 ? 255u : v;
    };
    return (a << 24) | (channel((p >> 16) & 0xFF) << 16) | (channel((p >> 8) & 0xFF) << 8) |
           channel(p & 0xFF);
}
} // namespace

GraphSurface* GraphSurface::Create(int flags)
{
    GraphSurface* surface = new (std::nothrow) GraphSurface(flags);
    return surface;
}

GraphSurface::GraphSurface(int flags) : mFlags(flags) {}

GraphSurface::~GraphSurface()
{
    for (Image* image : mImages)
        delete image;
    for (Font* font : mFonts)
        delete font;
    delete mGlyphs;
    FreeRaster();
}

// ---- Render target ----

void GraphSurface::FreeRaster()
{
    if (mCr)
        cairo_destroy(mCr);
    if (mRaster)
        cairo_surface_destroy(mRaster);
    mCr = nullptr;
    mRaster = nullptr;
    mRasterWidth = mRasterHeight = 0;
    mDirectWrites = false;
}

bool GraphSurface::EnsureRaster(int width, int height)
{
    if (width < 1 || height < 1)
        return false;
    // A context in an error state draws nothing more: it is replaced by a fresh one.
    if (mCr && width == mRasterWidth && height == mRasterHeight &&
        cairo_status(mCr) == CAIRO_STATUS_SUCCESS)
        return true;
    FreeRaster();
    cairo_surface_t* raster = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(raster) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(raster);
        return false;
    }
    cairo_t* cr = cairo_create(raster);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
    {
        cairo_destroy(cr);
        cairo_surface_destroy(raster);
        return false;
    }
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    if (!mRasterizer.Resize(width, height))
    {
        cairo_destroy(cr);
        cairo_surface_destroy(raster);
        return false;
    }
    mRaster = raster;
    mCr = cr;
    mRasterWidth = width;
    mRasterHeight = height;
    return true;
}

bool GraphSurface::BindRenderTarget(LICE_IBitmap* target)
{
    mTarget = target;
    if (!target)
        return false;
    return EnsureRaster(target->getWidth(), target->getHeight());
}

void GraphSurface::ClearRenderTarget(float r, float g, float b, float a)
{
    if (!mCr)
        return;
    LeaveDirectWrites();
    cairo_save(mCr);
    cairo_identity_matrix(mCr);
    cairo_reset_clip(mCr);
    cairo_set_operator(mCr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(mCr, Clamp01(r), Clamp01(g), Clamp01(b), Clamp01(a));
    cairo_paint(mCr);
    cairo_restore(mCr);
}

// ---- Frame ----

void GraphSurface::BeginFrame(int width, int height, float pixelRatio)
{
    if (!mTarget || !mCr)
        EnsureRaster(width, height);
    mWidth = width;
    mHeight = height;
    mPixelRatio = pixelRatio > 0.0f ? pixelRatio : 1.0f;
    mNumStates = 1;
    mStates[0] = State();
    ResetSimplePath();
    if (!mCr)
        return;
    cairo_new_path(mCr);
    cairo_identity_matrix(mCr);
    // y up: the raster's first row is the top of the graph.
    cairo_translate(mCr, 0.0, height * mPixelRatio);
    cairo_scale(mCr, mPixelRatio, -mPixelRatio);
    cairo_set_miter_limit(mCr, kDefaultMiterLimit);
    cairo_set_line_cap(mCr, CAIRO_LINE_CAP_BUTT);
    cairo_set_fill_rule(mCr, CAIRO_FILL_RULE_WINDING);
}

void GraphSurface::EndFrame()
{
    if ((mFlags & GRAPH_DEBUG) && mNumStates != 1)
        mUnbalancedStates += mNumStates - 1;
    if (!mCr)
        return;
    LeaveDirectWrites();
    if ((mFlags & GRAPH_DEBUG) && cairo_status(mCr) != CAIRO_STATUS_SUCCESS)
        ++mRendererErrors;
    cairo_surface_flush(mRaster);
    if (!mTarget || !mTarget->getBits())
        return;
    const unsigned char* data = cairo_image_surface_get_data(mRaster);
    const int stride = cairo_image_surface_get_stride(mRaster);
    const int w = std::min(mRasterWidth, mTarget->getWidth());
    const int h = std::min(mRasterHeight, mTarget->getHeight());
    for (int y = 0; y < h; ++y)
    {
        const uint32_t* src =
            reinterpret_cast<const uint32_t*>(data + static_cast<long>(y) * stride);
        LICE_pixel* dst = mTarget->PixelAt(0, y);
        for (int x = 0; x < w; ++x)
            dst[x] = Unpremultiply(src[x]);
    }
}

// ---- State ----

void GraphSurface::Save()
{
    if (mNumStates >= kMaxStates)
    {
        if (mFlags & GRAPH_DEBUG)
            ++mUnbalancedStates;
        return;
    }
    mStates[mNumStates] = mStates[mNumStates - 1];
    ++mNumStates;
}

void GraphSurface::Restore()
{
    if (mNumStates <= 1)
    {
        if (mFlags & GRAPH_DEBUG)
            ++mUnbalancedStates;
        return;
    }
    --mNumStates;
}

GraphColor GraphSurface::RGBA(int r, int g, int b, int a)
{
    GraphColor c;
    c.r = static_cast<float>(r) / 255.0f;
    c.g = static_cast<float>(g) / 255.0f;
    c.b = static_cast<float>(b) / 255.0f;
    c.a = static_cast<float>(a) / 255.0f;
    return c;
}

void GraphSurface::StrokeColor(const GraphColor& color)
{
    Top().stroke = color;
}

void GraphSurface::FillColor(const GraphColor& color)
{
    Top().fill = GraphPaint();
    Top().fill.color = color;
}

void GraphSurface::FillPaint(const GraphPaint& paint)
{
    Top().fill = paint;
}

void GraphSurface::StrokeWidth(float width)
{
    Top().strokeWidth = width;
}

void GraphSurface::LineJoin(int join)
{
    Top().lineJoin = join;
}

void GraphSurface::GlobalCompositeOperation(GraphCompositeOp op)
{
    Top().op = op;
}

void GraphSurface::ApplyCommon()
{
    const State& s = mStates[mNumStates - 1];
    cairo_set_line_width(mCr, s.strokeWidth);
    cairo_set_line_join(mCr,
                        s.lineJoin == GRAPH_BEVEL ? CAIRO_LINE_JOIN_BEVEL : CAIRO_LINE_JOIN_MITER);
    cairo_set_operator(mCr, s.op == GraphCompositeOp::Lighter ? CAIRO_OPERATOR_ADD
                                                              : CAIRO_OPERATOR_OVER);
    cairo_set_antialias(mCr, (mFlags & GRAPH_ANTIALIAS) ? CAIRO_ANTIALIAS_DEFAULT
                                                        : CAIRO_ANTIALIAS_NONE);
}

void GraphSurface::ApplyColor(const GraphColor& color)
{
    cairo_set_source_rgba(mCr, Clamp01(color.r), Clamp01(color.g), Clamp01(color.b),
                          Clamp01(color.a));
}

// ---- Direct raster writes ----

void GraphSurface::EnterDirectWrites()
{
    if (!mDirectWrites)
    {
        cairo_surface_flush(mRaster);
        mDirectWrites = true;
    }
}

void GraphSurface::LeaveDirectWrites()
{
    if (mDirectWrites)
    {
        cairo_surface_mark_dirty(mRaster);
        mDirectWrites = false;
    }
}
