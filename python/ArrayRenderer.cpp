#include "python/ArrayRenderer.h"

#include "app/render/OfflineRenderer.h"

#include <algorithm>
#include <vector>

namespace pyparandel
{
namespace
{
// The host's buffers of one block.
struct Buffers
{
    explicit Buffers(int blockSize)
    {
        for (int c = 0; c < 2; ++c)
        {
            in[c].assign(blockSize, 0.0f);
            out[c].assign(blockSize, 0.0f);
            inPtr[c] = in[c].data();
            outPtr[c] = out[c].data();
        }
    }
    std::vector<float> in[2], out[2];
    float* inPtr[2];
    float* outPtr[2];
};
} // namespace

app::RenderResult RenderArray(const SampleArray& in, int rate, const app::RenderOptions& options,
                              const SampleArray& out)
{
    app::RenderResult result;
    result.frames = in.frames;
    result.sampleRate = rate;
    result.inputChannels = in.channels;
    const int bs = options.blockSize;
    app::OfflineRenderer renderer(rate, in.channels, bs);
    if (options.beforeStart)
        options.beforeStart(renderer);
    for (const auto& p : options.params)
        renderer.SetParameter(p.first, p.second);
    renderer.Start();
    if (renderer.Status() != noErr)
    {
        result.exitCode = 1;
        result.error = "the plug-in refused the set-up (status " +
                       std::to_string(renderer.Status()) + ")";
        return result;
    }
    result.latency = renderer.Latency();
    Buffers b(bs);
    const long long frames = in.frames;
    const long long toRender = frames + result.latency;
    long long toSkip = result.latency, written = 0, consumed = 0, rendered = 0;
    while (written < frames)
    {
        const int n = options.trimLastBlock
                          ? static_cast<int>(std::min<long long>(bs, toRender - rendered))
                          : bs;
        const long long got = std::clamp(frames - consumed, 0LL, static_cast<long long>(n));
        for (int c = 0; c < in.channels; ++c)
            for (int k = 0; k < n; ++k)
                b.in[c][k] = k < got ? in.Get(consumed + k, c) : 0.0f;
        renderer.Process(b.inPtr, b.outPtr, n);
        consumed += got;
        rendered += n;
        if (options.afterBlock)
            options.afterBlock(renderer, std::clamp(rendered - result.latency, 0LL, frames));
        const int skip = static_cast<int>(std::min<long long>(toSkip, n));
        toSkip -= skip;
        const int take = static_cast<int>(std::min<long long>(n - skip, frames - written));
        if (take > 0 && options.onOwnOutput)
            options.onOwnOutput(b.out[0].data() + skip, b.out[1].data() + skip, take);
        if (out.data)
            for (int k = 0; k < take; ++k)
                for (int c = 0; c < 2; ++c)
                    out.Set(written + k, c, b.out[c][skip + k]);
        written += std::max(take, 0);
    }
    std::string error;
    if (options.afterRender && !options.afterRender(renderer, error))
    {
        result.exitCode = 1;
        result.error = error;
    }
    return result;
}
} // namespace pyparandel
