#pragma once
// The maker's marks: the wordmark "TW PARANDEL" and the animated emblem, two rings that part
// from one (mono) into two (stereo) and back.

#include "ArtFont.h"
#include "Canvas.h"

namespace art
{

void MakePluginName(Canvas& canvas, const ArtFont& font);
void MakeLogo(Canvas& canvas);

} // namespace art
