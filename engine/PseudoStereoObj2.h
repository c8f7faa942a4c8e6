#pragma once
// Mono-to-stereo generator: folds a stereo pair to mono and rebuilds a wide, decorrelated image
// from it. The mono signal m is convolved with a fixed random-spectrum response h ≈ 0.5 δ + n;
// left = g (h ∗ m) and right = g (m − h ∗ m), so left + right is g × m (m delayed by the latency)
// and left − right carries the decorrelated part. g is +6 dB.
//
// Latency: that of the convolvers, 0 when the host block size is a power of two, otherwise one
// host block (a delaying convolver in pass-through mode keeps the dry path aligned).
// Threads: construction and Reset on the control thread; Process on the audio thread, where it
// allocates nothing once Reset has sized it for the host block.

#include "engine/FastRTConvolver2.h"
#include "framework/ChannelList.h"
#include "framework/SampleBuffer.h"

#include <memory>

class PseudoStereoObj2
{
public:
    // Reference rate and length: the response is 2048 samples at 44100 Hz and scales with the
    // rate, rounded up to a power of two within the FFT's sizes.
    static constexpr double kReferenceRateHz = 44100.0;
    static constexpr int kReferenceLength = 2048;
    static constexpr int kInitialBlockSize = 512;

    PseudoStereoObj2(double sampleRate, double spread);
    ~PseudoStereoObj2();

    // Re-partitions both convolvers for the host block size, clears audio in flight and rebuilds
    // the response for the rate.
    void Reset(int hostBlockSize, double sampleRate);
    int GetLatency() const;
    // In place; acts only on a list of exactly two channels, over the left channel's length.
    void Process(ChannelList& channels);

    // Response length N for a rate: the smallest power of two ≥ trunc(rate / 44100 × 2048),
    // limited to 2 … 32768.
    static int ResponseLengthForRate(double sampleRate);

    int GetResponseLength() const { return mResponseLength; }
    double GetSampleRate() const { return mSampleRate; }
    const SampleBuffer& GetResponse() const { return mResponse; }

private:
    void BuildResponse();
    void ReserveScratch(int samples);

    int mResponseLength;
    double mSampleRate;
    double mSpread;
    std::unique_ptr<FastRTConvolver2> mWetConvolver;
    std::unique_ptr<FastRTConvolver2> mDelayConvolver; // pass-through: delay only

    SampleBuffer mResponse;
    SampleBuffer mMono; // scratch, one host block each
    SampleBuffer mWet;
    SampleBuffer mDry;
};
