#include "graph/GraphSurface.h"

#include "editor/LICE_Bitmap.h"
#include "framework/MathConstants.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace
{
constexpr float kDefaultMiterLimit = 10.0f;

// One FreeType library for the process: cairo may release a font face after the surface that
// made it is gone, so the library must outlive every surface.
FT_Library SharedFreeType()
{
    static FT_Library library = nullptr;
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       if (FT_Init_FreeType(&library) != 0)
                           library = nullptr;
                   });
    return library;
}

std::mutex& FreeTypeMutex()
{
    static std::mutex mutex;
    return mutex;
}

const cairo_user_data_key_t kFaceKey = {};

void ReleaseFace(void* face)
{
    std::lock_guard<std::mutex> lock(FreeTypeMutex());
    FT_Done_Face(static_cast<FT_Face>(face));
}

float Clamp01(float v)
{
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

uint32_t ToByte(float v)
{
    return static_cast<uint32_t>(Clamp01(v) * 255.0f + 0.5f);
}

// Straight RGBA (0 … 1) to a premultiplied native cairo pixel.
uint32_t PremultipliedPixel(float r, float g, float b, float a)
{
    a = Clamp01(a);
    return (ToByte(a) << 24) | (ToByte(r * a) << 16) | (ToByte(g * a) << 8) | ToByte(b * a);
}

bool Finite(float a, float b)
{
    return std::isfinite(a) && std::isfinite(b);
}

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

struct GraphSurface::Image
{
    cairo_surface_t* surface = nullptr;
    int width = 0;
    int height = 0;
    int flags = 0;
    // Every pixel has the same colour: quads with it are plain fills.
    bool uniform = false;
    GraphColor uniformColor;
    // Copy multiplied by the last tint, remade when the tint changes.
    cairo_surface_t* tinted = nullptr;
    GraphColor tint;

    ~Image()
    {
        if (tinted)
            cairo_surface_destroy(tinted);
        if (surface)
            cairo_surface_destroy(surface);
    }
};

struct GraphSurface::Font
{
    std::string name;
    cairo_font_face_t* face = nullptr; // null when the file could not be read

    ~Font()
    {
        if (face)
            cairo_font_face_destroy(face);
    }
};

struct GraphSurface::GlyphBuffer
{
    std::vector<cairo_glyph_t> glyphs;
};

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

// ---- Images ----

int GraphSurface::CreateImageRGBA(int w, int h, int imageFlags, const unsigned char* rgba)
{
    if (w < 1 || h < 1 || !rgba)
        return 0;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(surface);
        return 0;
    }
    Image* image = new (std::nothrow) Image();
    if (!image)
    {
        cairo_surface_destroy(surface);
        return 0;
    }
    image->surface = surface;
    image->width = w;
    image->height = h;
    image->flags = imageFlags;
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    bool uniform = true;
    for (int y = 0; y < h; ++y)
    {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + static_cast<long>(y) * stride);
        const unsigned char* src = rgba + static_cast<long>(y) * w * 4;
        for (int x = 0; x < w; ++x, src += 4)
        {
            const uint32_t a = src[3];
            auto pm = [a](uint32_t c) { return (c * a + 127) / 255; };
            row[x] = (a << 24) | (pm(src[0]) << 16) | (pm(src[1]) << 8) | pm(src[2]);
            if (std::memcmp(src, rgba, 4) != 0)
                uniform = false;
        }
    }
    cairo_surface_mark_dirty(surface);
    image->uniform = uniform;
    image->uniformColor = RGBA(rgba[0], rgba[1], rgba[2], rgba[3]);

    // Handles are slot index + 1; freed slots are reused so recreated images don't grow the list.
    for (size_t i = 0; i < mImages.size(); ++i)
    {
        if (!mImages[i])
        {
            mImages[i] = image;
            return static_cast<int>(i) + 1;
        }
    }
    mImages.push_back(image);
    return static_cast<int>(mImages.size());
}

void GraphSurface::DeleteImage(int image)
{
    if (image < 1 || image > static_cast<int>(mImages.size()))
        return;
    delete mImages[image - 1];
    mImages[image - 1] = nullptr;
}

GraphSurface::Image* GraphSurface::FindImage(int image) const
{
    if (image < 1 || image > static_cast<int>(mImages.size()))
        return nullptr;
    return mImages[image - 1];
}

