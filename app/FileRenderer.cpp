#include "app/FileRenderer.h"

#include "app/AudioFile.h"
#include "app/OfflineRenderer.h"
#include "app/ProgressBar.h"

#include <algorithm>
#include <atomic>
#include <csignal>

namespace app
{
namespace
{
std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int)
{
    gInterrupted.store(true);
}

std::string ChannelError(const std::string& path, int channels)
{
    return "'" + path + "' has " + std::to_string(channels) +
           " channels; supported configurations: 1 in / 2 out (mono) and 2 in / 2 out (stereo)";
}
} // namespace

void InstallInterruptHandlers()
{
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

RenderResult RenderFile(const std::string& inPath, const std::string& outPath,
                        const RenderOptions& options)
{
    RenderResult result;
    AudioFileReader reader;
    if (!reader.Open(inPath))
    {
        result.exitCode = 1;
        result.error = reader.error();
        return result;
    }
    const int nIn = reader.Channels();
    if (nIn > 2)
    {
        result.exitCode = 1;
        result.error = ChannelError(inPath, nIn);
        return result;
    }
    result.frames = reader.Frames();
    result.sampleRate = reader.SampleRate();
    result.inputChannels = nIn;

    AudioFileWriter writer;
    if (!outPath.empty())
    {
        const int container = ContainerForPath(outPath);
        const int format = ChooseOutputFormat(
            container, reader.Format(), OfflineRenderer::kOutputChannels, reader.SampleRate());
        if (container == 0 || format == 0)
        {
            result.exitCode = 1;
            result.error = "cannot tell an output format from '" + outPath +
                           "'; use one of the extensions " + KnownExtensions();
            return result;
        }
        if (!writer.Create(outPath, format, OfflineRenderer::kOutputChannels, reader.SampleRate()))
        {
            result.exitCode = 1;
            result.error = writer.error();
            return result;
        }
    }

    const int bs = options.blockSize;
    OfflineRenderer renderer(reader.SampleRate(), nIn, bs);
    if (options.beforeStart)
        options.beforeStart(renderer);
    for (const auto& p : options.params)
        renderer.SetParameter(p.first, p.second);
    renderer.Start();
    result.latency = renderer.Latency();

    std::vector<float> interleavedIn(static_cast<size_t>(bs) * nIn);
    std::vector<float> interleavedOut(static_cast<size_t>(bs) * 2);
    std::vector<float> inBuf[2], outBuf[2];
    float* inPtr[2];
    float* outPtr[2];
    for (int c = 0; c < 2; ++c)
    {
        inBuf[c].assign(bs, 0.0f);
        outBuf[c].assign(bs, 0.0f);
        inPtr[c] = inBuf[c].data();
        outPtr[c] = outBuf[c].data();
    }

    ProgressBar progress(options.showProgress, result.frames);
    long long toSkip = result.latency; // leading output samples that precede the input
    long long written = 0;
    long long consumed = 0; // input samples fed so far
    bool inputDone = false;
    while (written < result.frames)
    {
        if (gInterrupted.load())
        {
            progress.Finish();
            result.exitCode = 130;
            result.error = "interrupted; no output written";
            return result;
        }
        long long got = 0;
        if (!inputDone)
        {
            got = reader.Read(interleavedIn.data(), bs);
            if (got < bs)
                inputDone = true;
        }
        for (int c = 0; c < nIn; ++c)
            for (int k = 0; k < bs; ++k)
                inBuf[c][k] = k < got ? interleavedIn[static_cast<size_t>(k) * nIn + c] : 0.0f;
        renderer.Process(inPtr, outPtr, bs);
        consumed += got;
        if (options.afterBlock)
            options.afterBlock(renderer, consumed);

        const int skip = static_cast<int>(std::min<long long>(toSkip, bs));
        toSkip -= skip;
        const int take = static_cast<int>(std::min<long long>(bs - skip, result.frames - written));
        if (take > 0 && !outPath.empty())
        {
            for (int k = 0; k < take; ++k)
            {
                interleavedOut[2 * k] = outBuf[0][skip + k];
                interleavedOut[2 * k + 1] = outBuf[1][skip + k];
            }
            if (!writer.Write(interleavedOut.data(), take))
            {
                result.exitCode = 1;
                result.error = writer.error();
                return result;
            }
        }
        written += std::max(take, 0);
        progress.Update(written);
    }
    progress.Finish();
    if (options.afterRender && !options.afterRender(renderer, result.error))
    {
        result.exitCode = 1;
        return result;
    }
    if (!outPath.empty() && !writer.Commit())
    {
        result.exitCode = 1;
        result.error = writer.error();
    }
    return result;
}
} // namespace app
