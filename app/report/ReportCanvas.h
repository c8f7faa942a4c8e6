#pragma once
// A Cairo drawing for the analysis report's pictures, in the editor's font (the bundle's
// font.ttf, loaded with FreeType so that the pictures do not depend on the fonts a machine has)
// and the editor's palette (editor/ArtPalette.h, which the editor's artwork is drawn with).

#include "editor/ArtPalette.h"

#include <memory>
#include <string>

struct _cairo;
struct _cairo_surface;
class LICE_IBitmap;
class LICE_MemBitmap;

namespace app
{
class ReportCanvas
{
public:
    // An opaque picture filled with colour; Ok() is false when Cairo cannot make it.
    ReportCanvas(int width, int height, const art::Colour& fill);
    ~ReportCanvas();
    ReportCanvas(const ReportCanvas&) = delete;
    ReportCanvas& operator=(const ReportCanvas&) = delete;

    bool Ok() const;
    // Why the drawing failed, as Cairo says it ("invalid value (typically too big) for the size
    // of the input (surface, pattern, etc.)"); empty while Ok().
    std::string Problem() const;
    _cairo* Cr() const { return mCr; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }

    void Colour(const art::Colour& colour);
    // The editor's font at px pixels (the em box); bold is the regular face emboldened.
    void Font(double px, bool bold = false);
    double TextWidth(const std::string& utf8);
    // Text with its baseline at y; x is its left edge, centre or right edge by align
    // (0, 1, 2). Returns the x after the text.
    double Text(const std::string& utf8, double x, double baseline, int align = 0);
    // The bitmap with its top-left corner at (x, y), alpha blended.
    void DrawBitmap(const LICE_IBitmap& bitmap, int x, int y);
    // The picture as a bitmap; null when memory ran out.
    std::unique_ptr<LICE_MemBitmap> ToBitmap() const;

private:
    int mWidth;
    int mHeight;
    _cairo_surface* mSurface;
    _cairo* mCr;
};
} // namespace app
