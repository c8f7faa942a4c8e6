#pragma once
// Buttons and fields: the two-state checkbox, the five scope-mode buttons (off, on), the help
// button and the read-out field under each knob.

#include "ArtFont.h"
#include "Canvas.h"

namespace art
{

void MakeCheckbox(Canvas& canvas);
// mode 0 polar samples, 1 Lissajous, 2 flame, 3 grid, 4 source.
void MakeModeIcon(Canvas& canvas, int mode);
void MakeHelpButton(Canvas& canvas, const ArtFont& font);
void MakeTextField(Canvas& canvas);

} // namespace art
