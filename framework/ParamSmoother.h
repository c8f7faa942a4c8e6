#pragma once
// Per-sample one-pole glide of a control value towards a target, snapping to the target once a
// step changes the value by less than 10^-precision. Until the first Step after construction or
// ResetTo, a new target is taken at once, so values set before audio starts do not glide.
// No locks: owners call it under the plug-in mutex or on the editor thread only.

class ParamSmoother
{
public:
    ParamSmoother();
    ParamSmoother(int precision, double initialValue, double coefficient);
    virtual ~ParamSmoother() = default;

    void ResetTo(double value);
    void SetCoefficient(double coefficient) { mCoefficient = coefficient; }
    void SetTarget(double value);
    // Advances one sample.
    void Step();
    double Current() const { return mCurrent; }

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
};
