#pragma once
// One channel of the short-time Fourier framework: its input queue, frame, spectrum, output frame,
// overlap-add buffer and output queue, its two windows, and its optional per-channel hook (not
// owned). FftProcessObj16 drives the stages in order; each stage is a no-op for a channel that
// had too few queued samples for the current frame.
//
// Reset sizes every buffer and reserves room for blocks of up to kReservedBlockSamples, so the
// stages and the queues allocate nothing afterwards. The output is the processed stream delayed
// by N samples (the latency), zeros until then. The output queue keeps at most N + the largest
// block (at least kReservedBlockSamples) samples: a caller taking a block of output per block
// of input never reaches that, and one that takes none does not grow it without end.

#include "framework/SampleBuffer.h"

class ProcessObj;

enum class WindowType
{
    Rectangular,
    Hann,
    // Hann raised to an overlap-dependent power (overlap / 4), so that the product of two such
    // windows overlap-adds like one Hann at overlap 4.
    HannPower,
};

class ProcessObjChannel
{
public:
    // Blocks up to this size (the vectorscope's 4096-sample window and then some) are queued
    // without growing a buffer.
    static constexpr int kReservedBlockSamples = 8192;

    ProcessObjChannel(ProcessObj* hook, int bufferSize, int overlap, int oversampling,
                      double sampleRate);
    virtual ~ProcessObjChannel() = default;
    ProcessObjChannel(const ProcessObjChannel&) = delete;
    ProcessObjChannel& operator=(const ProcessObjChannel&) = delete;

    // Stores the settings, rebuilds the windows, empties the queues, zeroes the buffers, resets
    // the hook and restarts the latency. Queued input is lost.
    void Reset(int bufferSize, int overlap, int oversampling, double sampleRate);
    void Reset();

    void SetAnalysisWindow(WindowType type);
    void SetSynthesisWindow(WindowType type);
    void SetKeepEnergy(bool keep) { mKeepEnergy = keep; }
    void SetSkipFft(bool skip) { mSkipFft = skip; }
    void SetSkipIFft(bool skip) { mSkipIFft = skip; }
    void SetPartner(ProcessObjChannel* partner) { mPartner = partner; }
    // Side-chain channels are never asked for output, so they keep no output queue.
    void SetOutputEnabled(bool enabled) { mOutputEnabled = enabled; }
    // Nobody reads this channel's output or output frames (only spectra are looked at): the
    // inverse transform, synthesis window and overlap-add are skipped, and frames that will not
    // be transformed are not windowed either.
    void SetSpectraOnly(bool spectraOnly) { mSpectraOnly = spectraOnly; }

    // Queueing. The hook call is separate so that the framework can order it after its own
    // multi-channel input hooks.
    void CallInputHook(const SampleBuffer& samples, const SampleBuffer* scSamples);
    void AddSamples(const double* samples, int count);

    // Frame stages, in order.
    // False (and not-enough-samples set) when fewer than N samples are queued. transform: the
    // frame is going to be transformed (a spectra-only frame that is not copies nothing).
    bool MakeFrame(bool transform = true);
    // transform: the frame is going to be transformed.
    void ApplyAnalysisWindow(bool transform = true);
    // transform false: only the frame's level is taken; the spectrum keeps its last contents
    // (for frames whose spectra nobody looks at).
    void ForwardFft(bool transform = true);
    // The spectrum is read by this channel's own stages: its hook or the inverse transform.
    bool UsesOwnSpectrum() const { return !mSkipFft && (mHook || !mSkipIFft); }
    void CallSpectrumHook();
    void InverseFft();
    void ApplySynthesisWindow();
    void OverlapAdd();
    void Advance();

    // Takes n output samples into out (resized to n). False when the stream has not produced
    // them yet; out then holds zeros.
    bool GetOutput(SampleBuffer& out, int n);

