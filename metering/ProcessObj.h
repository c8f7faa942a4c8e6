#pragma once
// Per-channel hook of the short-time Fourier framework (FftProcessObj16). A channel calls its
// hook at every stage of a frame; the partner arguments are the paired side-chain channel's
// buffers of the same stage, or null when the channel has no partner. Every hook may modify the
// buffer it is given except the input samples. Defaults do nothing.

#include "framework/SampleBuffer.h"

class ProcessObj
{
public:
    virtual ~ProcessObj() = default;

    virtual void Reset(int /*bufferSize*/, int /*overlap*/, int /*oversampling*/,
                       double /*sampleRate*/)
    {
    }
    virtual void Reset() {}

    // New samples of the channel before they are queued.
    virtual void ProcessInputSamples(const SampleBuffer& /*samples*/,
                                     const SampleBuffer* /*scSamples*/)
    {
    }
    // The frame of N samples, copied from the input queue.
    virtual void ProcessFramedSamples(SampleBuffer& /*frame*/, const SampleBuffer* /*partnerFrame*/)
    {
    }
    // The frame after the analysis window.
    virtual void ProcessWindowedSamples(SampleBuffer& /*frame*/,
                                        const SampleBuffer* /*partnerFrame*/)
    {
    }
    // The spectrum: N × oversampling complex values as (re, im) pairs, natural order.
    virtual void ProcessFftSpectrum(SampleBuffer& /*spectrum*/,
                                    const SampleBuffer* /*partnerSpectrum*/)
    {
    }
    // The output frame back in the time domain.
    virtual void ProcessIFftSamples(SampleBuffer& /*frame*/, const SampleBuffer* /*partnerFrame*/)
    {
    }
    virtual void ProcessBeforeSynthesisWindow(SampleBuffer& /*frame*/,
                                              const SampleBuffer* /*partnerFrame*/)
    {
    }
    virtual void ProcessBeforeOverlapAdd(SampleBuffer& /*frame*/,
                                         const SampleBuffer* /*partnerFrame*/)
    {
    }
    // One hop of finished output samples on their way to the output queue.
    virtual void ProcessHopSamples(SampleBuffer& /*hop*/) {}
};
