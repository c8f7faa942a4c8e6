#pragma once
// Mode 1 point transform: the goniometer figure rotated by 45° so that mono is vertical. With
// clip, each channel is limited to −1 … 1 and the result is X = (L − R) / 2, Y = −(L + R) / 2.
// Audio thread: allocates nothing once the outputs have reached the window size.

#include "framework/SampleBuffer.h"

// X and Y are resized to the pair count n and receive one point per pair; with n = 0 they are
// left untouched. Pairs holding a non-finite value become the origin.
void LissajousSamples(const SampleBuffer& left, const SampleBuffer& right, bool clip,
                      SampleBuffer& x, SampleBuffer& y);
