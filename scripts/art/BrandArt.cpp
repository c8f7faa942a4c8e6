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

namespace
{
// The emblem's two rings, centred on (cx, cy), of radius r, their centres 2 d apart, with a
// dot of radius dot in the middle.
void DrawRings(cairo_t* cr, double cx, double cy, double r, double d, double lineWidth, double dot)
{
    // Rings add where they overlap, so the shared (mono) part glows.
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    const Colour left = palette::kAccent;
    const Colour right = Rgb(72, 196, 214);
    for (int side = 0; side < 2; ++side)
    {
        const double x = side == 0 ? cx - d : cx + d;
        const Colour& colour = side == 0 ? left : right;
        cairo_arc(cr, x, cy, r, 0, 2 * M_PI);
        SetColour(cr, WithAlpha(colour, 0.16));
        cairo_fill(cr);
        cairo_set_line_width(cr, lineWidth);
        cairo_arc(cr, x, cy, r, 0, 2 * M_PI);
        SetColour(cr, WithAlpha(colour, 0.9));
        cairo_stroke(cr);
    }
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_arc(cr, cx, cy, dot, 0, 2 * M_PI);
    SetColour(cr, palette::kAccentPale);
    cairo_fill(cr);
}
} // namespace

void MakeLogo(Canvas& canvas)
{
    const StripSize& size = layout::kLogo;
    DrawStrip(canvas, size,
              [&](cairo_t* cr, int, double t)
              {
                  const double c = size.frameWidth / 2.0;
                  // Half the distance between the ring centres: from one ring to two.
                  DrawRings(cr, c, c, 7.0, 0.5 + 5.5 * t, 1.8, 1.6);
              });
}

void MakeIcon(Canvas& canvas)
{
    cairo_t* cr = canvas.Context();
    const double s = canvas.Width();
    RoundedRect(cr, 1, 1, s - 2, s - 2, s * 0.18);
    FillVertical(cr, 1, s - 1, palette::kDeckTop, palette::kDeckBottom);
    RoundedRect(cr, 1.5, 1.5, s - 3, s - 3, s * 0.18);
    cairo_set_line_width(cr, 1);
    SetColour(cr, palette::kBorder);
    cairo_stroke(cr);
    // The emblem at its widest, as the window's mark.
    DrawRings(cr, s / 2, s / 2, s * 0.25, s * 0.14, s * 0.055, s * 0.05);
}

} // namespace art
