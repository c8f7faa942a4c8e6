#include "BackgroundArt.h"

#include "KnobArt.h"

#include <cmath>

namespace art
{

namespace
{

constexpr int kToolbarBottom = 294; // first row of the deck

struct KnobScale
{
    Point at;
    StripSize size;
    const char* low;
    const char* high;
    bool bipolar; // a stronger tick at the centre of the sweep
};

const KnobScale kKnobScales[] = {
    {layout::kWidthKnob, layout::kBigKnob, "-100", "+100", true},
    {layout::kPanKnob, layout::kSmallKnob, "L", "R", true},
    {layout::kBassFocusKnob, layout::kSmallKnob, "0", "500", false},
    {layout::kOutGainKnob, layout::kSmallKnob, "-12", "+12", true},
};

void DrawBands(cairo_t* cr)
{
    const double w = layout::kEditorWidth;
    cairo_rectangle(cr, 0, 0, w, layout::kGraphHeight);
    SetColour(cr, palette::kScopeArea);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, layout::kGraphHeight, w, layout::kControlsTop - layout::kGraphHeight);
    SetColour(cr, palette::kTrough);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, layout::kControlsTop, w, kToolbarBottom - layout::kControlsTop);
    FillVertical(cr, layout::kControlsTop, kToolbarBottom, palette::kToolbarTop,
                 palette::kToolbarBottom);
    cairo_rectangle(cr, 0, kToolbarBottom, w, layout::kEditorHeight - kToolbarBottom);
    FillVertical(cr, kToolbarBottom, layout::kEditorHeight, palette::kDeckTop,
                 palette::kDeckBottom);
    // Light falls on the deck from above the centre, where the main control is.
    cairo_pattern_t* light =
        cairo_pattern_create_radial(w / 2, kToolbarBottom, 0, w / 2, kToolbarBottom, w * 0.62);
    cairo_pattern_add_color_stop_rgba(light, 0, 1, 1, 1, 0.045);
    cairo_pattern_add_color_stop_rgba(light, 1, 1, 1, 1, 0);
    cairo_rectangle(cr, 0, kToolbarBottom, w, layout::kEditorHeight - kToolbarBottom);
    cairo_set_source(cr, light);
    cairo_fill(cr);
    cairo_pattern_destroy(light);
    // The deck's upper edge: a shadow cast by the display above, then a lit lip.
    cairo_rectangle(cr, 0, kToolbarBottom, w, 1);
    SetColour(cr, palette::kEdgeDark);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, kToolbarBottom + 1, w, 1);
    SetColour(cr, palette::kEdgeLight);
    cairo_fill(cr);
}

void DrawKnobScale(cairo_t* cr, const ArtFont& font, const KnobScale& k)
{
    const double size = k.size.frameWidth;
    const double cx = k.at.x + size / 2;
    const double cy = k.at.y + k.size.frameHeight / 2.0;
    const double plate = sizes::kKnob.plateRadius * size;

    // A soft well around the knob seats it in the deck.
    cairo_pattern_t* well = cairo_pattern_create_radial(cx, cy + 1, plate, cx, cy + 1, plate + 9);
    cairo_pattern_add_color_stop_rgba(well, 0, 0, 0, 0, 0.32);
    cairo_pattern_add_color_stop_rgba(well, 1, 0, 0, 0, 0);
    cairo_arc(cr, cx, cy + 1, plate + 9, 0, 2 * M_PI);
    cairo_set_source(cr, well);
    cairo_fill(cr);
    cairo_pattern_destroy(well);

    const double r0 = plate + sizes::kTickGap;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    for (int i = 0; i < sizes::kTickCount; ++i)
    {
        const double v = double(i) / (sizes::kTickCount - 1);
        const bool end = i == 0 || i == sizes::kTickCount - 1;
        const bool major = end || (k.bipolar && 2 * i == sizes::kTickCount - 1);
        const double a = KnobAngle(v);
        const double r1 = r0 + (major ? sizes::kTickMajorLength : sizes::kTickMinor);
        cairo_move_to(cr, cx + r0 * std::cos(a), cy + r0 * std::sin(a));
        cairo_line_to(cr, cx + r1 * std::cos(a), cy + r1 * std::sin(a));
        cairo_set_line_width(cr, major ? 1.5 : 1.0);
        SetColour(cr, major ? palette::kTickMajor : palette::kTick);
        cairo_stroke(cr);
    }

    // Range labels just below the outer ends of the first and last ticks.
    font.Use(cr, sizes::kLabelPx, true);
    SetColour(cr, palette::kLabel);
    const double rEnd = r0 + sizes::kTickMajorLength;
    for (int side = 0; side < 2; ++side)
    {
        const double a = KnobAngle(side);
        const double x = cx + rEnd * std::cos(a) + (side == 0 ? -1.0 : 1.0);
        const double y = cy + rEnd * std::sin(a) + sizes::kRangeLabelDrop;
        DrawText(cr, side == 0 ? k.low : k.high, x, CapCentredBaseline(cr, y), 1);
    }
}

} // namespace

void MakeBackground(Canvas& canvas, const ArtFont& font)
{
    cairo_t* cr = canvas.Context();
    DrawBands(cr);
    for (const KnobScale& k : kKnobScales)
        DrawKnobScale(cr, font, k);
}

} // namespace art
