#pragma once
// The per-pixel arithmetic of the editor's blend methods (the IChannelBlend values).
//
// Channels are 0..255; s is the source pixel, d the destination pixel, w the weight limited to
// 0..1 (0, negative or NaN draws nothing). Each method first makes a target colour T from d and
// s, channel by channel, and a strength k:
//
//   0 or outside 1..6  copy using alpha     T = s                               k = sA/255 · w
//   1                  copy ignoring alpha  T = s, the source taken as opaque   k = w
//   2                  add                  T = min(255, d + s)                 k = sA/255 · w
//   3                  colour dodge         T = min(255, d · 255 / (255 − s)),  k = sA/255 · w
//                                               255 when s = 255 and d > 0, 0 when d = 0
//   4                  multiply             T = d · s / 255                     k = sA/255 · w
//   5                  overlay              T = 2 d s / 255 when d < 127.5,     k = sA/255 · w
//                                               else 255 − 2 (255 − d)(255 − s) / 255
//   6                  HSV adjust           see below                           k = sA/255 · w
//
// T is then laid over d with strength k, straight alpha "over" (da = dA/255):
//   outA = k + da (1 − k)                      (stored as outA · 255)
//   out  = (T k + d da (1 − k)) / outA         (d unchanged when outA is 0)
// On an opaque destination this is simply out = d + (T − d) k with out opaque, so a pixel can be
// checked by hand: s = (A 128, R 0) over an opaque R 200 at weight 1 gives 200 − 200 · 128/255
// = 99.6 → 100. Results round to the nearest integer.
//
// HSV adjust treats the source's three colour channels as adjustments of the destination's hue,
// saturation and value, with 128 as "no change" in every channel:
//   hue        += (sR − 128) · 360/256 degrees (wrapping)
//   saturation *= sG / 128                      (limited to 0..1)
//   value      *= sB / 128                      (limited to 0..1)
// so a mid-grey source leaves the destination as it is, sG = 0 turns it grey and sB = 0 black.

#include "editor/LICE_Bitmap.h"

// Blends one source pixel over one destination pixel by the method; exposed so each method's
// arithmetic can be checked by hand.
LICE_pixel LICE_BlendPixel(LICE_pixel dest, LICE_pixel src, float weight, int blendMethod);