    ProcessObjChannel* GetPartner() const { return mPartner; }
    int GetBufferSize() const { return mBufferSize; }
    int GetOverlap() const { return mOverlap; }
    int GetOversampling() const { return mOversampling; }
    double GetSampleRate() const { return mSampleRate; }
    int GetHop() const { return mHop; }
    int GetLatency() const { return mLatency; }
    int GetLatencyRemaining() const { return mLatencyRemaining; }
    bool HadNotEnoughSamples() const { return mNotEnoughSamples; }
    WindowType GetAnalysisWindowType() const { return mAnalysisWindowType; }
    WindowType GetSynthesisWindowType() const { return mSynthesisWindowType; }
    bool GetKeepEnergy() const { return mKeepEnergy; }
    bool GetSkipFft() const { return mSkipFft; }
    bool GetSkipIFft() const { return mSkipIFft; }

    // The samples still queued; frames taken since the last call are dropped from its start now.
    SampleBuffer& GetInputQueue()
    {
        SettleQueue();
        return mInputQueue;
    }
    int QueuedSamples() const { return mInputQueue.GetSize() - mConsumed; }
    // Windows and transforms N samples as this channel's frame stages would (frame and spectrum
    // then hold them), without touching the queue: for a hook that keeps a frame's samples and
    // wants its spectrum only later.
    void TransformFrame(const double* samples);
    // Drops the samples of the frames taken so far from the queue's start. Frames advance by an
    // offset, so a run of frames moves the queue once, not once per frame.
    void SettleQueue();
    SampleBuffer& GetSpectrum() { return mSpectrum; }
    SampleBuffer& GetOutputFrame() { return mOutputFrame; }
    const SampleBuffer& GetOutputQueue() const { return mOutputQueue; }

    // Steady-state overlap-add sum of the product of two windows (w2 may be null) at hop
    // n / overlap: its mean when it is constant within 0.001 everywhere, otherwise −1.
    static double OverlapAddSum(const double* w1, const double* w2, int n, int overlap);

private:
    void RebuildWindowsIfDirty();
    void WindowFrame();
    // The frame's spectrum (zero for a silent frame).
    void TransformToSpectrum();
    // Spectrum of the real frame through a transform of half the length.
    bool RealForwardFft(int m, double scale);
    void RebuildWindows();
    const SampleBuffer* PartnerFrame() const;
    const SampleBuffer* PartnerOutputFrame() const;

    ProcessObj* mHook;
    int mBufferSize;
    int mOverlap;
    double mSampleRate = 44100.0;
    int mOversampling = 1;
    WindowType mAnalysisWindowType = WindowType::Rectangular;
    WindowType mSynthesisWindowType = WindowType::Rectangular;
    SampleBuffer mAnalysisWindow;
    SampleBuffer mSynthesisWindow;
    bool mKeepEnergy = false;
    bool mSkipFft = false;
    bool mSkipIFft = false;
    int mHop = 1;
    SampleBuffer mInputQueue;
    int mConsumed = 0; // samples at the queue's start that frames have already passed
    int mInputCapacity = 0; // samples reserved for the input queue
    SampleBuffer mOutputFrame;
    SampleBuffer mOverlapAdd;
    SampleBuffer mOutputQueue;
    SampleBuffer mFrame;
    SampleBuffer mSpectrum;
    double mFrameLevel = 0.0;
    bool mWindowsDirty = true;
    int mLatency = 0;
    int mLatencyRemaining = 0;
    bool mNotEnoughSamples = false;
    ProcessObjChannel* mPartner = nullptr;

    bool mOutputEnabled = true;
    bool mSpectraOnly = false;
    int mLargestBlockSamples = 0;  // bounds the output queue when nobody takes the output
    SampleBuffer mRealFftTwiddles; // e^(−2πik/M), k ≤ M/4, as (re, im) pairs
    SampleBuffer mInverseScratch;  // complex pairs for the inverse transform
    SampleBuffer mHopScratch;      // one hop on its way to the output queue
};
