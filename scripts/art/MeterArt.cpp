#include "MeterArt.h"

#include <algorithm>
#include <cmath>

namespace art
{

namespace
{

// The ±1 ends of the scale in a meter's own x, from the shared editor positions.
struct Scale
{
    double left, right;
    double Centre() const { return (left + right) / 2; }
    double At(double v) const { return left + (right - left) * v; }
};

Scale MeterScale(const Point& meterAt)
{
    return Scale{double(sizes::kMeterScaleLeft - meterAt.x),
                 double(sizes::kMeterScaleRight - meterAt.x)};
}

void DrawTrough(cairo_t* cr, double w, double h)
{
    RoundedRect(cr, 0, 0, w, h, sizes::kCornerRadius);
    SetColour(cr, palette::kTrough);
    cairo_fill(cr);
    // Inner shadow along the top edge: the meter sits recessed under the scope.
    cairo_rectangle(cr, 1, 0, w - 2, 1);
    SetColour(cr, Rgb(0, 0, 0, 0.6));
    cairo_fill(cr);
}

void Tick(cairo_t* cr, double x, double y0, double y1, const Colour& colour)
{
    cairo_rectangle(cr, std::floor(x), y0, 1, y1 - y0);
    SetColour(cr, colour);
    cairo_fill(cr);
}

// A horizontal bar from x0 to x1 whose colour runs from dim at the centre to bright at the
// scale's end, so a large excursion looks strong.
void Bar(cairo_t* cr, double x0, double x1, double y0, double y1, double centre, double end,
         const Colour& dim, const Colour& bright)
{
    if (std::fabs(x1 - x0) < 0.01)
        return;
    cairo_rectangle(cr, std::min(x0, x1), y0, std::fabs(x1 - x0), y1 - y0);
    cairo_pattern_t* p = cairo_pattern_create_linear(centre, 0, end, 0);
    cairo_pattern_add_color_stop_rgba(p, 0, dim.r, dim.g, dim.b, dim.a);
    cairo_pattern_add_color_stop_rgba(p, 1, bright.r, bright.g, bright.b, bright.a);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

} // namespace

void MakeCorrelationMeter(Canvas& canvas, const ArtFont& font)
{
    const StripSize& size = layout::kCorrelationMeter;
    const Scale s = MeterScale(layout::kCorrelationMeterAt);
    const double w = size.frameWidth;
    const double h = size.frameHeight;
    const double barTop = 5;
    const double barBottom = h - 5;
    DrawStrip(canvas, size,
              [&](cairo_t* cr, int, double v)
              {
                  DrawTrough(cr, w, h);
                  // Scale: quarter ticks above and below the bar, the centre line through it.
                  for (int i = 0; i <= 8; ++i)
                  {
                      const double x = s.At(i / 8.0);
                      const bool major = i % 4 == 0;
                      const Colour c = major ? palette::kTickMajor : palette::kTick;
                      Tick(cr, x, 2, major ? barTop - 0.5 : barTop - 1.5, c);
                      Tick(cr, x, major ? barBottom + 0.5 : barBottom + 1.5, h - 2, c);
                  }
                  const double x = s.At(v);
                  const double c = s.Centre();
                  if (v < 0.5)
                      Bar(cr, x, c, barTop, barBottom, c, s.left, palette::kNegativeDim,
                          palette::kNegative);
                  else
                      Bar(cr, c, x, barTop, barBottom, c, s.right, palette::kPositiveDim,
                          palette::kPositive);
                  Tick(cr, c, barTop, barBottom, WithAlpha(palette::kTickMajor, 0.8));
                  // The needle: the exact reading, always visible even at 0.
                  cairo_rectangle(cr, x - 1, barTop - 1, 2, barBottom - barTop + 2);
                  SetColour(cr, palette::kNeedle);
                  cairo_fill(cr);

                  font.Use(cr, sizes::kMeterLabelPx, true);
                  const double baseline = CapCentredBaseline(cr, h / 2);
                  // The "0" sits on a chip of trough over the centre; it hides only readings within
                  // a hair of 0, and the needle stays drawn over it.
                  const double chip = TextWidth(cr, "0") + 4;
                  RoundedRect(cr, c - chip / 2, barTop - 1, chip, barBottom - barTop + 2, 1.5);
                  SetColour(cr, palette::kTrough);
                  cairo_fill(cr);
                  SetColour(cr, palette::kMeterLabel);
                  DrawText(cr, "-1", s.left / 2, baseline, 1);
                  DrawText(cr, "0", c, baseline, 1);
                  DrawText(cr, "+1", (s.right + w) / 2, baseline, 1);
                  if (std::fabs(x - c) > chip / 2)
                      return;
                  cairo_rectangle(cr, x - 1, barTop - 1, 2, barBottom - barTop + 2);
                  SetColour(cr, palette::kNeedle);
                  cairo_fill(cr);
              });
}

void MakeWidthMeter(Canvas& canvas)
{
    const StripSize& size = layout::kWidthMeter;
    const Scale s = MeterScale(layout::kWidthMeterAt);
    const double w = size.frameWidth;
    const double h = size.frameHeight;
    const double c = s.Centre();
    const double full = (s.right - s.left) / 2;
    DrawStrip(canvas, size,
              [&](cairo_t* cr, int, double v)
              {
                  DrawTrough(cr, w, h);
                  const double half = full * v;
                  const double unchanged = full * 0.5;
                  // Up to the unchanged width in the accent, beyond it (side boosted) paler.
                  const double inner = std::min(half, unchanged);
                  for (double side : {-1.0, 1.0})
                  {
                      Bar(cr, c, c + side * inner, 3, h - 3, c, c + side * unchanged,
                          palette::kAccentDeep, palette::kAccent);
                      if (half > unchanged)
                          Bar(cr, c + side * unchanged, c + side * half, 3, h - 3,
                              c + side * unchanged, c + side * full, palette::kAccent,
                              palette::kAccentPale);
                  }
                  // Mono is a point: the centre mark stays lit even at v = 0.
                  cairo_rectangle(cr, c - 1, 2, 2, h - 4);
                  SetColour(cr, v > 0 ? palette::kAccentPale : palette::kAccentLight);
                  cairo_fill(cr);
                  for (double x : {c - unchanged, c + unchanged})
                      Tick(cr, x, 1, h - 1, palette::kTickMajor);
                  for (double x : {s.left, s.right})
                      Tick(cr, x, 2, h - 2, palette::kTick);
              });
}

} // namespace art
