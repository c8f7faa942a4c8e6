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
    // Process over n values, n a multiple of four, four values per step: with wⱼ = b a³⁻ʲ and
    // c = w₀ + w₁ + w₂ + w₃ (1 − a⁴ within rounding), z ← z + (w₀x₀ + w₁x₁ + w₂x₂ + w₃x₃ − c z), so
    // that the state's dependency chain costs three operations per four values instead of two per
    // value. Written as an increment, a state already at a constant input stays exactly there, as
    // with one value per step; elsewhere the two agree within rounding.
    double ProcessBlockInSteps(const double* x, int n)
    {
        double z = mZ;
        for (int k = 0; k + 4 <= n; k += 4)
        {
            const double in = (mW[0] * x[k] + mW[1] * x[k + 1]) + (mW[2] * x[k + 2] + mW[3] * x[k + 3]);
            z = z + (in - mC4 * z);
        }
        mZ = z;
        return z;
    }
    // The state Process would reach over n values, leaving the state as it is.
    double ValueAfter(const double* x, int n) const
    {
        double z = mZ;
        for (int k = 0; k < n; ++k)
            z = x[k] * mB + z * mA;
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
    double mW[4] = {0.0, 0.0, 0.0, 1.0}; // b a³, b a², b a, b
    double mC4 = 1.0;                    // their sum
};
