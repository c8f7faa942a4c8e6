#include "KnobArt.h"

#include <cmath>

namespace art
{

double KnobAngle(double value)
{
    const double sweep = sizes::kKnobSweepDegrees * M_PI / 180.0;
    return -M_PI / 2 - sweep / 2 + sweep * value;
}

namespace
{

void DrawPlate(cairo_t* cr, double c, double size)
{
    const KnobProportions& k = sizes::kKnob;
    const double r = k.plateRadius * size;
    // A soft contact shadow, then the plate with a faint lit rim on top.
    for (int i = 3; i >= 1; --i)
    {
        cairo_arc(cr, c, c + 0.6, r + 0.4 * i, 0, 2 * M_PI);
        SetColour(cr, Rgb(0, 0, 0, 0.16));
        cairo_fill(cr);
    }
    cairo_arc(cr, c, c, r, 0, 2 * M_PI);
    FillVertical(cr, c - r, c + r, palette::kPlateRim, palette::kPlate);
    cairo_arc(cr, c, c, r - 1.0, 0, 2 * M_PI);
    FillVertical(cr, c - r, c + r, palette::kPlate, Rgb(26, 28, 35));
}

void DrawTrack(cairo_t* cr, double c, double size, double value)
{
    const KnobProportions& k = sizes::kKnob;
    const double r = k.trackRadius * size;
    const double w = k.trackWidth * size;
    const double a0 = KnobAngle(0.0);
    const double a1 = KnobAngle(1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, w + 1.0);
    cairo_arc(cr, c, c, r, a0, a1);
    SetColour(cr, palette::kTrack);
    cairo_stroke(cr);
    // The lower lip of the groove catches a little light.
    cairo_set_line_width(cr, 1.0);
    cairo_arc(cr, c, c, r + w / 2 + 0.5, a0, a1);
    SetColour(cr, WithAlpha(palette::kPlateRim, 0.35));
    cairo_stroke(cr);

    if (value <= 0.0)
        return;
    const double av = KnobAngle(value);
    cairo_set_line_width(cr, w);
    cairo_arc(cr, c, c, r, a0, av);
    SetColour(cr, WithAlpha(palette::kAccent, 0.85));
    cairo_stroke(cr);
    // A brighter tip marks the value's end of the arc.
    cairo_arc(cr, c + r * std::cos(av), c + r * std::sin(av), w * 0.55, 0, 2 * M_PI);
    SetColour(cr, palette::kAccentLight);
    cairo_fill(cr);
}

void DrawCap(cairo_t* cr, double c, double size)
{
    const KnobProportions& k = sizes::kKnob;
    const double r = k.capRadius * size;
    const double f = k.faceRadius * size;
    // Shadow under the cap, falling slightly downwards.
    for (int i = 4; i >= 1; --i)
    {
        cairo_arc(cr, c, c + 1.2, r + 0.45 * i, 0, 2 * M_PI);
        SetColour(cr, Rgb(0, 0, 0, 0.14));
        cairo_fill(cr);
    }
    // Skirt lit from above, face lit from below: a shallow machined bevel.
    cairo_arc(cr, c, c, r, 0, 2 * M_PI);
    FillVertical(cr, c - r, c + r, palette::kCapTop, palette::kCapBottom);
    cairo_arc(cr, c, c, f, 0, 2 * M_PI);
    FillVertical(cr, c - f, c + f, palette::kFaceTop, palette::kFaceBottom);
    // A soft sheen on the face's upper left.
    cairo_pattern_t* sheen =
        cairo_pattern_create_radial(c - f * 0.35, c - f * 0.45, 0, c - f * 0.35, c - f * 0.45, f);
    cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, 0.16);
    cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0);
    cairo_arc(cr, c, c, f, 0, 2 * M_PI);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);
    // Rim: light at the top, dark at the bottom.
    cairo_set_line_width(cr, 1.0);
    cairo_arc(cr, c, c, r - 0.5, 0, 2 * M_PI);
    cairo_pattern_t* rim =
        VerticalGradient(c - r, c + r, Rgb(255, 255, 255, 0.38), Rgb(0, 0, 0, 0.45));
    cairo_set_source(cr, rim);
    cairo_stroke(cr);
    cairo_pattern_destroy(rim);
}

void DrawPointer(cairo_t* cr, double c, double size, double value)
{
    const KnobProportions& k = sizes::kKnob;
    const double r = k.capRadius * size;
    const double a = KnobAngle(value);
    const double dx = std::cos(a);
    const double dy = std::sin(a);
    const double inner = k.pointerInner * r;
    const double outer = k.pointerOuter * r;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, k.pointerWidth * size + 1.2);
    cairo_move_to(cr, c + inner * dx, c + inner * dy + 0.6);
    cairo_line_to(cr, c + outer * dx, c + outer * dy + 0.6);
    SetColour(cr, Rgb(6, 10, 24, 0.45));
    cairo_stroke(cr);
    cairo_set_line_width(cr, k.pointerWidth * size);
    cairo_move_to(cr, c + inner * dx, c + inner * dy);
    cairo_line_to(cr, c + outer * dx, c + outer * dy);
    SetColour(cr, palette::kPointer);
    cairo_stroke(cr);
}

} // namespace

void DrawKnob(cairo_t* cr, double size, double value)
{
    const double c = size / 2;
    DrawPlate(cr, c, size);
    DrawTrack(cr, c, size, value);
    DrawCap(cr, c, size);
    DrawPointer(cr, c, size, value);
}

void MakeKnobStrip(Canvas& canvas, const StripSize& size)
{
    DrawStrip(canvas, size,
              [&](cairo_t* cr, int, double value) { DrawKnob(cr, size.frameWidth, value); });
}

} // namespace art
