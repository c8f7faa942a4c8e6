#include "app/FileRenderer.h"

#include "app/AudioFile.h"
#include "app/OfflineRenderer.h"
#include "app/ProgressBar.h"

#include <algorithm>
#include <cstdio>
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

std::string TruncatedError(const std::string& path, long long got, long long expected)
{
    return "'" + path + "' ends after " + std::to_string(got) + " of its " +
           std::to_string(expected) + " frames; the file is truncated or damaged";
}

RenderResult Failure(RenderResult result, std::string error)
{
    result.exitCode = 1;
    result.error = std::move(error);
    return result;
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
        for (int c = 0; c < nIn; ++c)
            for (int k = 0; k < n; ++k)
                in[c][k] = k < got ? interleavedIn[static_cast<size_t>(k) * nIn + c] : 0.0f;
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
} // namespace

RenderResult RenderFile(const std::string& inPath, const std::string& outPath,
                        const RenderOptions& options)
{
    RenderResult result;
    AudioFileReader reader;
    if (!reader.Open(inPath))
        return Failure(result, reader.error());
    const int nIn = reader.Channels();
    if (nIn > 2)
        return Failure(result, ChannelError(inPath, nIn));
    result.frames = reader.Frames();
    result.sampleRate = reader.SampleRate();
    result.inputChannels = nIn;

    AudioFileWriter writer;
    std::string error;
    if (!outPath.empty() && !OpenOutput(outPath, reader, writer, error))
        return Failure(result, error);

    const int bs = options.blockSize;
    OfflineRenderer renderer(reader.SampleRate(), nIn, bs);
    if (options.beforeStart)
        options.beforeStart(renderer);
    for (const auto& p : options.params)
        renderer.SetParameter(p.first, p.second);
    renderer.Start();
    result.latency = renderer.Latency();

    HostBlock block(bs, nIn);
    ProgressBar progress(options.showProgress, result.frames);
    // The output of the file's own samples ends `latency` samples after its last input sample.
    const long long toRender = result.frames + result.latency;
    long long toSkip = result.latency; // leading output samples that precede the input
    long long written = 0;
    long long consumed = 0; // input samples fed so far
    long long rendered = 0;
    bool inputDone = false;
    while (written < result.frames)
    {
        const int n = options.trimLastBlock
                          ? static_cast<int>(std::min<long long>(bs, toRender - rendered))
                          : bs;
        long long got = 0;
        if (!inputDone)
        {
            got = reader.Read(block.interleavedIn.data(), n);
            inputDone = got < n || consumed + got >= result.frames;
            if (got < n && consumed + got < result.frames)
            {
                progress.Finish();
                return Failure(result, TruncatedError(inPath, consumed + got, result.frames));
            }
        }
        block.Deinterleave(n, got);
        renderer.Process(block.inPtr, block.outPtr, n);
        consumed += got;
        rendered += n;
        if (options.afterBlock)
            options.afterBlock(renderer, std::clamp(rendered - result.latency, 0LL, result.frames));

        const int skip = static_cast<int>(std::min<long long>(toSkip, n));
        toSkip -= skip;
        const int take = static_cast<int>(std::min<long long>(n - skip, result.frames - written));
        if (take > 0 && options.onOwnOutput)
            options.onOwnOutput(block.out[0].data() + skip, block.out[1].data() + skip, take);
        if (take > 0 && !outPath.empty())
        {
            block.Interleave(skip, take);
            if (!writer.Write(block.interleavedOut.data(), take))
                return Failure(result, writer.error());
        }
        written += std::max(take, 0);
        progress.Update(written);
    }
    progress.Finish();
    if (options.afterRender && !options.afterRender(renderer, result.error))
        return Failure(result, result.error);
    if (!outPath.empty() && !writer.Commit())
        return Failure(result, writer.error());
    result.clippedSamples = writer.ClippedSamples();
    if (result.clippedSamples > 0)
        std::fprintf(stderr,
                     "parandel: warning: %lld samples of '%s' were beyond full scale and "
                     "were clipped\n",
                     result.clippedSamples, outPath.c_str());
    return result;
}
} // namespace app
