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
class ScopeHistory;

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

    // AddSamples of a scope window, which the computer may read again instead of copying: the
    // last analysed frame and the samples carried to the next call stay where they are while
    // they are in the window. The window's owner calls BeforeAppend before every append (the
    // window may move or lose pairs then): what is about to leave is copied there.
    void AddWindow(const ScopeHistory& window);
    void BeforeAppend(const ScopeHistory& window, int n);

    const ParandelProcessDisp& GetDisplayProcessor() const { return *mDisplayProcessor; }

private:
    // AddSamples, of n pairs of window from pair `first` on when window is given.
    void Add(const double* left, const double* right, int n, const ScopeHistory* window,
             long long first);
    // The carried samples of a channel, wherever they are.
    const double* Carried(int channel) const;
    // Copies into the computer whatever it still reads in the window before pair `start`.
    void KeepBefore(long long start);
    // Hands the display processor the last analysed frame, from the window.
    void KeepWindowFrame();

    FftProcessObj16* mFrameProcessor;
    ParandelProcessDisp* mDisplayProcessor;
    // The samples after the last frame's hop, where the next call's first frame starts (fewer
    // than a frame): mCarriedCount of them, per channel in mCarried, or in mWindow from pair
    // mCarriedFrom on (≥ 0).
    SampleBuffer mCarried[2];
    int mCarriedCount = 0;
    long long mCarriedFrom = -1;
    // The last analysed frame when it is in mWindow, from pair mFrameFrom on (≥ 0): newer than
    // any the display processor keeps.
    long long mFrameFrom = -1;
    const ScopeHistory* mWindow = nullptr;
};
