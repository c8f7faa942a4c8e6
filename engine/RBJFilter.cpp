#include "engine/RBJFilter.h"

#include "framework/MathConstants.h"

#include <cmath>

namespace
{
constexpr double kCrossoverQ = 0.707;
} // namespace

void RBJFilter::ProcessBuffer(SampleBuffer& out, const SampleBuffer& in)
{
    const int n = in.GetSize();
    out.Resize(n, false);
    const double* x = in.Get();
    double* y = out.Get();
    for (int k = 0; k < n; ++k)
        y[k] = Process(x[k]);
}

NRBJFilter::NRBJFilter(int sectionCount, int type, double sampleRate, double cutoffHz, double q,
                       double gainDb)
    : mSectionCount(sectionCount), mType(type), mSampleRate(sampleRate), mCutoffHz(cutoffHz), mQ(q),
      mGainDb(gainDb)
{
    for (int i = 0; i < sectionCount; ++i)
        mSections.Add(new RBJSection());
    ComputeCoefficients();
}

NRBJFilter::~NRBJFilter()
{
    mSections.Empty(true);
}

void NRBJFilter::SetCutoffFreq(double cutoffHz)
{
    mCutoffHz = cutoffHz;
    ComputeCoefficients();
}

void NRBJFilter::SetQ(double q)
{
    mQ = q;
    ComputeCoefficients();
}

void NRBJFilter::SetSampleRate(double sampleRate)
{
    mSampleRate = sampleRate;
    ComputeCoefficients();
}

double NRBJFilter::Process(double x)
{
    RBJSection* const* s = mSections.GetList();
    for (int i = 0; i < mSectionCount; ++i)
    {
        x = s[i]->Process(x);
        s[i]->ClearMemoriesIfNonFinite();
    }
    return x;
}

void NRBJFilter::ClearMemories()
{
    for (int i = 0; i < mSectionCount; ++i)
        mSections.Get(i)->ClearMemories();
}

void NRBJFilter::ProcessBuffer(SampleBuffer& out, const SampleBuffer& in)
{
    const int n = in.GetSize();
    if (&out != &in)
        out.Set(in.Get(), n, false);
    double* y = out.Get();
    RBJSection* const* sections = mSections.GetList();
    for (int i = 0; i < mSectionCount; ++i)
    {
        // Coefficients and memories in locals so the loop runs in registers.
        RBJSection s = *sections[i];
        for (int k = 0; k < n; ++k)
            y[k] = s.Process(y[k]);
        sections[i]->x1 = s.x1;
        sections[i]->x2 = s.x2;
        sections[i]->y1 = s.y1;
        sections[i]->y2 = s.y2;
        // Checked once per block: the block's own output may carry the bad value, the next
        // block starts clean.
        sections[i]->ClearMemoriesIfNonFinite();
    }
}

void NRBJFilter::ComputeCoefficients()
{
    const double w0 = kTwoPi * mCutoffHz / mSampleRate;
    const double cs = std::cos(w0);
    const double sn = std::sin(w0);
    const double alpha = sn / (2.0 * mQ);
    const double A = std::pow(10.0, mGainDb / 40.0);
    const double sqA2alpha = 2.0 * std::sqrt(A) * alpha;

    double b0 = 1, b1 = 0, b2 = 0, a0 = 1, a1 = 0, a2 = 0;
    switch (mType)
    {
    case rbj::kLowPass:
        b0 = (1 - cs) / 2, b1 = 1 - cs, b2 = (1 - cs) / 2;
        a0 = 1 + alpha, a1 = -2 * cs, a2 = 1 - alpha;
        break;
    case rbj::kHighPass:
        b0 = (1 + cs) / 2, b1 = -(1 + cs), b2 = (1 + cs) / 2;
        a0 = 1 + alpha, a1 = -2 * cs, a2 = 1 - alpha;
        break;
    case rbj::kBandPassSkirt:
        b0 = sn / 2, b1 = 0, b2 = -sn / 2;
        a0 = 1 + alpha, a1 = -2 * cs, a2 = 1 - alpha;
        break;
    case rbj::kBandPassPeak:
        b0 = alpha, b1 = 0, b2 = -alpha;
        a0 = 1 + alpha, a1 = -2 * cs, a2 = 1 - alpha;
        break;
    case rbj::kNotch:
        b0 = 1, b1 = -2 * cs, b2 = 1;
        a0 = 1 + alpha, a1 = -2 * cs, a2 = 1 - alpha;
        break;
    case rbj::kAllPass:
        b0 = 1 - alpha, b1 = -2 * cs, b2 = 1 + alpha;
        a0 = 1 + alpha, a1 = -2 * cs, a2 = 1 - alpha;
        break;
    case rbj::kPeaking:
        b0 = 1 + alpha * A, b1 = -2 * cs, b2 = 1 - alpha * A;
        a0 = 1 + alpha / A, a1 = -2 * cs, a2 = 1 - alpha / A;
        break;
    case rbj::kLowShelf:
        b0 = A * ((A + 1) - (A - 1) * cs + sqA2alpha);
        b1 = 2 * A * ((A - 1) - (A + 1) * cs);
        b2 = A * ((A + 1) - (A - 1) * cs - sqA2alpha);
        a0 = (A + 1) + (A - 1) * cs + sqA2alpha;
        a1 = -2 * ((A - 1) + (A + 1) * cs);
        a2 = (A + 1) + (A - 1) * cs - sqA2alpha;
        break;
    case rbj::kHighShelf:
        b0 = A * ((A + 1) + (A - 1) * cs + sqA2alpha);
        b1 = -2 * A * ((A - 1) + (A + 1) * cs);
        b2 = A * ((A + 1) + (A - 1) * cs - sqA2alpha);
        a0 = (A + 1) - (A - 1) * cs + sqA2alpha;
        a1 = 2 * ((A - 1) - (A + 1) * cs);
        a2 = (A + 1) - (A - 1) * cs - sqA2alpha;
        break;
    default: // an unknown type passes the signal unchanged
        break;
    }
    for (int i = 0; i < mSectionCount; ++i)
    {
        RBJSection* s = mSections.Get(i);
        s->b0 = b0 / a0;
        s->b1 = b1 / a0;
        s->b2 = b2 / a0;
        s->a1 = a1 / a0;
        s->a2 = a2 / a0;
    }
}

TransparentRBJFilter::TransparentRBJFilter(double sampleRate, double cutoffHz)
    : mLowPass(2, rbj::kLowPass, sampleRate, cutoffHz, kCrossoverQ),
      mHighPass(2, rbj::kHighPass, sampleRate, cutoffHz, kCrossoverQ)
{
}

void TransparentRBJFilter::SetCutoffFreq(double cutoffHz)
{
    mLowPass.SetCutoffFreq(cutoffHz);
    mHighPass.SetCutoffFreq(cutoffHz);
}

void TransparentRBJFilter::SetQ(double q)
{
    mLowPass.SetQ(q);
    mHighPass.SetQ(q);
}

void TransparentRBJFilter::SetSampleRate(double sampleRate)
{
    mLowPass.SetSampleRate(sampleRate);
    mHighPass.SetSampleRate(sampleRate);
}

double TransparentRBJFilter::Process(double x)
{
    return mLowPass.Process(x) + mHighPass.Process(x);
}

void TransparentRBJFilter::ClearMemories()
{
    mLowPass.ClearMemories();
    mHighPass.ClearMemories();
}
