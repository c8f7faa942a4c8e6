#include "ButtonArt.h"

#include <cmath>

namespace art
{

namespace
{

// A recessed rounded square; lit, it fills with the accent (and glows, where there is room).
void ButtonBody(cairo_t* cr, double x, double y, double s, double radius, bool lit, bool glow)
{
    if (lit)
    {
        if (glow)
        {
            RoundedRect(cr, x - 1.5, y - 1.5, s + 3, s + 3, radius + 1.5);
            SetColour(cr, WithAlpha(palette::kAccent, 0.22));
            cairo_fill(cr);
        }
        RoundedRect(cr, x, y, s, s, radius);
        FillVertical(cr, y, y + s, Rgb(58, 88, 176), palette::kAccentDeep);
    }
    else
    {
        RoundedRect(cr, x, y, s, s, radius);
        FillVertical(cr, y, y + s, Rgb(12, 13, 17), Rgb(22, 24, 30));
    }
    cairo_set_line_width(cr, 1.0);
    RoundedRect(cr, x + 0.5, y + 0.5, s - 1, s - 1, radius - 0.5);
    SetColour(cr, lit ? palette::kBorderLit : palette::kBorder);
    cairo_stroke(cr);
}

void CheckMark(cairo_t* cr, double x, double y, double s, const Colour& colour, double width)
{
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x + s * 0.25, y + s * 0.52);
    cairo_line_to(cr, x + s * 0.43, y + s * 0.70);
    cairo_line_to(cr, x + s * 0.76, y + s * 0.31);
    SetColour(cr, colour);
    cairo_stroke(cr);
}

// Icon drawings in an 18 x 18 frame; ink is the stroke colour of the state. Marks are kept at
// least two pixels apart so they stay distinct at this size.
constexpr double kIconBaseY = 13.5;

void HalfCircle(cairo_t* cr, const Colour& ink, bool closed)
{
    cairo_set_line_width(cr, 1.0);
    cairo_arc(cr, 9, kIconBaseY, 6.5, M_PI, 2 * M_PI);
    if (closed)
        cairo_close_path(cr);
    SetColour(cr, ink);
    cairo_stroke(cr);
}

// Rays from just above the bottom centre: {angle from straight up in radians, length}.
void Rays(cairo_t* cr, const double (*rays)[2], int count, const Colour* colours)
{
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 1.1);
    for (int i = 0; i < count; ++i)
    {
        const double a = -M_PI / 2 + rays[i][0];
        cairo_move_to(cr, 9 + 1.8 * std::cos(a), kIconBaseY + 1.8 * std::sin(a));
        cairo_line_to(cr, 9 + rays[i][1] * std::cos(a), kIconBaseY + rays[i][1] * std::sin(a));
        SetColour(cr, colours[i]);
        cairo_stroke(cr);
    }
}

void PolarIcon(cairo_t* cr, const Colour& ink, bool lit)
{
    HalfCircle(cr, ink, true);
    static const double dots[][2] = {
        {8.2, 9.2}, {10.5, 9.6}, {9.2, 11.0}, {6.9, 11.9}, {11.6, 12.0}};
    for (const auto& d : dots)
    {
        cairo_arc(cr, d[0], d[1], 0.8, 0, 2 * M_PI);
        SetColour(cr, lit ? palette::kAccentPale : ink);
        cairo_fill(cr);
    }
}

void LissajousIcon(cairo_t* cr, const Colour& ink, bool lit)
{
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, 9, 2.5);
    cairo_line_to(cr, 15.5, 9);
    cairo_line_to(cr, 9, 15.5);
    cairo_line_to(cr, 2.5, 9);
    cairo_close_path(cr);
    SetColour(cr, ink);
    cairo_stroke(cr);
    // A narrow upright loop: a nearly mono signal.
    cairo_save(cr);
    cairo_translate(cr, 9, 9);
    cairo_rotate(cr, 0.3);
    cairo_scale(cr, 1.5, 4.2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    cairo_set_line_width(cr, 1.1);
    SetColour(cr, lit ? palette::kAccentPale : ink);
    cairo_stroke(cr);
}

void FlameIcon(cairo_t* cr, const Colour& ink, bool lit)
{
    HalfCircle(cr, WithAlpha(ink, 0.6), false);
    // A direction histogram: a fan of rays, each tipped with its held peak.
    static const double rays[][2] = {
        {-1.1, 3.4}, {-0.55, 5.6}, {0.0, 7.4}, {0.55, 5.0}, {1.1, 3.0}};
    const Colour c = lit ? palette::kAccentLight : ink;
    const Colour colours[] = {c, c, c, c, c};
    Rays(cr, rays, 5, colours);
    for (const auto& ray : rays)
    {
        const double a = -M_PI / 2 + ray[0];
        const double r = ray[1] + 1.2;
        cairo_arc(cr, 9 + r * std::cos(a), kIconBaseY + r * std::sin(a), 0.65, 0, 2 * M_PI);
        SetColour(cr, lit ? palette::kPointer : palette::kGlyph);
        cairo_fill(cr);
    }
}

