#pragma once
// Point set of the vectorscope's SOURCE mode: feeds the vectorscope's sample window into a
// two-channel frame processor (frames of 2048, hop 512, Hann analysis window, no inverse
// transform) whose multi-channel hook, ParandelProcessDisp, analyses every fourth frame and keeps
// one point per bin (1024). Until 2048 samples have been queued after a reset the point set is
// empty.
//
// Construction and Reset(sampleRate) on the control thread; ComputePoints on the audio thread,
// allocation-free for blocks of up to ProcessObjChannel::kReservedBlockSamples; Reset() (a mode
// change) allocates nothing.

#include "framework/ChannelList.h"
#include "framework/SampleBuffer.h"

class FftProcessObj16;
class ParandelProcessDisp;

class SourceComputer
{
public:
    static constexpr int kBufferSize = 2048;
    static constexpr int kOverlap = 4;
    static constexpr int kOversampling = 1;

    explicit SourceComputer(double sampleRate);
    virtual ~SourceComputer();
    SourceComputer(const SourceComputer&) = delete;
    SourceComputer& operator=(const SourceComputer&) = delete;

    // Empties the queues and the points; the first analysis comes on the fourth frame.
    void Reset();
    void Reset(double sampleRate);

    // Queues one copy of each channel, runs every complete frame and returns the points of the
    // last analysis: x in −1 … 1 (right positive), y ≥ 0 (both about 1 at 0 dB).
    void ComputePoints(const SampleBuffer& left, const SampleBuffer& right, SampleBuffer& x,
                       SampleBuffer& y);
    // The same on a two-channel list (left, right); other lists give no points.
    void ComputePoints(const ChannelList& channels, SampleBuffer& x, SampleBuffer& y);
    // The same on n pairs given as two arrays.
    void ComputePoints(const double* left, const double* right, int n, SampleBuffer& x,
                       SampleBuffer& y);
    // ComputePoints in two steps: the samples now, the points when they are looked at. Only the
    // last analysed frame before GetPoints is transformed and analysed; the points are the same.
    // The frames are counted and cut here: of each call's samples only that frame's and those
    // the next call's first frame starts on are copied.
    void AddSamples(const double* left, const double* right, int n);
    void GetPoints(SampleBuffer& x, SampleBuffer& y);

    const ParandelProcessDisp& GetDisplayProcessor() const { return *mDisplayProcessor; }

private:
    FftProcessObj16* mFrameProcessor;
    ParandelProcessDisp* mDisplayProcessor;
    // The samples after the last frame's hop, where the next call's first frame starts (fewer
    // than a frame), per channel.
    SampleBuffer mCarried[2];
};
