#pragma once
// Per-sample one-pole glide of a control value towards a target, snapping to the target once a
// step changes the value by less than 10^-precision. Until the first Step after construction or
// ResetTo, a new target is taken at once, so values set before audio starts do not glide.
// No locks: owners call it under the plug-in mutex or on the editor thread only.

#include <cmath>

class ParamSmoother
{
public:
    ParamSmoother();
    ParamSmoother(int precision, double initialValue, double coefficient);
    virtual ~ParamSmoother() = default;

    void ResetTo(double value);
    void SetCoefficient(double coefficient)
    {
        mCoefficient = coefficient;
        UpdateTargetHolds();
    }
    void SetTarget(double value);
    // Advances one sample.
    void Step()
    {
        const double prev = mCurrent;
        const double next =
            mGliding ? (1.0 - mCoefficient) * mTarget + mCoefficient * prev : mTarget;
        mCurrent = next;
        mGliding = true;
        // The snap compares the size of this step, not the distance left to the target.
        mConverged = mThreshold > std::fabs(next - prev);
        if (mConverged)
            mCurrent = mTarget;
        mJumpOnNextTarget = false;
    }
    double Current() const { return mCurrent; }
    // True when a Step would leave every field as it is: the value sits on the target and the
    // next step snaps back onto it. Until the target moves, steps may then be skipped.
    bool IsSettled() const
    {
        return mGliding && mConverged && !mJumpOnNextTarget && mCurrent == mTarget && mTargetHolds;
    }

    double Target() const { return mTarget; }
    bool IsConverged() const { return mConverged; }

private:
    bool mGliding;
    double mCoefficient;
    double mCurrent;
    double mTarget;
    bool mConverged = false;
    int mPrecision;
    bool mJumpOnNextTarget = true;
    double mThreshold; // 10^-precision, computed once
    // A step from the target snaps back onto it: worked out when the target or the coefficient
    // changes, so that IsSettled, asked every block, only compares.
    bool mTargetHolds = false;

    void UpdateTargetHolds()
    {
        mTargetHolds =
            mThreshold > std::fabs((1.0 - mCoefficient) * mTarget + mCoefficient * mTarget - mTarget);
    }
};
