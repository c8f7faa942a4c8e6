#pragma once
// Hook of the short-time Fourier framework (FftProcessObj16) that sees every channel of a stage
// at once, after the per-channel work of that stage. Each stage hook receives the main channels'
// buffers of that stage and the side-chain channels' buffers, or null when there are no
// side-chain channels. The framing and windowing hooks are given the input queues (whose first N
// samples make the frame); the spectrum hooks the spectra, (re, im) pairs in natural order; the
// inverse and synthesis hooks the output frames. Defaults do nothing. Called on the thread that
// runs FftProcessObj16::Process.

#include "framework/ChannelList.h"
#include "framework/SampleBuffer.h"
#include "framework/WDL_PtrList.h"

using BufferPtrList = WDL_PtrList<SampleBuffer>;

class MultichannelProcess
{
public:
    virtual ~MultichannelProcess() = default;

    virtual void Reset() {}
    virtual void Reset(int /*bufferSize*/, int /*overlap*/, int /*oversampling*/,
                       double /*sampleRate*/)
    {
    }

    // Whether the coming frame's spectra are read by this hook. A frame whose spectra nobody
    // reads is not transformed.
    virtual bool WantsNextSpectra() const { return true; }
    // Whether the framing and windowing hooks read the input queues (their first N samples then
    // make the frame); a hook that does not lets the frames advance without moving the queues.
    virtual bool LooksAtQueues() const { return true; }

    // New input samples before they are queued.
    virtual void ProcessInputSamples(const ChannelList& /*in*/, const ChannelList* /*scIn*/) {}
    virtual void ProcessFramed(BufferPtrList& /*queues*/, BufferPtrList* /*scQueues*/) {}
    virtual void ProcessWindowed(BufferPtrList& /*queues*/, BufferPtrList* /*scQueues*/) {}
    // Right after the forward transforms.
    virtual void ProcessInputFft(BufferPtrList& /*spectra*/, BufferPtrList* /*scSpectra*/) {}
    // After the per-channel spectrum hooks.
    virtual void ProcessSpectra(BufferPtrList& /*spectra*/, BufferPtrList* /*scSpectra*/) {}
    virtual void ProcessIFft(BufferPtrList& /*frames*/, BufferPtrList* /*scFrames*/) {}
    virtual void ProcessSynthesisWindowed(BufferPtrList& /*frames*/, BufferPtrList* /*scFrames*/) {}
};
