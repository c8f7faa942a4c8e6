#include "app/commands/DemoCommand.h"

#include "app/files/AudioFile.h"
#include "app/commands/CommandError.h"
#include "app/commands/CommonOptions.h"
#include "app/render/DemoMix.h"
#include "app/render/FileRenderer.h"
#include "app/render/SignalStats.h"
#include "app/commands/SnapshotCommand.h"
#include "app/commands/Version.h"
#include "engine/Parandel.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace app
{
namespace
{
void PrintStats(const char* label, const std::string& path)
{
    StereoStats s;
    std::string error;
    if (!MeasureFile(path, s, error))
    {
        std::printf("%-7s %s: %s\n", label, path.c_str(), error.c_str());
        return;
    }
    std::printf("%-7s %-28s peak %6.2f dBFS  RMS %6.2f dBFS  L/R correlation %+.3f\n", label,
                path.c_str(), 20 * std::log10(std::max(s.peak, 1e-12)),
                20 * std::log10(std::max(s.rms, 1e-12)), s.correlation);
}

void WriteDemoMix(const std::string& path)
{
    const StereoSignal mix = MakeDemoMix();
    AudioFileWriter writer;
    if (!writer.Create(path, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, mix.sampleRate))
        throw CommandError(kExitRuntime, writer.error());
    std::vector<float> inter(mix.left.size() * 2);
    for (size_t k = 0; k < mix.left.size(); ++k)
    {
        inter[2 * k] = mix.left[k];
        inter[2 * k + 1] = mix.right[k];
    }
    if (!writer.Write(inter.data(), static_cast<long long>(mix.left.size())) || !writer.Commit())
        throw CommandError(kExitRuntime, writer.error());
}
} // namespace

void DemoCommand::Register(CLI::App& cli)
{
    mCommand = cli.add_subcommand("demo", "Write and process the built-in test mix");
    mCommand->add_option("DIR", mDir, "Output folder (default ./out)");
    AddQuietFlag(*mCommand, mQuiet);
}

int DemoCommand::Run()
{
    const std::string inPath = mDir + "/demo-input.wav";
    const std::string outPath = mDir + "/demo-output.wav";
    // Every file the demo writes is checked before the first is written.
    RequireOutputs({}, {{inPath, FileKind::Audio, "DIR"},
                        {outPath, FileKind::Audio, "DIR"},
                        {mDir + "/editor.png", FileKind::Png, "DIR"}});
    if (mkdir(mDir.c_str(), 0777) != 0 && errno != EEXIST)
        throw CommandError(kExitRuntime, "cannot create '" + mDir + "': " + std::strerror(errno));
    WriteDemoMix(inPath);

    RenderOptions options;
    options.params = {{Parandel::kWidth, 50.0}, {Parandel::kBassFocus, 120.0}};
    options.showProgress = !mQuiet;
    const RenderResult r = RenderFile(inPath, outPath, options);
    if (r.exitCode != 0)
        throw CommandError(r.exitCode, r.error);

    std::printf("TW Parandel %s demo: 10 s stereo test mix at 44.1 kHz, processed with Width "
                "+50 %% and BassFocus 120 Hz\n",
                kVersionText);
    PrintStats("input", inPath);
    PrintStats("output", outPath);

    // The editor as it looks after the demo mix played through the same settings.
    SnapshotOptions snap;
    snap.outPath = mDir + "/editor.png";
    snap.inPath = inPath;
    snap.params = options.params;
    RunSnapshot(snap);
    std::printf("editor  %s\n", snap.outPath.c_str());
    // The same at twice the size, as on a screen of 192 dpi.
    snap.outPath = mDir + "/editor@2x.png";
    snap.scale = 2.0;
    RunSnapshot(snap);
    std::printf("editor  %s\n", snap.outPath.c_str());
    return 0;
}
} // namespace app
