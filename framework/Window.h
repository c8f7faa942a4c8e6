#pragma once
// Window functions shared by the restart fader and the frame analysis.

#include "framework/SampleBuffer.h"

// Symmetric Hann window of n points: w[k] = 0.5 × (1 − cos(2πk / (n − 1))). For n < 2 every
// point is 1 (nothing to fade over).
void MakeHannWindow(SampleBuffer& window, int n);
