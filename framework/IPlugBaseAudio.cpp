#include "framework/IPlugBase.h"
#include "framework/Lanes.h"

#include <algorithm>
#include <cstring>

namespace
{
// The channel range [first, first + count) cut to [0, nChannels), without integer overflow.
void ClipRange(int first, int count, int nChannels, int& begin, int& end)
{
    const long long b = std::max<long long>(first, 0);
    const long long e = std::min<long long>(static_cast<long long>(first) + count, nChannels);
    begin = static_cast<int>(b);
    end = static_cast<int>(std::max(b, e));
}

// The conversions between the host's floats and the plug-in's doubles.
void FloatToDouble(const float* in, double* out, int nFrames)
{
    RunAtWidestLanes([=]() PARANDEL_LAMBDA_INLINE {
        for (int s = 0; s < nFrames; ++s)
            out[s] = in[s];
    });
}

void DoubleToFloat(const double* in, float* out, int nFrames)
{
    RunAtWidestLanes([=]() PARANDEL_LAMBDA_INLINE {
        for (int s = 0; s < nFrames; ++s)
            out[s] = static_cast<float>(in[s]);
    });
}

// Grows a scratch buffer to at least nFrames samples, zeroing the new part; never shrinks.
void GrowScratch(WDL_TypedBuf<double>& scratch, int nFrames)
{
    const int old = scratch.GetSize();
    if (old >= nFrames)
        return;
    double* p = scratch.Resize(nFrames, false);
    if (p)
        std::fill(p + old, p + nFrames, 0.0);
}
} // namespace

// ---- Channel plumbing ----

void IPlugBase::SetBlockSize(int blockSize)
{
    blockSize = std::max(blockSize, 0);
    if (blockSize == mBlockSize)
        return;
    for (int i = 0; i < NInChannels(); ++i)
    {
        InChannel* ch = mInChannels.Get(i);
        ch->scratch.Resize(blockSize);
        ch->scratch.Zero();
        // The buffer may have moved: every slot reads its scratch again.
        *ch->src = ch->scratch.Get();
    }
    for (int i = 0; i < NOutChannels(); ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        ch->scratch.Resize(blockSize);
        ch->scratch.Zero();
        *ch->dest = ch->scratch.Get();
    }
    mBlockSize = blockSize;
    mScratchFrames = blockSize;
}

void IPlugBase::SetInputChannelConnections(int first, int count, bool connected)
{
    int begin, end;
    ClipRange(first, count, NInChannels(), begin, end);
    for (int i = begin; i < end; ++i)
    {
        InChannel* ch = mInChannels.Get(i);
        ch->connected = connected;
        if (!connected)
            *ch->src = ch->scratch.Get();
    }
}

void IPlugBase::SetOutputChannelConnections(int first, int count, bool connected)
{
    int begin, end;
    ClipRange(first, count, NOutChannels(), begin, end);
    for (int i = begin; i < end; ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        ch->connected = connected;
        if (!connected)
            *ch->dest = ch->scratch.Get();
    }
}

void IPlugBase::EnsureScratch(int nFrames)
{
    if (nFrames <= mScratchFrames) // every block after the first
        return;
    for (int i = 0; i < NInChannels(); ++i)
    {
        InChannel* ch = mInChannels.Get(i);
        if (ch->scratch.GetSize() < nFrames)
        {
            GrowScratch(ch->scratch, nFrames);
            *ch->src = ch->scratch.Get();
        }
    }
    for (int i = 0; i < NOutChannels(); ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        if (ch->scratch.GetSize() < nFrames)
        {
            GrowScratch(ch->scratch, nFrames);
            *ch->dest = ch->scratch.Get();
        }
    }
    mScratchFrames = nFrames;
}

