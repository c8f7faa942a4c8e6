#pragma once
// Drawing into LICE bitmaps: frame blits with the editor's blend methods, rotated drawing,
// lines and filled rectangles. Every operation clips to the destination bitmap and to the
// given clip rectangle (editor coordinates, y downward; null means the whole bitmap).
//
// Blend methods (the IChannelBlend values): 0 or anything outside 1..6 copies using the source
// alpha, 1 copies ignoring alpha, 2 adds, 3 colour dodge, 4 multiply, 5 overlay, 6 hue-
// saturation-value adjust; 2..6 also use the source alpha. `weight` (0..1) scales the effect.
// Pixels are straight (not premultiplied) A-R-G-B.

#include "editor/IControlTypes.h"
#include "editor/LICE_Bitmap.h"

// Copies the w × h area at (srcx, srcy) of src to (dstx, dsty) of dest.
void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int srcx,
               int srcy, int w, int h, float weight, int blendMethod, const IRECT* clip);

// Draws src rotated by angleRadians (clockwise on screen) about its centre, scaled into the
// destination rectangle (dstx, dsty, dstw, dsth), bilinear-filtered.
void LICE_RotatedBlit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int dstw,
                      int dsth, float srcx, float srcy, float srcw, float srch,
                      float angleRadians, float weight, int blendMethod, const IRECT* clip);

// A line from (x1, y1) to (x2, y2) in pixel coordinates, anti-aliased when asked.
void LICE_Line(LICE_IBitmap* dest, float x1, float y1, float x2, float y2, LICE_pixel color,
               float weight, int blendMethod, bool antiAlias, const IRECT* clip);

// Fills the rectangle (x, y, w, h) with the colour (its alpha and the weight blend it in).
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color,
                   float weight, int blendMethod, const IRECT* clip);

// Blends one source pixel over one destination pixel by the method; exposed so each method's
// arithmetic can be checked by hand.
LICE_pixel LICE_BlendPixel(LICE_pixel dest, LICE_pixel src, float weight, int blendMethod);
