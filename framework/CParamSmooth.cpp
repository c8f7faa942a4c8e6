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
    mW[3] = mB;
    mW[2] = mB * mA;
    mW[1] = mW[2] * mA;
    mW[0] = mW[1] * mA;
    mC4 = (mW[0] + mW[1]) + (mW[2] + mW[3]);
}
