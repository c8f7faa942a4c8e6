#pragma once
// A transparent Cairo image the art is drawn on, and the vertical frame strips the editor cuts
// knobs, meters and buttons from (frame 1 on top).

#include "ArtLayout.h"
#include "editor/ArtPalette.h"

#include <cairo.h>
#include <functional>
#include <string>

namespace art
{

class Canvas
{
public:
    // width × height in drawing units; the image has scale device pixels per unit (rounded) and
    // the context draws in units, so the same drawing makes the art for every display scale.
    Canvas(int width, int height, double scale = 1.0);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* Context() const { return mCairo; }
    cairo_surface_t* Surface() const { return mSurface; }
    // In drawing units.
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }

    // Writes the image as an 8-bit straight-alpha RGBA PNG; throws std::runtime_error.
    void Save(const std::string& path) const;

private:
    int mWidth;
    int mHeight;
    cairo_surface_t* mSurface;
    cairo_t* mCairo;
};

// Draws every frame of a strip: draw(cr, index, value) with the origin at the frame's top-left,
// clipped to the frame, value = index / (frames - 1) (0 for a single frame).
using FrameDrawer = std::function<void(cairo_t* cr, int index, double value)>;
void DrawStrip(Canvas& canvas, const StripSize& size, const FrameDrawer& draw);

// Small Cairo conveniences shared by the drawings.
void SetColour(cairo_t* cr, const Colour& c);
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
// A vertical linear gradient from top colour at y0 to bottom colour at y1.
cairo_pattern_t* VerticalGradient(double y0, double y1, const Colour& top, const Colour& bottom);
void FillVertical(cairo_t* cr, double y0, double y1, const Colour& top, const Colour& bottom);

} // namespace art
