#pragma once
// The host adapter a plug-in class derives from, chosen at build time: the LV2 plug-in is built
// with IPLUG_LV2 defined, everything else gets the Audio Unit adapter. The plug-in class stays
// one class whichever host interface it is compiled for.

#ifdef IPLUG_LV2
#include "hosts/lv2/IPlugLV2.h"
using IPlugAdapter = IPlugLV2;
#else
#include "hosts/au/IPlugAU.h"
using IPlugAdapter = IPlugAU;
#endif
