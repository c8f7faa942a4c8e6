#pragma once
// One audio channel: a growable array of doubles. Audio travels between processing objects as a
// ChannelList of SampleBuffers, left first.

#include "framework/WDL_TypedBuf.h"

using SampleBuffer = WDL_TypedBuf<double>;
