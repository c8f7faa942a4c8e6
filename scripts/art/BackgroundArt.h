#pragma once
// The editor background: a plain field under the scope, a trough under the meters, the strip of
// scope-mode buttons and the control deck with a scale and range labels around each knob.
// Captions, read-outs and the version text are drawn by the editor, not here.

#include "ArtFont.h"
#include "Canvas.h"

namespace art
{

void MakeBackground(Canvas& canvas, const ArtFont& font);

} // namespace art
