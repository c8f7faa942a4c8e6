#pragma once
// Drawing into LICE bitmaps: frame blits with the editor's blend methods, rotated drawing,
// lines and filled rectangles. Every operation clips to the destination bitmap and to the
// given clip rectangle (editor coordinates, y downward; null means the whole bitmap).
//
// Blend methods (the IChannelBlend values): 0 or anything outside 1..6 copies using the source
// alpha, 1 copies ignoring alpha, 2 adds, 3 colour dodge, 4 multiply, 5 overlay, 6 hue-
// saturation-value adjust; 2..6 also use the source alpha. `weight` (0..1) scales the effect.
// Pixels are straight (not premultiplied) A-R-G-B. The arithmetic of each method is written out
// in LICE_Blend.h.

#include "editor/IControlTypes.h"
#include "editor/LICE_Bitmap.h"
#include "editor/LICE_Blend.h"

// The pixels an operation may touch: the destination bitmap cut to the clip rectangle (null:
// the whole bitmap), as the half-open ranges [x0, x1) × [y0, y1).
struct LICE_Area
{
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};
LICE_Area LICE_DrawableArea(const LICE_IBitmap* dest, const IRECT* clip);

// Copies the w × h area at (srcx, srcy) of src to (dstx, dsty) of dest.
void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int w, int h, float weight, int blendMethod, const IRECT* clip);

// Draws the (srcx, srcy, srcw, srch) area of src rotated by angleRadians (clockwise on screen)
// about its centre, scaled into the destination rectangle (dstx, dsty, dstw, dsth) and
// bilinear-filtered; only pixels inside that rectangle are drawn, and outside the source area
// counts as transparent.
void LICE_RotatedBlit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int dstw,
                      int dsth, float srcx, float srcy, float srcw, float srch, float angleRadians,
                      float weight, int blendMethod, const IRECT* clip);

// A line from (x1, y1) to (x2, y2), both ends included; integer coordinates are pixel centres.
// Bresenham-like (one pixel per step of the longer axis) or anti-aliased (Wu) when asked.
void LICE_Line(LICE_IBitmap* dest, float x1, float y1, float x2, float y2, LICE_pixel color,
               float weight, int blendMethod, bool antiAlias, const IRECT* clip);

// Fills the rectangle (x, y, w, h) with the colour (its alpha and the weight blend it in).
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float weight,
                   int blendMethod, const IRECT* clip);
