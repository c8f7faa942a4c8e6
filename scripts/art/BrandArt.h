#pragma once
// The maker's marks: the wordmark "TW PARANDEL" and the animated emblem, two rings that part
// from one (mono) into two (stereo) and back, and the window icon made of it.

#include "ArtFont.h"
#include "Canvas.h"

namespace art
{

void MakePluginName(Canvas& canvas, const ArtFont& font);
void MakeLogo(Canvas& canvas);
// The program's window icon: the emblem on a rounded tile of the deck's colours.
void MakeIcon(Canvas& canvas);

} // namespace art
