#include "graph/GraphSurface.h"

#include "graph/GraphSurfaceDetail.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

using graph_surface_detail::Clamp01;
using graph_surface_detail::Finite;
using graph_surface_detail::PremultipliedPixel;

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

    // An axis-aligned quad of a one-colour image is a rectangle of one colour: write its pixels
    // directly, covering pixels whose centre lies inside, as triangle rasterisation does.
    const bool axisAligned = (y1 == y2 && x2 == x3 && y3 == y4 && x4 == x1) ||
                             (x1 == x2 && y2 == y3 && x3 == x4 && y4 == y1);
    if (img->uniform && axisAligned)
    {
        FillUniformQuad(*img, tint, x1, y1, x3, y3, s.op == GraphCompositeOp::Lighter);
        return;
    }

    // General quad: each triangle carries its own affine image mapping. The current path is
    // replaced.
    LeaveDirectWrites();
    cairo_surface_t* source = TintedSource(img, tint);
    if (!source)
        return;
    ApplyCommon();
    cairo_set_antialias(mCr, CAIRO_ANTIALIAS_NONE);
    DrawImageTriangles(*img, source, x1, y1, x2, y2, x3, y3, x4, y4);
    ResetSimplePath();
}

void GraphSurface::FillUniformQuad(const Image& img, const GraphColor& tint, float x1, float y1,
                                   float x3, float y3, bool additive)
{
    const GraphColor& c = img.uniformColor;
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
}

cairo_surface_t* GraphSurface::TintedSource(Image* img, const GraphColor& tint)
{
    const bool white = tint.r >= 1.0f && tint.g >= 1.0f && tint.b >= 1.0f && tint.a >= 1.0f;
    if (white)
        return img->surface;
    // The tinted copy is kept until the tint changes.
    if (img->tinted && std::memcmp(&img->tint, &tint, sizeof(GraphColor)) == 0)
        return img->tinted;
    if (!img->tinted)
        img->tinted = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, img->width, img->height);
    cairo_surface_flush(img->tinted);
    cairo_surface_flush(img->surface);
    const int stride = cairo_image_surface_get_stride(img->surface);
    const unsigned char* src = cairo_image_surface_get_data(img->surface);
    unsigned char* dst = cairo_image_surface_get_data(img->tinted);
    if (!src || !dst)
        return nullptr;
    const float k[4] = {Clamp01(tint.a), Clamp01(tint.r) * Clamp01(tint.a),
                        Clamp01(tint.g) * Clamp01(tint.a), Clamp01(tint.b) * Clamp01(tint.a)};
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
    return img->tinted;
}

void GraphSurface::DrawImageTriangles(const Image& img, cairo_surface_t* source, float x1, float y1,
                                      float x2, float y2, float x3, float y3, float x4, float y4)
{
    const float w = static_cast<float>(img.width), h = static_cast<float>(img.height);
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
        cairo_pattern_set_filter(pattern, (img.flags & GRAPH_IMAGE_NEAREST)
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
}
