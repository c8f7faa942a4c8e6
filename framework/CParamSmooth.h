#pragma once
// One-pole low-pass with its time constant given in milliseconds:
// a = exp(−2π / (time_ms × 0.001 × sampleRate)), z = x × (1 − a) + z × a.

class CParamSmooth
{
public:
    CParamSmooth(double smoothingTimeMs = 5.0, double sampleRate = 44100.0);
    virtual ~CParamSmooth() = default;

    // Recomputes the coefficients and clears the state.
    void Setup(double smoothingTimeMs, double sampleRate);
    double Process(double x)
    {
        mZ = x * mB + mZ * mA;
        return mZ;
    }
    // Process over a run of values, with the state kept in a register; returns the last output.
    double ProcessBlock(const double* x, int n)
    {
        double z = mZ;
        for (int k = 0; k < n; ++k)
            z = x[k] * mB + z * mA;
        mZ = z;
        return z;
    }
    double Value() const { return mZ; }
    // Sets the state directly, so a measurement can start at its first value instead of at 0.
    void SetState(double z) { mZ = z; }
    double FeedbackCoefficient() const { return mA; }

private:
    double mSmoothingTimeMs = 0.0;
    double mSampleRate = 0.0;
    double mA = 0.0;
    double mB = 1.0;
    double mZ = 0.0;
};
