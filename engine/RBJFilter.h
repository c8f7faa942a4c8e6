#pragma once
// Second-order filter sections after the RBJ Audio EQ Cookbook (Q form), cascaded.
// Recomputing coefficients (cutoff, Q or sample-rate changes) never touches the filter
// memories, so moving a knob never clicks and never restarts the filter. Memories that become
// non-finite are cleared, so one bad sample cannot silence the filter for good.

#include "framework/Lanes.h"
#include "framework/SampleBuffer.h"
#include "framework/WDL_PtrList.h"

#include <cmath>

// Responses, numbered as stored.
namespace rbj
{
constexpr int kLowPass = 0;
constexpr int kHighPass = 1;
constexpr int kBandPassSkirt = 2; // constant skirt gain, peak gain Q
constexpr int kBandPassPeak = 3;  // constant 0 dB peak gain
constexpr int kNotch = 4;
constexpr int kAllPass = 5;
constexpr int kPeaking = 6;
constexpr int kLowShelf = 7;
constexpr int kHighShelf = 8;
} // namespace rbj

class RBJFilter
{
public:
    virtual ~RBJFilter() = default;
    virtual void SetCutoffFreq(double cutoffHz) = 0;
    virtual void SetQ(double q) = 0;
    virtual void SetSampleRate(double sampleRate) = 0;
    virtual double Process(double x) = 0;
    // Filters every sample of in into out (resized to in's length, never shrunk).
    virtual void ProcessBuffer(SampleBuffer& out, const SampleBuffer& in);
    // Zeroes the memories of every section; coefficients stay.
    virtual void ClearMemories() = 0;
};

// One biquad's coefficients (already divided by a0) and its last two outputs and inputs, on one
// filter (T double) or on several side by side in vector lanes.
template <class T>
struct BiquadState
{
    T b0{}, b1{}, b2{}, a1{}, a2{};
    T y1{}, y2{}, x1{}, x2{};

    PARANDEL_LANES_INLINE T Process(T x)
    {
        const T y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// One biquad section of a filter.
struct RBJSection : BiquadState<double>
{
    void ClearMemories() { y1 = y2 = x1 = x2 = 0.0; }
    // A NaN or infinity in the memories would recirculate for good: such a section starts
    // again from silence.
    void ClearMemoriesIfNonFinite()
    {
        if (!std::isfinite(y1) || !std::isfinite(y2) || !std::isfinite(x1) || !std::isfinite(x2))
            ClearMemories();
    }
};

// A cascade of identical RBJ sections.
class NRBJFilter : public RBJFilter
{
public:
    NRBJFilter(int sectionCount, int type, double sampleRate, double cutoffHz, double q,
               double gainDb = 0.0);
    ~NRBJFilter() override;

    void SetCutoffFreq(double cutoffHz) override;
    void SetQ(double q) override;
    void SetSampleRate(double sampleRate) override;
    double Process(double x) override;
    // Section by section over the whole block: the same result as Process per sample, faster.
    // out may be in itself.
    void ProcessBuffer(SampleBuffer& out, const SampleBuffer& in) override;
    void ClearMemories() override;

    int GetSectionCount() const { return mSectionCount; }
    // For block loops that keep a section's state in registers and store it back.
    RBJSection& Section(int i) { return *mSections.Get(i); }
    double GetCutoffFreq() const { return mCutoffHz; }

private:
    void ComputeCoefficients();

    int mSectionCount;
    int mType;
    double mSampleRate;
    double mCutoffHz;
    double mQ;
    double mGainDb;
    WDL_PtrList<RBJSection> mSections;
};

// Low-pass plus high-pass at one frequency, summed: passes everything with the phase turn of a
// crossover point, so bands that skip a crossover stay in phase with those that go through it.
class TransparentRBJFilter : public RBJFilter
{
public:
    TransparentRBJFilter(double sampleRate, double cutoffHz);

    void SetCutoffFreq(double cutoffHz) override;
    void SetQ(double q) override;
    void SetSampleRate(double sampleRate) override;
    double Process(double x) override;
    void ClearMemories() override;

private:
    NRBJFilter mLowPass;
    NRBJFilter mHighPass;
};
