#include "app/SnapshotCommand.h"

#include "app/AudioFile.h"
#include "app/DemoMix.h"
#include "app/OfflineRenderer.h"
#include "app/PngFile.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/controls/IControl.h"
#include "engine/Parandel.h"
#include "metering/TWVectorscope.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace app
{
namespace
{
constexpr int kExitRuntime = 1;

int Fail(const std::string& message)
{
    std::fprintf(stderr, "parandel: error: %s\n", message.c_str());
    return kExitRuntime;
}

// The input as de-interleaved channels, at most maxFrames long (all of it when negative).
bool LoadInput(const std::string& path, long long maxFrames, StereoSignal& signal, int& channels,
               std::string& error)
{
    if (path.empty())
    {
        signal = MakeDemoMix();
        channels = 2;
        return true;
    }
    AudioFileReader reader;
    if (!reader.Open(path))
    {
        error = reader.error();
        return false;
    }
    channels = reader.Channels();
    if (channels < 1 || channels > 2)
    {
        error = "'" + path + "' has " + std::to_string(channels) +
                " channels; only mono and stereo files can be shown";
        return false;
    }
    signal.sampleRate = reader.SampleRate();
    long long frames = reader.Frames();
    if (maxFrames >= 0)
        frames = std::min(frames, maxFrames);
    std::vector<float> interleaved(static_cast<size_t>(frames) * channels);
    const long long got = reader.Read(interleaved.data(), frames);
    if (got < frames)
    {
        error = "cannot read '" + path + "': the file ends early";
        return false;
    }
    signal.left.resize(static_cast<size_t>(frames));
    signal.right.resize(static_cast<size_t>(frames));
    for (long long k = 0; k < frames; ++k)
    {
        signal.left[k] = interleaved[k * channels];
        signal.right[k] = interleaved[k * channels + channels - 1];
    }
    return true;
}

// Runs the signal through the renderer block by block, stopping after `frames` samples.
void RunAudio(OfflineRenderer& renderer, const StereoSignal& signal, long long frames)
{
    const int block = renderer.BlockSize();
    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    for (long long pos = 0; pos < frames; pos += block)
    {
        const int n = static_cast<int>(std::min<long long>(block, frames - pos));
        std::fill(inL.begin(), inL.end(), 0.0f);
        std::fill(inR.begin(), inR.end(), 0.0f);
        std::copy_n(signal.left.begin() + pos, n, inL.begin());
        std::copy_n(signal.right.begin() + pos, n, inR.begin());
        renderer.Process(inputs, outputs, block);
    }
}
} // namespace

int RunSnapshot(const SnapshotOptions& options)
{
    StereoSignal signal;
    int channels = 2;
    std::string error;
    if (!LoadInput(options.inPath, -1, signal, channels, error))
        return Fail(error);
    long long frames = static_cast<long long>(signal.left.size());
    if (options.atSeconds >= 0.0)
        frames = std::min(frames, static_cast<long long>(
                                      std::llround(options.atSeconds * signal.sampleRate)));

    OfflineRenderer renderer(signal.sampleRate, channels, options.blockSize);
    if (renderer.Status() != noErr)
        return Fail("the plug-in refused the set-up (status " +
                    std::to_string(renderer.Status()) + ")");
    for (const auto& [idx, value] : options.params)
        renderer.SetParameter(idx, value);
    if (options.scopeMode >= 0)
        renderer.SetParameter(Parandel::kVectorscopeMode0 + options.scopeMode, 1.0);
    // The editor opens after the audio: the scope computes from the first block as for a viewer.
    renderer.Plugin().GetVectorscope()->SetComputeWithoutGraphs(true);
    renderer.Start();
    RunAudio(renderer, signal, frames);

    Parandel& plug = renderer.Plugin();
    IGraphics* graphics = plug.GetGUI();
    if (!graphics)
        return Fail("the plug-in has no editor");
    IGraphicsOffscreen view;
    if (!graphics->OpenWindow(&view))
        return Fail("the editor cannot be shown");
    // A picture shows every control at rest: animations at their first frame.
    IControl::FreezeClock(0);
    view.DrawAll();
    graphics->CloseWindow();
    if (!WritePngFile(view.Screen(), options.outPath, error))
        return Fail(error);
    return 0;
}
} // namespace app