void IPlugBase::AttachInputBuffers(int first, int count, float* const* buffers, int nFrames)
{
    if (nFrames < 0)
        return;
    EnsureScratch(nFrames);
    int begin, end;
    ClipRange(first, count, NInChannels(), begin, end);
    int bufIdx = 0;
    for (int i = begin; i < end; ++i)
    {
        InChannel* ch = mInChannels.Get(i);
        if (!ch->connected)
            continue;
        const float* in = buffers ? buffers[bufIdx] : nullptr;
        ++bufIdx;
        double* scratch = ch->scratch.Get();
        if (in)
            FloatToDouble(in, scratch, nFrames);
        else if (nFrames > 0)
            std::fill(scratch, scratch + nFrames, 0.0); // a missing host buffer reads as silence
        *ch->src = scratch;
    }
}

void IPlugBase::AttachOutputBuffers(int first, int count, float* const* buffers)
{
    int begin, end;
    ClipRange(first, count, NOutChannels(), begin, end);
    int bufIdx = 0;
    for (int i = begin; i < end; ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        if (!ch->connected)
            continue;
        ch->floatDest = buffers ? buffers[bufIdx] : nullptr;
        ++bufIdx;
        *ch->dest = ch->scratch.Get();
    }
}

void IPlugBase::WriteOutputsToFloat(int nFrames)
{
    for (int i = 0; i < NOutChannels(); ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        if (ch->connected && ch->floatDest)
            DoubleToFloat(*ch->dest, ch->floatDest, nFrames);
    }
}

void IPlugBase::ProcessBuffers(int nFrames)
{
    if (nFrames < 0)
        return;
    EnsureScratch(nFrames);
    ProcessReplacing(mInData.Get(), mOutData.Get(), nFrames);
    WriteOutputsToFloat(nFrames);
}

void IPlugBase::PassThroughBuffers(int nFrames)
{
    if (nFrames < 0)
        return;
    EnsureScratch(nFrames);
    const int nIn = NInChannels();
    for (int i = 0; i < NOutChannels(); ++i)
    {
        double* out = *mOutChannels.Get(i)->dest;
        if (nIn > 0)
        {
            // Output i carries input i; past the inputs, and where the host feeds no input i
            // (the second channel of a mono input), it carries input 0.
            const bool own = i < nIn && mInChannels.Get(i)->connected;
            const double* in = *mInChannels.Get(own ? i : 0)->src;
            std::memmove(out, in, static_cast<size_t>(nFrames) * sizeof(double));
        }
        else
        {
            std::fill(out, out + nFrames, 0.0);
        }
    }
    WriteOutputsToFloat(nFrames);
}

// ---- Transport ----

bool IPlugBase::IsTransportRunning()
{
    TimeInfo timeInfo;
    GetTime(&timeInfo);
    return timeInfo.transportIsRunning;
}

bool IPlugBase::ResetOnTransportStart()
{
    const bool running = IsTransportRunning();
    if (running && !mTransportWasRunning)
        Reset();
    mTransportWasRunning = running;
    return running;
}

void IPlugBase::MarkSidechainChannels(int nFrames)
{
    if (GetHost() != kHostLogic || nFrames <= 0)
        return;
    const int nIn = NInChannels();
    const int nSidechain = NSidechainChannels();
    const int nMain = std::max(nIn - nSidechain, 1);

    // A sidechain channel is a duplicate when its samples repeat the main channel's exactly.
    auto mark = [this, nFrames](int sidechainIdx, int mainIdx)
    {
        InChannel* sc = mInChannels.Get(sidechainIdx);
        const InChannel* main = mInChannels.Get(mainIdx);
        if (!sc || !main)
            return;
        const double* a = *sc->src;
        const double* b = *main->src;
        // Only samples both buffers hold are compared; a shorter buffer is never a duplicate.
        const bool comparable =
            a && b && sc->scratch.GetSize() >= nFrames && main->scratch.GetSize() >= nFrames;
        sc->duplicateOfMain =
            comparable && std::memcmp(a, b, static_cast<size_t>(nFrames) * sizeof(double)) == 0;
    };

    if (nSidechain >= 1)
        mark(nMain, 0);
    if (nMain >= 2 && nSidechain >= 2)
        mark(nMain + 1, 1);
}