bool GraphSurface::ImageSize(int image, int* w, int* h) const
{
    const Image* img = FindImage(image);
    if (!img)
        return false;
    if (w)
        *w = img->width;
    if (h)
        *h = img->height;
    return true;
}

GraphPaint GraphSurface::ImagePattern(float ox, float oy, float ex, float ey, float angle,
                                      int image, float alpha) const
{
    GraphPaint paint;
    paint.image = image;
    paint.color = GraphColor{1.0f, 1.0f, 1.0f, alpha};
    paint.ox = ox;
    paint.oy = oy;
    paint.ex = ex;
    paint.ey = ey;
    paint.angle = angle;
    paint.alpha = alpha;
    return paint;
}

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

void GraphSurface::FillDeviceRect(int x0, int y0, int x1, int y1, uint32_t premultiplied,
                                  bool additive)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, mRasterWidth);
    y1 = std::min(y1, mRasterHeight);
    if (x0 >= x1 || y0 >= y1)
        return;
    EnterDirectWrites();
    unsigned char* data = cairo_image_surface_get_data(mRaster);
    const int stride = cairo_image_surface_get_stride(mRaster);
    const uint32_t sa = premultiplied >> 24;
    const uint32_t s[3] = {(premultiplied >> 16) & 0xFF, (premultiplied >> 8) & 0xFF,
                           premultiplied & 0xFF};
    for (int y = y0; y < y1; ++y)
    {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + static_cast<long>(y) * stride);
        for (int x = x0; x < x1; ++x)
        {
            const uint32_t d = row[x];
            uint32_t da = d >> 24;
            uint32_t dc[3] = {(d >> 16) & 0xFF, (d >> 8) & 0xFF, d & 0xFF};
            if (additive)
            {
                da = std::min(255u, da + sa);
                for (uint32_t& c : dc)
                    c = std::min(255u, c + s[&c - dc]);
            }
            else
            {
                const uint32_t inv = 255 - sa;
                da = sa + (da * inv + 127) / 255;
                for (uint32_t& c : dc)
                    c = s[&c - dc] + (c * inv + 127) / 255;
            }
            row[x] = (da << 24) | (dc[0] << 16) | (dc[1] << 8) | dc[2];
        }
    }
}

