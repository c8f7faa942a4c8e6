#pragma once
// Short-time Fourier framework: queues the samples of several channels (main channels first, then
// side-chain channels), cuts them into frames of N samples every N / overlap samples, windows
// them, transforms them to spectra (X[k] = (oversampling / M) Σ x[n] e^(−2πikn/M), M = N ×
// oversampling), offers every stage to per-channel hooks (ProcessObj) and multi-channel hooks
// (MultichannelProcess), transforms back, windows again and overlap-adds into an output stream
// delayed by N samples.
//
// Construction and Reset allocate, on the control thread; Process and AddSamples allocate nothing
// once reset, for blocks of up to ProcessObjChannel::kReservedBlockSamples. No locking of its own:
// the caller provides exclusion. Hooks are not owned.

#include "framework/ChannelList.h"
#include "framework/WDL_PtrList.h"
#include "metering/MultichannelProcess.h"
#include "metering/ProcessObj.h"
#include "metering/ProcessObjChannel.h"

class FftProcessObj16
{
public:
    // Per-channel hooks: channel i gets processObjs[i] when the list has one.
    FftProcessObj16(const WDL_PtrList<ProcessObj>& processObjs, int numChannels, int numScChannels,
                    int bufferSize, int overlap, double sampleRate, int oversampling);
    virtual ~FftProcessObj16();
    FftProcessObj16(const FftProcessObj16&) = delete;
    FftProcessObj16& operator=(const FftProcessObj16&) = delete;

    // Builds the shared transform tables ahead of the first frame.
    static void Init();

    // Stores every positive argument, then Reset().
    virtual void Reset(int bufferSize, int overlap, int oversampling, double sampleRate);
    // Resets every channel (queued samples are dropped) and every multi-channel hook.
    virtual void Reset();

    int GetBufferSize() const { return mBufferSize; }
    int GetOverlap() const { return mOverlap; }
    int GetOversampling() const { return mOversampling; }
    double GetSampleRate() const { return mSampleRate; }
    int GetLatency() const { return mBufferSize; }

    // Channel −1, or any index outside the channel list, applies to every channel.
    void SetAnalysisWindow(int channel, WindowType type);
    void SetSynthesisWindow(int channel, WindowType type);
    void SetKeepEnergy(int channel, bool keep);
    void SetSkipFft(int channel, bool skip);
    // Only the spectra are looked at (see ProcessObjChannel::SetSpectraOnly); the output stays
    // silent.
    void SetSpectraOnly(int channel, bool spectraOnly);
    void SetSkipIFft(int channel, bool skip);

    void AddMultichannelProcess(MultichannelProcess* hook);

    // Queues one block and runs every complete frame. With out given, each main channel that has
    // an output buffer receives as many samples as the first input channel had; false (and zeros
    // in every output buffer) while the delayed stream has not produced them yet. An empty input
    // list stands for silence as long as the output buffers.
    virtual bool Process(const ChannelList& in, const ChannelList& scIn, ChannelList* out);

    // Queue samples without running frames or hooks.
    void AddSamples(const ChannelList& in, const ChannelList& scIn);
    void AddSamples(int firstChannel, const ChannelList& channels);

    int GetNumChannels() const { return mChannels.GetSize() - mNumScChannels; }
    int GetNumScChannels() const { return mNumScChannels; }
    ProcessObjChannel* GetChannel(int index) const { return mChannels.Get(index); }

protected:
    // Multi-channel stage dispatchers, called by Process after the channels' own work.
    void DispatchFramed();
    void DispatchWindowed();
    void DispatchInputFft();
    void DispatchSpectra();
    void DispatchIFft();
    void DispatchSynthesisWindowed();

private:
    // Some stage reads this frame's spectra; otherwise the transforms are skipped.
    bool SpectraWanted() const;
    bool HooksLookAtQueues() const;
    void RunFrame();
    void RunQueuedFrames();
    BufferPtrList* ScList(BufferPtrList& list) { return mNumScChannels > 0 ? &list : nullptr; }

    WDL_PtrList<ProcessObjChannel> mChannels;
    int mNumScChannels;
    int mBufferSize;
    int mOverlap;
    int mOversampling;
    double mSampleRate;
    WDL_PtrList<MultichannelProcess> mMultichannelProcesses;

    // Stage buffers of the channels, built once: the channels' buffers never move.
    BufferPtrList mQueues, mScQueues;
    BufferPtrList mSpectra, mScSpectra;
    BufferPtrList mOutFrames, mScOutFrames;
    ChannelList mSilentInput; // stands in for an empty input list
};
