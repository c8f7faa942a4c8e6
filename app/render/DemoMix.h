#pragma once
// The built-in test material: a short stereo mix with real stereo content, made from a fixed
// seed so every run writes the same file.

#include <vector>

namespace app
{
struct StereoSignal
{
    int sampleRate = 44100;
    std::vector<float> left;
    std::vector<float> right;
};

// A centred bass line, a wide decorrelated pad and percussive noise bursts panned from side to
// side, peaking a little below full scale.
StereoSignal MakeDemoMix(double seconds = 10.0, int sampleRate = 44100);
} // namespace app