void GraphSurface::TextureQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                               float y4, int image)
{
    Image* img = FindImage(image);
    if (!mCr || !img || !Finite(x1, y1) || !Finite(x2, y2) || !Finite(x3, y3) || !Finite(x4, y4))
        return;
    const State& s = Top();
    const GraphColor& tint = s.fill.color;
    const bool additive = s.op == GraphCompositeOp::Lighter;

    // An axis-aligned quad of a one-colour image is a rectangle of one colour: write its pixels
    // directly, covering pixels whose centre lies inside, as triangle rasterisation does.
    const bool axisAligned = (y1 == y2 && x2 == x3 && y3 == y4 && x4 == x1) ||
                             (x1 == x2 && y2 == y3 && x3 == x4 && y4 == y1);
    if (img->uniform && axisAligned)
    {
        const GraphColor& c = img->uniformColor;
        const uint32_t pixel =
            PremultipliedPixel(c.r * tint.r, c.g * tint.g, c.b * tint.b, c.a * tint.a);
        const float r = mPixelRatio;
        const float devH = mHeight * r;
        const float xMin = std::min(x1, x3) * r, xMax = std::max(x1, x3) * r;
        const float yMin = devH - std::max(y1, y3) * r, yMax = devH - std::min(y1, y3) * r;
        // Bounded to just outside the raster before the conversion to int.
        auto pixelEdge = [](float v, int size)
        {
            const float e = std::ceil(v - 0.5f);
            return static_cast<int>(std::clamp(e, -1.0f, static_cast<float>(size + 1)));
        };
        const int px0 = pixelEdge(xMin, mRasterWidth), px1 = pixelEdge(xMax, mRasterWidth);
        const int py0 = pixelEdge(yMin, mRasterHeight), py1 = pixelEdge(yMax, mRasterHeight);
        FillDeviceRect(px0, py0, px1, py1, pixel, additive);
        return;
    }

    // General quad: each triangle carries its own affine image mapping. The current path is
    // replaced.
    LeaveDirectWrites();
    cairo_surface_t* source = img->surface;
    const bool white = tint.r >= 1.0f && tint.g >= 1.0f && tint.b >= 1.0f && tint.a >= 1.0f;
    if (!white)
    {
        if (!img->tinted || std::memcmp(&img->tint, &tint, sizeof(GraphColor)) != 0)
        {
            if (!img->tinted)
                img->tinted =
                    cairo_image_surface_create(CAIRO_FORMAT_ARGB32, img->width, img->height);
            cairo_surface_flush(img->tinted);
            cairo_surface_flush(img->surface);
            const int stride = cairo_image_surface_get_stride(img->surface);
            const unsigned char* src = cairo_image_surface_get_data(img->surface);
            unsigned char* dst = cairo_image_surface_get_data(img->tinted);
            if (!src || !dst)
                return;
            const float k[4] = {Clamp01(tint.a), Clamp01(tint.r) * Clamp01(tint.a),
                                Clamp01(tint.g) * Clamp01(tint.a),
                                Clamp01(tint.b) * Clamp01(tint.a)};
            for (int y = 0; y < img->height; ++y)
            {
                const uint32_t* srow = reinterpret_cast<const uint32_t*>(src + y * stride);
                uint32_t* drow = reinterpret_cast<uint32_t*>(dst + y * stride);
                for (int x = 0; x < img->width; ++x)
                {
                    const uint32_t p = srow[x];
                    const uint32_t a = static_cast<uint32_t>((p >> 24) * k[0] + 0.5f);
                    const uint32_t rr = static_cast<uint32_t>(((p >> 16) & 0xFF) * k[1] + 0.5f);
                    const uint32_t gg = static_cast<uint32_t>(((p >> 8) & 0xFF) * k[2] + 0.5f);
                    const uint32_t bb = static_cast<uint32_t>((p & 0xFF) * k[3] + 0.5f);
                    drow[x] = (a << 24) | (rr << 16) | (gg << 8) | bb;
                }
            }
            cairo_surface_mark_dirty(img->tinted);
            img->tint = tint;
        }
        source = img->tinted;
    }

    ApplyCommon();
    cairo_set_antialias(mCr, CAIRO_ANTIALIAS_NONE);
    const float w = static_cast<float>(img->width), h = static_cast<float>(img->height);
    // Triangle 1-3-2: image (0, 0), (1, 1), (1, 0); triangle 1-4-3: (0, 0), (0, 1), (1, 1).
    const float tri[2][6] = {{x1, y1, x3, y3, x2, y2}, {x1, y1, x4, y4, x3, y3}};
    for (int t = 0; t < 2; ++t)
    {
        cairo_matrix_t m;
        if (t == 0)
            cairo_matrix_init(&m, (x2 - x1) / w, (y2 - y1) / w, (x3 - x2) / h, (y3 - y2) / h, x1,
                              y1);
        else
            cairo_matrix_init(&m, (x3 - x4) / w, (y3 - y4) / w, (x4 - x1) / h, (y4 - y1) / h, x1,
                              y1);
        if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS)
            continue;
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(source);
        cairo_pattern_set_matrix(pattern, &m);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(pattern, (img->flags & GRAPH_IMAGE_NEAREST)
                                              ? CAIRO_FILTER_NEAREST
                                              : CAIRO_FILTER_BILINEAR);
        cairo_set_source(mCr, pattern);
        cairo_new_path(mCr);
        cairo_move_to(mCr, tri[t][0], tri[t][1]);
        cairo_line_to(mCr, tri[t][2], tri[t][3]);
        cairo_line_to(mCr, tri[t][4], tri[t][5]);
        cairo_close_path(mCr);
        cairo_fill(mCr);
        cairo_pattern_destroy(pattern);
    }
    ResetSimplePath();
}

// ---- Text ----

int GraphSurface::CreateFont(const char* name, const char* path)
{
    if (!name)
        return kNoFont;
    Font* font = new (std::nothrow) Font();
    if (!font)
        return kNoFont;
    font->name = name;
    FT_Library library = SharedFreeType();
    if (library && path && path[0])
    {
        FT_Face face = nullptr;
        FT_Error error;
        {
            std::lock_guard<std::mutex> lock(FreeTypeMutex());
            error = FT_New_Face(library, path, 0, &face);
        }
        if (error == 0 && face)
        {
            cairo_font_face_t* cface = cairo_ft_font_face_create_for_ft_face(face, 0);
            if (cairo_font_face_status(cface) == CAIRO_STATUS_SUCCESS &&
                cairo_font_face_set_user_data(cface, &kFaceKey, face, ReleaseFace) ==
                    CAIRO_STATUS_SUCCESS)
            {
                font->face = cface;
            }
            else
            {
                cairo_font_face_destroy(cface);
                std::lock_guard<std::mutex> lock(FreeTypeMutex());
                FT_Done_Face(face);
            }
        }
    }
    mFonts.push_back(font);
    return static_cast<int>(mFonts.size()) - 1;
}

