#include "BrandArt.h"

#include <cmath>

namespace art
{

void MakePluginName(Canvas& canvas, const ArtFont& font)
{
    cairo_t* cr = canvas.Context();
    const double baseline = 15;
    font.Use(cr, sizes::kWordmarkPx, true);
    SetColour(cr, palette::kAccent);
    DrawText(cr, "TW", 1, baseline, 0, 0.5);
    const double x = 1 + TextWidth(cr, "TW") + 0.5 + 6;
    font.Use(cr, sizes::kWordmarkPx, false);
    SetColour(cr, palette::kWordmark);
    DrawText(cr, "PARANDEL", x, baseline, 0, 2.2);
}

void MakeLogo(Canvas& canvas)
{
    const StripSize& size = layout::kLogo;
    DrawStrip(canvas, size,
              [&](cairo_t* cr, int, double t)
              {
                  const double c = size.frameWidth / 2.0;
                  const double r = 7.0;
                  const double d = 0.5 + 5.5 * t; // half the distance between the ring centres
                  // Rings add where they overlap, so the shared (mono) part glows.
                  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
                  const Colour left = palette::kAccent;
                  const Colour right = Rgb(72, 196, 214);
                  for (int side = 0; side < 2; ++side)
                  {
                      const double x = side == 0 ? c - d : c + d;
                      const Colour& colour = side == 0 ? left : right;
                      cairo_arc(cr, x, c, r, 0, 2 * M_PI);
                      SetColour(cr, WithAlpha(colour, 0.16));
                      cairo_fill(cr);
                      cairo_set_line_width(cr, 1.8);
                      cairo_arc(cr, x, c, r, 0, 2 * M_PI);
                      SetColour(cr, WithAlpha(colour, 0.9));
                      cairo_stroke(cr);
                  }
                  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
                  cairo_arc(cr, c, c, 1.6, 0, 2 * M_PI);
                  SetColour(cr, palette::kAccentPale);
                  cairo_fill(cr);
              });
}

} // namespace art