void GridIcon(cairo_t* cr, const Colour& ink, bool lit)
{
    // A stage seen from a listening point below the icon: arcs, radial lines and the ball.
    const double cx = 9, cy = 30;
    const double spread = 0.24;
    cairo_set_line_width(cr, 1.0);
    for (double r : {16.5, 20.5, 24.5})
    {
        cairo_new_sub_path(cr);
        cairo_arc(cr, cx, cy, r, -M_PI / 2 - spread, -M_PI / 2 + spread);
    }
    for (int k = -1; k <= 1; ++k)
    {
        const double a = -M_PI / 2 + spread * k;
        cairo_move_to(cr, cx + 16.5 * std::cos(a), cy + 16.5 * std::sin(a));
        cairo_line_to(cr, cx + 24.5 * std::cos(a), cy + 24.5 * std::sin(a));
    }
    SetColour(cr, WithAlpha(ink, 0.75));
    cairo_stroke(cr);
    // The ball between the lines, right of centre, as a panned source.
    const double a = -M_PI / 2 + spread * 0.5;
    cairo_arc(cr, cx + 22.5 * std::cos(a), cy + 22.5 * std::sin(a), 1.9, 0, 2 * M_PI);
    SetColour(cr, lit ? palette::kPointer : palette::kGlyph);
    cairo_fill(cr);
}

void SourceIcon(cairo_t* cr, const Colour& ink, bool lit)
{
    HalfCircle(cr, WithAlpha(ink, 0.6), false);
    // One ray per band of frequencies, each in its own direction and colour.
    static const double rays[][2] = {{-1.0, 4.6}, {-0.6, 6.4}, {-0.2, 5.2},
                                     {0.2, 7.2},  {0.6, 5.6},  {1.0, 4.2}};
    Colour colours[6];
    for (int i = 0; i < 6; ++i)
        colours[i] = lit ? palette::kSpectrum[i] : WithAlpha(palette::kSpectrum[i], 0.55);
    Rays(cr, rays, 6, colours);
}

} // namespace

void MakeCheckbox(Canvas& canvas)
{
    const StripSize& size = layout::kCheckbox;
    DrawStrip(canvas, size,
              [&](cairo_t* cr, int index, double)
              {
                  const bool on = index == 1;
                  const double box = 20;
                  const double x = (size.frameWidth - box) / 2;
                  ButtonBody(cr, x, x, box, 4, on, true);
                  if (on)
                      CheckMark(cr, x, x, box, palette::kPointer, 2.4);
                  else
                      CheckMark(cr, x, x, box, WithAlpha(palette::kGlyphDim, 0.22), 2.0);
              });
}

void MakeModeIcon(Canvas& canvas, int mode)
{
    using Icon = void (*)(cairo_t*, const Colour&, bool);
    static const Icon icons[] = {PolarIcon, LissajousIcon, FlameIcon, GridIcon, SourceIcon};
    const StripSize& size = layout::kModeIcon;
    DrawStrip(canvas, size,
              [&](cairo_t* cr, int index, double)
              {
                  const bool on = index == 1;
                  ButtonBody(cr, 0, 0, size.frameWidth, 3.5, on, false);
                  cairo_rectangle(cr, 1, 1, size.frameWidth - 2, size.frameHeight - 2);
                  cairo_clip(cr);
                  icons[mode](cr, on ? palette::kGlyph : palette::kGlyphDim, on);
              });
}

void MakeHelpButton(Canvas& canvas, const ArtFont& font)
{
    cairo_t* cr = canvas.Context();
    const double c = canvas.Width() / 2.0;
    const double r = c - 1.5;
    cairo_arc(cr, c, c + 0.5, r + 1, 0, 2 * M_PI);
    SetColour(cr, Rgb(0, 0, 0, 0.35));
    cairo_fill(cr);
    cairo_arc(cr, c, c, r, 0, 2 * M_PI);
    FillVertical(cr, c - r, c + r, Rgb(40, 44, 55), Rgb(24, 26, 33));
    cairo_set_line_width(cr, 1.0);
    cairo_arc(cr, c, c, r - 0.5, 0, 2 * M_PI);
    SetColour(cr, palette::kBorder);
    cairo_stroke(cr);
    font.Use(cr, sizes::kHelpGlyphPx, true);
    SetColour(cr, palette::kGlyph);
    DrawText(cr, "?", c + 0.5, CapCentredBaseline(cr, c), 1);
}

void MakeTextField(Canvas& canvas)
{
    cairo_t* cr = canvas.Context();
    const double w = canvas.Width();
    const double h = canvas.Height();
    const double r = sizes::kCornerRadius;
    RoundedRect(cr, 0, 0, w, h, r);
    SetColour(cr, palette::kEdgeLight);
    cairo_fill(cr);
    RoundedRect(cr, 0, 0, w, h - 1, r);
    FillVertical(cr, 0, h - 1, Rgb(4, 5, 7), palette::kTrough);
    cairo_set_line_width(cr, 1.0);
    RoundedRect(cr, 0.5, 0.5, w - 1, h - 2, r - 0.5);
    SetColour(cr, Rgb(40, 43, 53));
    cairo_stroke(cr);
}

} // namespace art
