#include "app/SnapshotCommand.h"

#include "app/AudioFile.h"
#include "app/CommandError.h"
#include "app/DemoMix.h"
#include "app/OfflineRenderer.h"
#include "app/PngFile.h"
#include "app/ScopeImage.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/controls/IControl.h"
#include "engine/Parandel.h"
#include "metering/TWVectorscope.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace app
{
namespace
{
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

void SnapshotCommand::Register(CLI::App& cli)
{
    mCommand = cli.add_subcommand(
        "snapshot", "Render the whole editor, after running audio through the plug-in, as a PNG");
    mCommand->add_option("OUT", mOptions.outPath, "PNG file to write")->required();
    mCommand->add_option("IN", mOptions.inPath, "Audio file to run first (default: the demo mix)");
    mParams.Register(*mCommand);
    AddScopeModeOption(*mCommand, mScopeMode,
                       "Vectorscope mode shown (default: the one the parameters select)");
    CLI::Option* atOpt = mCommand->add_option("--at", mOptions.atSeconds,
                                              "Run the audio up to this time in seconds");
    RequireNumberText(*atOpt, false);
    atOpt->check(CLI::NonNegativeNumber);
    AddBlockSizeOption(*mCommand, mOptions.blockSize);
}

int SnapshotCommand::Run()
{
    mOptions.params = ResolveParams(mParams);
    const std::vector<std::string> inputs = mOptions.inPath.empty()
                                                ? std::vector<std::string>{}
                                                : std::vector<std::string>{mOptions.inPath};
    RequireOutputs(inputs, {{mOptions.outPath, FileKind::Png, "OUT"}});
    mOptions.scopeMode = mScopeMode.empty() ? -1 : ScopeModeFromName(mScopeMode);
    RunSnapshot(mOptions);
    return 0;
}

void RunSnapshot(const SnapshotOptions& options)
{
    StereoSignal signal;
    int channels = 2;
    std::string error;
    if (!LoadInput(options.inPath, -1, signal, channels, error))
        throw CommandError(kExitRuntime, error);
    long long frames = static_cast<long long>(signal.left.size());
    if (options.atSeconds >= 0.0)
        frames = std::min(
            frames, static_cast<long long>(std::llround(options.atSeconds * signal.sampleRate)));

    OfflineRenderer renderer(signal.sampleRate, channels, options.blockSize);
    if (renderer.Status() != noErr)
        throw CommandError(kExitRuntime, "the plug-in refused the set-up (status " +
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
        throw CommandError(kExitRuntime, "the plug-in has no editor");
    IGraphicsOffscreen view;
    if (!graphics->OpenWindow(&view))
        throw CommandError(kExitRuntime, "the editor cannot be shown");
    // A picture shows every control at rest: animations at their first frame.
    IControl::FreezeClock(0);
    view.DrawAll();
    graphics->CloseWindow();
    if (!WritePngFile(view.Screen(), options.outPath, error))
        throw CommandError(kExitRuntime, error);
}
} // namespace app
