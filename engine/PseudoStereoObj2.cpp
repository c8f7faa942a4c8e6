#include "engine/PseudoStereoObj2.h"

#include "framework/Decibels.h"

#include "engine/PseudoRandom.h"
#include "engine/StereoOps.h"
#include "framework/Fft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace
{
// Seed of the response's random spectrum: every build draws the same values.
constexpr uint32_t kSeedBase = 625755291u;
constexpr uint32_t kSeedOffset = 625755292u;
constexpr double kMaxRandomValue = 4294967295.0;
constexpr double kInvPi = 0.3183098861837907;
constexpr double kOutputGainDb = 6.0;
const double kOutputGain = DBToAmp(kOutputGainDb);
} // namespace

PseudoStereoObj2::PseudoStereoObj2(double sampleRate, double spread)
    : mResponseLength(ResponseLengthForRate(sampleRate)), mSampleRate(sampleRate), mSpread(spread)
{
    Fft::Init();
    BuildResponse();
    mWetConvolver =
        std::make_unique<FastRTConvolver2>(kInitialBlockSize, mResponse, ConvolverMode::Convolve);
    mDelayConvolver = std::make_unique<FastRTConvolver2>(kInitialBlockSize, mResponse,
                                                         ConvolverMode::PassThrough);
    ReserveScratch(kInitialBlockSize);
}

PseudoStereoObj2::~PseudoStereoObj2() = default;

int PseudoStereoObj2::ResponseLengthForRate(double sampleRate)
{
    const double target = std::trunc(sampleRate / kReferenceRateHz * kReferenceLength);
    int n = Fft::kMinSize;
    // Written so that a NaN rate also ends at the smallest size.
    while (n < Fft::kMaxSize && n < target)
        n *= 2;
    return n;
}

void PseudoStereoObj2::ReserveScratch(int samples)
{
    mMono.Reserve(samples);
    mWet.Reserve(samples);
    mDry.Reserve(samples);
}

void PseudoStereoObj2::Reset(int hostBlockSize, double sampleRate)
{
    mSampleRate = sampleRate;
    mWetConvolver->Reset(hostBlockSize);
    mDelayConvolver->Reset(hostBlockSize);
    // The response depends on its length alone (the spread is fixed): an unchanged length keeps
    // it and its partitions, so a reset at the same rate allocates nothing.
    const int length = ResponseLengthForRate(sampleRate);
    if (length != mResponseLength)
    {
        mResponseLength = length;
        BuildResponse();
        mWetConvolver->SetResponse(mResponse);
        mDelayConvolver->SetResponse(mResponse);
    }
    ReserveScratch(hostBlockSize);
}

int PseudoStereoObj2::GetLatency() const
{
    return mWetConvolver->GetLatency();
}

// h = inverse DFT of a real spectrum X_k = atan(s² u_k) / π + 0.5 with u_k uniform in −1 … 1:
// about 0.5 at n = 0 (the mean of X), a low noise-like remainder elsewhere, symmetric in n.
void PseudoStereoObj2::BuildResponse()
{
    const int n = mResponseLength;
    PseudoRandom random(kSeedBase, kSeedOffset);
    std::vector<std::complex<double>> spectrum(n);
    const double s2 = mSpread * mSpread;
    for (int k = 0; k < n; ++k)
    {
        const double u = (random.Next() / kMaxRandomValue - 0.5) * 2.0;
        spectrum[k] = std::complex<double>(std::atan(s2 * u) * kInvPi + 0.5, 0.0);
    }
    Fft::Inverse(spectrum.data(), n, FftScale::ByLength);
    mResponse.Resize(n);
    for (int i = 0; i < n; ++i)
        mResponse[i] = spectrum[i].real();
}

void PseudoStereoObj2::Process(ChannelList& channels)
{
    if (channels.GetSize() != 2)
        return;
    SampleBuffer& left = channels[0];
    SampleBuffer& right = channels[1];
    const int n = left.GetSize();
    // A short right channel counts as silent beyond its end rather than being read past it.
    if (right.GetSize() < n)
    {
        const int had = right.GetSize();
        double* r = right.Resize(n, false);
        std::fill(r + had, r + n, 0.0);
    }

    MakeMono(channels);
    mMono.Set(left.Get(), n, false);
    mWetConvolver->Process(mMono, mWet);
    mDelayConvolver->Process(mMono, mDry);

    const double g = kOutputGain;
    double* l = left.Get();
    double* r = right.Get();
    const double* wet = mWet.Get();
    const double* dry = mDry.Get();
    for (int k = 0; k < n; ++k)
    {
        l[k] = wet[k] * g;
        r[k] = (dry[k] - wet[k]) * g;
    }
}
