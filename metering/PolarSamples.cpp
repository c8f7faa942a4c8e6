#include "metering/PolarSamples.h"

#include <algorithm>

void PolarSamples(const SampleBuffer& left, const SampleBuffer& right, SampleBuffer& x,
                  SampleBuffer& y)
{
    TransformSamplePairs(left, right, x, y,
                         [](double l, double r, double* px, double* py)
                         {
                             const double radius =
                                 std::min(std::sqrt(l * l + r * r), kPolarMaxRadius);
                             double cosPhi, sinPhi;
                             StereoDisplayDirection(l, r, &cosPhi, &sinPhi);
                             double cx = radius * cosPhi;
                             double cy = radius * sinPhi;
                             // A sample and its negative share one point, so only the upper
                             // half-disc is used. On the horizontal axis (opposite phase, where
                             // the algebraic form gives ±0) the right end is the upper side.
                             if (cy < 0.0 || (cy == 0.0 && cx < 0.0))
                             {
                                 cx = -cx;
                                 cy = -cy;
                             }
                             *px = cx;
                             *py = std::fabs(cy); // never −0
                         });
}
