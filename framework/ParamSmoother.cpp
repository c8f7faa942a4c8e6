#include "framework/ParamSmoother.h"

#include <cmath>

ParamSmoother::ParamSmoother()
    : mGliding(false), mCoefficient(0.9), mCurrent(0.0), mTarget(0.0), mPrecision(10),
      mThreshold(std::pow(10.0, -10))
{
    UpdateTargetHolds();
}

ParamSmoother::ParamSmoother(int precision, double initialValue, double coefficient)
    : mGliding(true), mCoefficient(coefficient), mCurrent(initialValue), mTarget(initialValue),
      mPrecision(precision), mThreshold(std::pow(10.0, -precision))
{
    UpdateTargetHolds();
}

void ParamSmoother::ResetTo(double value)
{
    mCurrent = mTarget = value;
    UpdateTargetHolds();
    mGliding = true;
    mConverged = false;
    mJumpOnNextTarget = true;
}

void ParamSmoother::SetTarget(double value)
{
    mTarget = value;
    UpdateTargetHolds();
    if (mJumpOnNextTarget)
        mCurrent = value;
}
