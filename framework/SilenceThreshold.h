#pragma once
// Sample magnitudes at or below this count as silence: the plug-in passes blocks of such samples
// straight through, and the correlation meter reads a pair of them as carrying no correlation
// (rounding residue such as ±2e-17 after a convolution has no stereo direction worth showing).

constexpr double kSilenceThreshold = 1e-16;