GraphSurface::Font* GraphSurface::FindFont(int font) const
{
    if (font < 0 || font >= static_cast<int>(mFonts.size()))
        return nullptr;
    return mFonts[font];
}

void GraphSurface::FontFace(const char* name)
{
    if (!name)
        return;
    // The latest registration of a name wins.
    for (int i = static_cast<int>(mFonts.size()) - 1; i >= 0; --i)
    {
        if (mFonts[i]->name == name)
        {
            Top().font = i;
            return;
        }
    }
    Top().font = kNoFont;
}

void GraphSurface::FontSize(float size)
{
    Top().fontSize = size;
}

void GraphSurface::FontBlur(float blur)
{
    Top().fontBlur = blur;
}

void GraphSurface::TextAlign(int align)
{
    Top().textAlign = align;
}

float GraphSurface::Text(float x, float y, const char* string)
{
    const State& s = Top();
    const Font* font = FindFont(s.font);
    if (!mCr || !string || !string[0] || !font || !font->face || !(s.fontSize > 0.0f) ||
        !Finite(x, y))
        return x;
    LeaveDirectWrites();
    ApplyCommon();
    // Glyphs are laid out in raster space (y down) so they stand upright on screen. Positioned
    // glyphs leave the current path alone.
    cairo_save(mCr);
    double dx = x, dy = y;
    cairo_user_to_device(mCr, &dx, &dy);
    cairo_identity_matrix(mCr);
    cairo_set_font_face(mCr, font->face);
    cairo_set_font_size(mCr, s.fontSize * mPixelRatio);
    cairo_scaled_font_t* scaled = cairo_get_scaled_font(mCr);
    cairo_font_extents_t metrics;
    cairo_scaled_font_extents(scaled, &metrics);

    if (!mGlyphs)
    {
        mGlyphs = new (std::nothrow) GlyphBuffer();
        if (!mGlyphs)
        {
            cairo_restore(mCr);
            return x;
        }
        mGlyphs->glyphs.resize(kGlyphBufferSize);
    }
    cairo_glyph_t* const buffer = mGlyphs->glyphs.data();
    cairo_glyph_t* glyphs = buffer;
    int numGlyphs = static_cast<int>(mGlyphs->glyphs.size());
    if (cairo_scaled_font_text_to_glyphs(scaled, 0.0, 0.0, string, -1, &glyphs, &numGlyphs, nullptr,
                                         nullptr, nullptr) != CAIRO_STATUS_SUCCESS)
    {
        cairo_restore(mCr);
        return x;
    }
    cairo_text_extents_t text;
    cairo_scaled_font_glyph_extents(scaled, glyphs, numGlyphs, &text);

    const double advance = text.x_advance;
    double ox = dx;
    if (s.textAlign & GRAPH_ALIGN_CENTER)
        ox -= advance * 0.5;
    else if (s.textAlign & GRAPH_ALIGN_RIGHT)
        ox -= advance;
    // Vertical flags in the y-up sense: "top" hangs the text below the anchor on screen.
    double baseline = dy;
    if (s.textAlign & GRAPH_ALIGN_TOP)
        baseline += metrics.ascent;
    else if (s.textAlign & GRAPH_ALIGN_MIDDLE)
        baseline += (metrics.ascent - metrics.descent) * 0.5;
    else if (s.textAlign & GRAPH_ALIGN_BOTTOM)
        baseline -= metrics.descent;
    for (int i = 0; i < numGlyphs; ++i)
    {
        glyphs[i].x += ox;
        glyphs[i].y += baseline;
    }
    ApplyColor(s.fill.color);
    cairo_show_glyphs(mCr, glyphs, numGlyphs);
    if (glyphs != buffer)
        cairo_glyph_free(glyphs);
    cairo_restore(mCr);
    return static_cast<float>((ox + advance - dx) / mPixelRatio) + x;
}
