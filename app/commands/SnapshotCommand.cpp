#include "app/commands/SnapshotCommand.h"

#include "app/files/AudioFile.h"
#include "app/commands/CommandError.h"
#include "app/render/DemoMix.h"
#include "app/render/OfflineRenderer.h"
#include "app/files/PngFile.h"
#include "app/report/ScopeImage.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/controls/IControl.h"
#include "engine/Parandel.h"
#include "metering/TWVectorscope.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace app
{
namespace
{
// Far beyond any file's length (115 days), and small enough that a time in samples at any rate
// is an exact whole number.
constexpr double kMaxAtSeconds = 1e7;

// The audio run before the picture: the demo mix, or a file streamed block by block (never held
// whole, whatever length its header claims).
class SnapshotInput
{
public:
    // False with a one-line reason when the file cannot be read or shown.
    bool Open(const std::string& path, std::string& error)
    {
        if (path.empty())
        {
            mDemo = MakeDemoMix();
            mRate = mDemo.sampleRate;
            return true;
        }
        mFile = std::make_unique<AudioFileReader>();
        if (!mFile->Open(path))
        {
            error = mFile->error();
            return false;
        }
        mChannels = mFile->Channels();
        if (mChannels > 2)
        {
            error = "'" + path + "' has " + std::to_string(mChannels) +
                    " channels; only mono and stereo files can be shown";
            return false;
        }
        mRate = mFile->SampleRate();
        return true;
    }
    int SampleRate() const { return mRate; }
    int Channels() const { return mChannels; }
    // Up to n frames into left and right; how many (fewer at the end).
    int Read(float* left, float* right, int n)
    {
        if (!mFile)
        {
            const size_t pos = mDemoPos;
            const int got = static_cast<int>(std::min<size_t>(n, mDemo.left.size() - pos));
            std::copy_n(mDemo.left.begin() + pos, got, left);
            std::copy_n(mDemo.right.begin() + pos, got, right);
            mDemoPos += got;
            return got;
        }
        mInterleaved.resize(static_cast<size_t>(n) * mChannels);
        const int got = static_cast<int>(mFile->Read(mInterleaved.data(), n));
        for (int k = 0; k < got; ++k)
        {
            left[k] = mInterleaved[static_cast<size_t>(k) * mChannels];
            right[k] = mInterleaved[static_cast<size_t>(k) * mChannels + mChannels - 1];
        }
        return got;
    }
    bool EndedEarly(std::string& error) const
    {
        if (!mFile || !mFile->EndedEarly())
            return false;
        error = mFile->EarlyEndError();
        return true;
    }

private:
    std::unique_ptr<AudioFileReader> mFile;
    StereoSignal mDemo;
    size_t mDemoPos = 0;
    int mRate = 0;
    int mChannels = 2;
    std::vector<float> mInterleaved;
};

// Runs the input through the renderer block by block, up to `frames` samples (the whole input
// when negative). False when the file turns out truncated.
bool RunAudio(OfflineRenderer& renderer, SnapshotInput& input, long long frames, std::string& error)
{
    const int block = renderer.BlockSize();
    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    for (long long pos = 0; frames < 0 || pos < frames; pos += block)
    {
        const int want =
            static_cast<int>(frames < 0 ? block : std::min<long long>(block, frames - pos));
        std::fill(inL.begin(), inL.end(), 0.0f);
        std::fill(inR.begin(), inR.end(), 0.0f);
        const int got = input.Read(inL.data(), inR.data(), want);
        if (input.EndedEarly(error))
            return false;
        if (got == 0)
            break;
        renderer.Process(inputs, outputs, block);
        if (got < want)
            break;
    }
    return true;
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
    atOpt->check(CLI::Validator(
        [](std::string& text) -> std::string
        {
            double seconds = 0;
            if (ParseNumber(text, seconds) && seconds >= 0 && seconds <= kMaxAtSeconds)
                return "";
            return "'" + text + "' is not a time from 0 to " +
                   std::to_string(static_cast<long long>(kMaxAtSeconds)) + " seconds";
        },
        ""));
    AddBlockSizeOption(*mCommand, mOptions.blockSize);
    AddScaleOption(*mCommand, mOptions.scale,
                   "Display scale of the picture: 1, 1.5 or 2 (default 1)");
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
    SnapshotInput input;
    std::string error;
    if (!input.Open(options.inPath, error))
        throw CommandError(kExitRuntime, error);
    const long long frames =
        options.atSeconds >= 0.0 ? std::llround(options.atSeconds * input.SampleRate()) : -1;

    OfflineRenderer renderer(input.SampleRate(), input.Channels(), options.blockSize);
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
    if (!RunAudio(renderer, input, frames, error))
        throw CommandError(kExitRuntime, error);

    Parandel& plug = renderer.Plugin();
    IGraphics* graphics = GetGUI(plug);
    if (!graphics)
        throw CommandError(kExitRuntime, "the plug-in has no editor");
    graphics->SetScale(options.scale);
    IGraphicsOffscreen view;
    if (!graphics->OpenWindow(&view))
        throw CommandError(kExitRuntime, "the editor cannot be shown");
    // A picture shows every control at rest: animations at their first frame.
    const IControl::FrozenClock atRest(0);
    view.DrawAll();
    graphics->CloseWindow();
    if (!WritePngFile(view.Screen(), options.outPath, error))
        throw CommandError(kExitRuntime, error);
}
} // namespace app
