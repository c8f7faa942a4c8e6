#pragma once
// What the parts of GraphSurface share: the image and font records behind the handles, and
// the colour and coordinate helpers of the drawing code. Internal to GraphSurface.

#include "graph/GraphSurface.h"

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

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

namespace graph_surface_detail
{
inline float Clamp01(float v)
{
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

inline uint32_t ToByte(float v)
{
    return static_cast<uint32_t>(Clamp01(v) * 255.0f + 0.5f);
}

// Straight RGBA (0 … 1) to a premultiplied native cairo pixel.
inline uint32_t PremultipliedPixel(float r, float g, float b, float a)
{
    a = Clamp01(a);
    return (ToByte(a) << 24) | (ToByte(r * a) << 16) | (ToByte(g * a) << 8) | ToByte(b * a);
}

inline bool Finite(float a, float b)
{
    return std::isfinite(a) && std::isfinite(b);
}
} // namespace graph_surface_detail
