#pragma once
// The two meter strips under the scope. Correlation: a bar from the centre towards the measured
// value (-1 left, +1 right) over a scale marked "-1", "0", "+1". Width: a bar symmetric about
// the centre whose half-length is the Width setting, with ticks where the image is unchanged.

#include "ArtFont.h"
#include "Canvas.h"

namespace art
{

// Frame k of each strip shows the meter value v = k / 179.
void MakeCorrelationMeter(Canvas& canvas, const ArtFont& font);
void MakeWidthMeter(Canvas& canvas);

} // namespace art
