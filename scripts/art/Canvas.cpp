#include "Canvas.h"

#include "PngWriter.h"

#include <cmath>
#include <stdexcept>

namespace art
{

Canvas::Canvas(int width, int height, double scale)
    : mWidth(width), mHeight(height),
      mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(std::lround(width * scale)),
                                          int(std::lround(height * scale)))),
      mCairo(cairo_create(mSurface))
{
    if (cairo_surface_status(mSurface) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot create a " + std::to_string(width) + " x " +
                                 std::to_string(height) + " image");
    if (scale != 1.0)
        cairo_scale(mCairo, scale, scale);
}

Canvas::~Canvas()
{
    cairo_destroy(mCairo);
    cairo_surface_destroy(mSurface);
}

void Canvas::Save(const std::string& path) const
{
    cairo_surface_flush(mSurface);
    WritePng(path, mSurface);
}

void DrawStrip(Canvas& canvas, const StripSize& size, const FrameDrawer& draw)
{
    cairo_t* cr = canvas.Context();
    for (int i = 0; i < size.frames; ++i)
    {
        const double value = size.frames > 1 ? double(i) / (size.frames - 1) : 0.0;
        cairo_save(cr);
        cairo_translate(cr, 0, double(i) * size.frameHeight);
        cairo_rectangle(cr, 0, 0, size.frameWidth, size.frameHeight);
        cairo_clip(cr);
        cairo_new_path(cr);
        draw(cr, i, value);
        cairo_restore(cr);
    }
}

void SetColour(cairo_t* cr, const Colour& c)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    const double quarter = M_PI / 2;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -quarter, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, quarter);
    cairo_arc(cr, x + r, y + h - r, r, quarter, 2 * quarter);
    cairo_arc(cr, x + r, y + r, r, 2 * quarter, 3 * quarter);
    cairo_close_path(cr);
}

cairo_pattern_t* VerticalGradient(double y0, double y1, const Colour& top, const Colour& bottom)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
    cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
    return p;
}

void FillVertical(cairo_t* cr, double y0, double y1, const Colour& top, const Colour& bottom)
{
    cairo_pattern_t* p = VerticalGradient(y0, y1, top, bottom);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

} // namespace art
