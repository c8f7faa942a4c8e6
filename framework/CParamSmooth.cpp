#include "framework/CParamSmooth.h"

#include <cmath>

CParamSmooth::CParamSmooth(double smoothingTimeMs, double sampleRate)
{
    Setup(smoothingTimeMs, sampleRate);
}

void CParamSmooth::Setup(double smoothingTimeMs, double sampleRate)
{
    const double twoPi = 6.283185307179586;
    mSmoothingTimeMs = smoothingTimeMs;
    mSampleRate = sampleRate;
    mA = std::exp(-twoPi / (smoothingTimeMs * 0.001 * sampleRate));
    mB = 1.0 - mA;
    mZ = 0.0;
}
