#include "app/render/FileRenderer.h"

#include "app/files/AudioFile.h"
#include "app/render/OfflineRenderer.h"
#include "engine/Parandel.h"
#include "app/commands/ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

namespace app
{
namespace
{
std::string ChannelError(const std::string& path, int channels)
{
    return "'" + path + "' has " + std::to_string(channels) +
           " channels; supported configurations: 1 in / 2 out (mono) and 2 in / 2 out (stereo)";
}

// Creates the output's temporary file in the format its extension and the input call for.
bool OpenOutput(const std::string& outPath, const AudioFileReader& reader, AudioFileWriter& writer,
                std::string& error)
{
    const int container = ContainerForPath(outPath);
    const int format = ChooseOutputFormat(container, reader.Format(),
                                          OfflineRenderer::kOutputChannels, reader.SampleRate());
    if (container == 0 || format == 0)
    {
        error = "cannot tell an output format from '" + outPath + "'; use one of the extensions " +
                KnownExtensions();
        return false;
    }
    if (!writer.Create(outPath, format, OfflineRenderer::kOutputChannels, reader.SampleRate()))
    {
        error = writer.error();
        return false;
    }
    return true;
}

// One block of host buffers: de-interleaved input channels and the two output channels.
struct HostBlock
{
    HostBlock(int blockSize, int inputChannels)
        : nIn(inputChannels), interleavedIn(static_cast<size_t>(blockSize) * inputChannels),
          interleavedOut(static_cast<size_t>(blockSize) * 2)
    {
        for (int c = 0; c < 2; ++c)
        {
            in[c].assign(blockSize, 0.0f);
            out[c].assign(blockSize, 0.0f);
            inPtr[c] = in[c].data();
            outPtr[c] = out[c].data();
        }
    }
    // The n input samples of each channel: the got read into interleavedIn, then silence.
    void Deinterleave(int n, long long got)
    {
        const int read = static_cast<int>(std::clamp<long long>(got, 0, n));
        const float* from = interleavedIn.data();
        for (int c = 0; c < nIn; ++c)
        {
            float* to = in[c].data();
            for (int k = 0; k < read; ++k)
                to[k] = from[static_cast<size_t>(k) * nIn + c];
            std::fill(to + read, to + n, 0.0f);
        }
    }
    // take output samples from skip on, into interleavedOut.
    void Interleave(int skip, int take)
    {
        for (int k = 0; k < take; ++k)
        {
            interleavedOut[2 * k] = out[0][skip + k];
            interleavedOut[2 * k + 1] = out[1][skip + k];
        }
    }

    int nIn;
    std::vector<float> interleavedIn, interleavedOut;
    std::vector<float> in[2], out[2];
    float* inPtr[2];
    float* outPtr[2];
};
// One render, step by step: Open, SetUp, RunBlocks, Finish. A step that fails returns false
// with the result's exit code and error set.
class Render
{
public:
    Render(const std::string& inPath, const std::string& outPath, const RenderOptions& options)
        : mInPath(inPath), mOutPath(outPath), mOptions(options)
    {
    }
    // Opens the input, checks its channels and creates the output's temporary file.
    bool Open();
    // Creates the plug-in with the options' set-up and parameters, and starts it.
    void SetUp();
    // Feeds the file through block by block until its own output is complete.
    bool RunBlocks();
    // The afterRender check, then the output committed and clipping reported.
    bool Finish();
    const RenderResult& Result() const { return mResult; }

private:
    bool Fail(std::string error)
    {
        mResult.exitCode = 1;
        mResult.error = std::move(error);
        return false;
    }
    // Reads up to n input frames into the block (none once the input is done); false for a file
    // that ends before its header says.
    bool ReadInput(int n, long long& got);
    // The file's frame count: its header's, or once a file of unknown length has been read to
    // its end, the frames it held; −1 until then.
    long long KnownFrames() const { return mInputDone ? mConsumed : mResult.frames; }
    // Frames of the next block: a whole block, or with trimLastBlock only as far as the output
    // of the file's last sample once that is known.
    int BlockLength() const;
    // Passes on and writes the file's own output samples of a rendered block of n.
    bool TakeOutput(int n);

