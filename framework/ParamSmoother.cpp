#include "framework/ParamSmoother.h"

#include <cmath>

ParamSmoother::ParamSmoother()
    : mGliding(false), mCoefficient(0.9), mCurrent(0.0), mTarget(0.0), mPrecision(10),
      mThreshold(std::pow(10.0, -10))
{
}

ParamSmoother::ParamSmoother(int precision, double initialValue, double coefficient)
    : mGliding(true), mCoefficient(coefficient), mCurrent(initialValue), mTarget(initialValue),
      mPrecision(precision), mThreshold(std::pow(10.0, -precision))
{
}

void ParamSmoother::ResetTo(double value)
{
    mCurrent = mTarget = value;
    mGliding = true;
    mConverged = false;
    mJumpOnNextTarget = true;
}

void ParamSmoother::SetTarget(double value)
{
    mTarget = value;
    if (mJumpOnNextTarget)
        mCurrent = value;
}

void ParamSmoother::Step()
{
    const double prev = mCurrent;
    const double next = mGliding ? (1.0 - mCoefficient) * mTarget + mCoefficient * prev : mTarget;
    mCurrent = next;
    mGliding = true;
    // The snap compares the size of this step, not the distance left to the target.
    mConverged = mThreshold > std::fabs(next - prev);
    if (mConverged)
        mCurrent = mTarget;
    mJumpOnNextTarget = false;
}
