#pragma once
// The editor artwork's colours and sizes, named once: a change of palette or of a control's
// proportions is one edit here and a regeneration (scripts/make-art).
//
// The look: a dark blue-grey deck under a near-black scope, one blue accent (the scope's own
// point colour family) for everything that shows a value, neutral greys for scales and labels,
// teal and red-orange only where the correlation meter must say "good" or "bad".

namespace art
{

struct Colour
{
    double r, g, b, a;
};

// From 0..255 channels and an opacity in 0..1.
constexpr Colour Rgb(int r, int g, int b, double a = 1.0)
{
    return Colour{r / 255.0, g / 255.0, b / 255.0, a};
}

constexpr Colour WithAlpha(Colour c, double a)
{
    return Colour{c.r, c.g, c.b, a};
}

namespace palette
{
// Surfaces, from the deepest to the raised deck.
constexpr Colour kScopeArea = Rgb(14, 15, 19);  // under the graph, never seen
constexpr Colour kTrough = Rgb(9, 10, 13);      // meter band and recessed fields
constexpr Colour kToolbarTop = Rgb(17, 18, 23); // the strip of scope-mode buttons
constexpr Colour kToolbarBottom = Rgb(21, 23, 29);
constexpr Colour kDeckTop = Rgb(33, 36, 45); // the control deck
constexpr Colour kDeckBottom = Rgb(24, 26, 33);
constexpr Colour kEdgeDark = Rgb(0, 0, 0, 0.55); // shadow side of a bevel
constexpr Colour kEdgeLight = Rgb(255, 255, 255, 0.06);
constexpr Colour kBorder = Rgb(52, 56, 69); // outlines of fields and buttons
constexpr Colour kBorderLit = Rgb(126, 156, 246);

// Scales and text baked into the art.
constexpr Colour kTick = Rgb(70, 75, 90);
constexpr Colour kTickMajor = Rgb(118, 124, 142);
constexpr Colour kLabel = Rgb(104, 110, 126); // range labels, quieter than the captions
constexpr Colour kMeterLabel = Rgb(128, 134, 152);
constexpr Colour kWordmark = Rgb(206, 211, 224);
constexpr Colour kGlyph = Rgb(186, 192, 208);    // "?" and icon strokes in their lit state
constexpr Colour kGlyphDim = Rgb(124, 131, 150); // icon strokes when off

// The accent: blue, from the scope's point colours (113, 130, 182) and (153, 176, 246).
constexpr Colour kAccent = Rgb(92, 136, 238);
constexpr Colour kAccentLight = Rgb(153, 176, 246);
constexpr Colour kAccentPale = Rgb(206, 218, 255);
constexpr Colour kAccentDeep = Rgb(36, 58, 122);

// Knob: a blue cap on a dark plate with a carved track.
constexpr Colour kPlate = Rgb(20, 22, 28);
constexpr Colour kPlateRim = Rgb(46, 50, 62);
constexpr Colour kTrack = Rgb(6, 7, 9);
constexpr Colour kCapTop = Rgb(96, 132, 222);
constexpr Colour kCapBottom = Rgb(30, 46, 100);
constexpr Colour kFaceTop = Rgb(52, 78, 152);
constexpr Colour kFaceBottom = Rgb(74, 106, 190);
constexpr Colour kPointer = Rgb(242, 246, 255);

// Correlation: in phase is teal-green, out of phase red-orange.
constexpr Colour kPositiveDim = Rgb(26, 104, 90);
constexpr Colour kPositive = Rgb(64, 222, 168);
constexpr Colour kNegativeDim = Rgb(120, 52, 28);
constexpr Colour kNegative = Rgb(250, 98, 58);
constexpr Colour kNeedle = Rgb(236, 240, 250);

// Mode icon 4 ("SOURCE"): low to high frequencies.
constexpr Colour kSpectrum[] = {Rgb(246, 96, 72),  Rgb(246, 170, 64), Rgb(226, 222, 92),
                                Rgb(96, 214, 132), Rgb(80, 190, 236), Rgb(140, 132, 248)};
} // namespace palette

// Proportions of the knob, as fractions of the frame size so both knobs share one drawing.
struct KnobProportions
{
    double plateRadius; // opaque base; everything outside it is transparent
    double trackRadius; // centre line of the carved track and the value arc
    double trackWidth;
    double capRadius;    // the blue cap
    double faceRadius;   // its inner face
    double pointerInner; // pointer from this fraction of the cap radius ...
    double pointerOuter; // ... to this one
    double pointerWidth;
};

namespace sizes
{
constexpr KnobProportions kKnob{0.450, 0.400, 0.050, 0.318, 0.250, 0.22, 0.92, 0.046};
constexpr double kKnobSweepDegrees = 270.0; // from lower-left through the top to lower-right

// Scale around each knob on the background, in pixels beyond the knob's plate.
constexpr double kTickGap = 2.5;
constexpr double kTickMinor = 2.5;
constexpr double kTickMajorLength = 4.0;
constexpr int kTickCount = 11;          // every tenth of the range
constexpr double kRangeLabelDrop = 7.5; // label centre below the end tick

constexpr double kLabelPx = 8.5;      // range labels on the background
constexpr double kMeterLabelPx = 9.0; // "-1", "0", "+1"
constexpr double kWordmarkPx = 14.0;
constexpr double kHelpGlyphPx = 13.0;
constexpr double kCornerRadius = 3.0; // text fields, meters, buttons

// Meters: the ±1 ends of both meters sit at the same editor x so the two scales line up.
constexpr int kMeterScaleLeft = 27;   // editor x of -1 (correlation) and of full width
constexpr int kMeterScaleRight = 429; // editor x of +1
} // namespace sizes

} // namespace art
