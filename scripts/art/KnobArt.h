#pragma once
// The blue knob: a dark plate with a carved track, a value arc in the track, a bevelled blue cap
// and a light pointer. Transparent outside the plate, so the scale on the background shows.

#include "Canvas.h"

namespace art
{

// Pointer direction for a value in 0..1, in Cairo's radians (0 = right, y down): lower-left at
// 0, straight up at 0.5, lower-right at 1.
double KnobAngle(double value);

// One knob frame of size x size pixels at the value.
void DrawKnob(cairo_t* cr, double size, double value);

// The strip of all frames, frame k showing the value k / (frames - 1).
void MakeKnobStrip(Canvas& canvas, const StripSize& size);

} // namespace art