    const std::string& mInPath;
    const std::string& mOutPath;
    const RenderOptions& mOptions;
    RenderResult mResult;
    AudioFileReader mReader;
    AudioFileWriter mWriter;
    std::unique_ptr<OfflineRenderer> mRenderer;
    std::unique_ptr<HostBlock> mBlock;
    long long mToSkip = 0;   // leading output samples that precede the input
    long long mWritten = 0;  // the file's own output samples so far
    long long mConsumed = 0; // input samples fed so far
    long long mRendered = 0;
    bool mInputDone = false;
};

bool Render::Open()
{
    if (!mReader.Open(mInPath))
        return Fail(mReader.error());
    const int nIn = mReader.Channels();
    if (nIn > 2)
        return Fail(ChannelError(mInPath, nIn));
    mResult.frames = mReader.Frames();
    mResult.sampleRate = mReader.SampleRate();
    mResult.inputChannels = nIn;
    std::string error;
    if (!mOutPath.empty() && !OpenOutput(mOutPath, mReader, mWriter, error))
        return Fail(error);
    return true;
}

void Render::SetUp()
{
    const int bs = mOptions.blockSize;
    mRenderer = std::make_unique<OfflineRenderer>(mReader.SampleRate(), mResult.inputChannels, bs);
    mRenderer->Plugin().SetCorrelationRead(mOptions.readCorrelation);
    mRenderer->Plugin().SetScopeRead(mOptions.readScope);
    if (mOptions.beforeStart)
        mOptions.beforeStart(*mRenderer);
    for (const auto& p : mOptions.params)
        mRenderer->SetParameter(p.first, p.second);
    mRenderer->Start();
    mResult.latency = mRenderer->Latency();
    mBlock = std::make_unique<HostBlock>(bs, mResult.inputChannels);
    mToSkip = mResult.latency;
}

bool Render::ReadInput(int n, long long& got)
{
    got = 0;
    if (mInputDone)
        return true;
    got = mReader.Read(mBlock->interleavedIn.data(), n);
    if (mReader.EndedEarly())
        return Fail(mReader.EarlyEndError());
    mConsumed += got;
    mInputDone = got < n || (mResult.frames >= 0 && mConsumed >= mResult.frames);
    return true;
}

int Render::BlockLength() const
{
    const long long frames = KnownFrames();
    if (!mOptions.trimLastBlock || frames < 0)
        return mOptions.blockSize;
    return static_cast<int>(
        std::min<long long>(mOptions.blockSize, frames + mResult.latency - mRendered));
}

bool Render::TakeOutput(int n)
{
    const int skip = static_cast<int>(std::min<long long>(mToSkip, n));
    mToSkip -= skip;
    const long long frames = KnownFrames();
    const int take =
        frames < 0 ? n - skip : static_cast<int>(std::min<long long>(n - skip, frames - mWritten));
    if (take > 0 && mOptions.onOwnOutput)
        mOptions.onOwnOutput(mBlock->out[0].data() + skip, mBlock->out[1].data() + skip, take);
    if (take > 0 && !mOutPath.empty())
    {
        mBlock->Interleave(skip, take);
        if (!mWriter.Write(mBlock->interleavedOut.data(), take))
            return Fail(mWriter.error());
    }
    mWritten += std::max(take, 0);
    return true;
}

bool Render::RunBlocks()
{
    ProgressBar progress(mOptions.showProgress, mResult.frames);
    // The output of the file's own samples ends `latency` samples after its last input sample.
    while (KnownFrames() < 0 || mWritten < KnownFrames())
    {
        long long got = 0;
        bool ok = ReadInput(BlockLength(), got);
        // The input's end, once found, may shorten the block; never below what was read.
        const int n = BlockLength();
        if (ok && n > 0)
        {
            mBlock->Deinterleave(n, got);
            mRenderer->Process(mBlock->inPtr, mBlock->outPtr, n);
            mRendered += n;
            if (mOptions.afterBlock)
                mOptions.afterBlock(*mRenderer,
                                    std::clamp(mRendered - mResult.latency, 0LL,
                                               KnownFrames() < 0 ? mRendered : KnownFrames()));
            ok = TakeOutput(n);
        }
        if (!ok)
        {
            progress.Finish(); // the message that follows starts on a clear line
            return false;
        }
        progress.Update(mWritten);
    }
    progress.Finish();
    mResult.frames = KnownFrames();
    return true;
}

bool Render::Finish()
{
    std::string error;
    if (mOptions.afterRender && !mOptions.afterRender(*mRenderer, error))
        return Fail(error);
    if (!mOutPath.empty() && !mWriter.Commit())
        return Fail(mWriter.error());
    mResult.clippedSamples = mWriter.ClippedSamples();
    if (mResult.clippedSamples > 0 && mOptions.warnOfClipping)
        WarnOfClipping(mOutPath, mResult.clippedSamples);
    return true;
}
} // namespace

void WarnOfClipping(const std::string& outPath, long long clippedSamples)
{
    std::fprintf(stderr,
                 "parandel: warning: %lld samples of '%s' were beyond full scale and were "
                 "clipped\n",
                 clippedSamples, outPath.c_str());
}

RenderResult RenderFile(const std::string& inPath, const std::string& outPath,
                        const RenderOptions& options)
{
    Render render(inPath, outPath, options);
    if (render.Open())
    {
        render.SetUp();
        if (render.RunBlocks())
            render.Finish();
    }
    return render.Result();
}
} // namespace app
