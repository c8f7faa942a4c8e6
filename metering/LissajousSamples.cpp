#include "metering/LissajousSamples.h"

#include "metering/PolarSamples.h"

#include <algorithm>
#include <cmath>

void LissajousSamples(const SampleBuffer& left, const SampleBuffer& right, bool clip,
                      SampleBuffer& x, SampleBuffer& y)
{
    TransformSamplePairs(left, right, x, y,
                         [clip](double l, double r, double* px, double* py)
                         {
                             if (clip)
                             {
                                 l = std::clamp(l, -1.0, 1.0);
                                 r = std::clamp(r, -1.0, 1.0);
                             }
                             double radius = std::sqrt(l * l + r * r);
                             // Scaling by 1/√2 maps the clipped square onto the unit diamond.
                             if (clip)
                                 radius *= M_SQRT1_2;
                             double cosPhi, sinPhi;
                             StereoDisplayDirection(l, r, &cosPhi, &sinPhi);
                             *px = radius * cosPhi;
                             *py = radius * sinPhi;
                         });
}
