#include "app/report/ReportCanvas.h"

#include "editor/BitmapResources.h"
#include "editor/LICE_Bitmap.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <mutex>

namespace app
{
namespace
{
const cairo_user_data_key_t kFaceKey{};

void ReleaseFace(void* face)
{
    FT_Done_Face(static_cast<FT_Face>(face));
}

// The bundle's font as a Cairo face, or null when it cannot be loaded (Cairo's own default
// sans-serif face is used then, so a picture is still made).
cairo_font_face_t* LoadBundledFace(bool bold)
{
    static FT_Library library = nullptr;
    static std::once_flag started;
    std::call_once(started, [] { FT_Init_FreeType(&library); });
    WDL_String path;
    FT_Face face = nullptr;
    if (!library || !ResourcePath("font.ttf", &path) ||
        FT_New_Face(library, path.Get(), 0, &face) != 0)
        return nullptr;
    cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
    if (cairo_font_face_set_user_data(cairoFace, &kFaceKey, face, ReleaseFace) !=
        CAIRO_STATUS_SUCCESS)
    {
        cairo_font_face_destroy(cairoFace);
        FT_Done_Face(face);
        return nullptr;
    }
    if (bold)
        cairo_ft_font_face_set_synthesize(cairoFace, CAIRO_FT_SYNTHESIZE_BOLD);
    return cairoFace;
}

// Loaded once and kept for the process: Cairo caches fonts made from them.
cairo_font_face_t* BundledFace(bool bold)
{
    static cairo_font_face_t* const regular = LoadBundledFace(false);
    static cairo_font_face_t* const emboldened = LoadBundledFace(true);
    return bold ? emboldened : regular;
}
} // namespace

ReportCanvas::ReportCanvas(int width, int height, const art::Colour& fill)
    : mWidth(width), mHeight(height),
      mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      mCr(cairo_create(mSurface))
{
    Colour(fill);
    cairo_paint(mCr);
}

ReportCanvas::~ReportCanvas()
{
    cairo_destroy(mCr);
    cairo_surface_destroy(mSurface);
}

bool ReportCanvas::Ok() const
{
    return cairo_surface_status(mSurface) == CAIRO_STATUS_SUCCESS &&
           cairo_status(mCr) == CAIRO_STATUS_SUCCESS;
}

std::string ReportCanvas::Problem() const
{
    cairo_status_t status = cairo_surface_status(mSurface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_status(mCr);
    return status == CAIRO_STATUS_SUCCESS ? "" : cairo_status_to_string(status);
}

void ReportCanvas::Colour(const art::Colour& c)
{
    cairo_set_source_rgba(mCr, c.r, c.g, c.b, c.a);
}

void ReportCanvas::Font(double px, bool bold)
{
    if (cairo_font_face_t* face = BundledFace(bold))
        cairo_set_font_face(mCr, face);
    else
        cairo_select_font_face(mCr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                               bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(mCr, px);
    // The editor artwork's text options: grey-scale anti-aliasing, light hinting.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(mCr, options);
    cairo_font_options_destroy(options);
}

double ReportCanvas::TextWidth(const std::string& utf8)
{
    cairo_text_extents_t extents;
    cairo_text_extents(mCr, utf8.c_str(), &extents);
    return extents.x_advance;
}

double ReportCanvas::Text(const std::string& utf8, double x, double baseline, int align)
{
    const double width = TextWidth(utf8);
    const double left = align == 1 ? x - width / 2 : align == 2 ? x - width : x;
    cairo_move_to(mCr, left, baseline);
    cairo_show_text(mCr, utf8.c_str());
    return left + width;
}

void ReportCanvas::DrawBitmap(const LICE_IBitmap& bitmap, int x, int y)
{
    const int w = bitmap.getWidth();
    const int h = bitmap.getHeight();
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(image);
        return;
    }
    cairo_surface_flush(image);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    // Cairo keeps premultiplied alpha; the bitmap's is straight.
    for (int row = 0; row < h; ++row)
    {
        const LICE_pixel* src = bitmap.PixelAt(0, row);
        auto* dst = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(row) * stride);
        for (int col = 0; col < w; ++col)
        {
            const unsigned a = LICE_GETA(src[col]);
            auto pre = [a](unsigned v) { return (v * a + 127) / 255; };
            dst[col] = (a << 24) | (pre(LICE_GETR(src[col])) << 16) |
                       (pre(LICE_GETG(src[col])) << 8) | pre(LICE_GETB(src[col]));
        }
    }
    cairo_surface_mark_dirty(image);
    cairo_save(mCr);
    cairo_set_source_surface(mCr, image, x, y);
    cairo_paint(mCr);
    cairo_restore(mCr);
    cairo_surface_destroy(image);
}

std::unique_ptr<LICE_MemBitmap> ReportCanvas::ToBitmap() const
{
    cairo_surface_flush(mSurface);
    auto bitmap = std::make_unique<LICE_MemBitmap>(mWidth, mHeight);
    if (bitmap->getWidth() != mWidth || bitmap->getHeight() != mHeight)
        return nullptr;
    const unsigned char* data = cairo_image_surface_get_data(mSurface);
    const int stride = cairo_image_surface_get_stride(mSurface);
    for (int row = 0; row < mHeight; ++row)
    {
        const auto* src =
            reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(row) * stride);
        LICE_pixel* dst = bitmap->PixelAt(0, row);
        for (int col = 0; col < mWidth; ++col)
        {
            const unsigned a = src[col] >> 24;
            auto straight = [a](unsigned v) { return a ? (v * 255 + a / 2) / a : 0u; };
            dst[col] = LICE_RGBA(straight((src[col] >> 16) & 0xFF),
                                 straight((src[col] >> 8) & 0xFF), straight(src[col] & 0xFF), a);
        }
    }
    return bitmap;
}
} // namespace app
