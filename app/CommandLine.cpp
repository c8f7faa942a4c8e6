#include "app/CommandLine.h"

#include "app/AnalysisReport.h"
#include "app/AnalyzeCommand.h"
#include "app/AudioFile.h"
#include "app/DemoMix.h"
#include "app/FileRenderer.h"
#include "app/GuiCommand.h"
#include "app/OfflineRenderer.h"
#include "app/OutputCheck.h"
#include "app/ParamOptions.h"
#include "app/PresetFile.h"
#include "app/ScopeImage.h"
#include "app/SignalStats.h"
#include "app/SnapshotCommand.h"
#include "app/TempFile.h"
#include "app/Version.h"
#include "engine/Parandel.h"
#include "metering/TWVectorscope.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace app
{
namespace
{
constexpr int kExitRuntime = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxBlockSize = 8192;

int Fail(int code, const std::string& message)
{
    std::fprintf(stderr, "parandel: error: %s\n", message.c_str());
    return code;
}

// CLI11 reports an unknown command word only as a missing subcommand; name the word instead.
// Empty when every leading word is a command of its level.
std::string UnknownCommand(const CLI::App& cli, int argc, char** argv)
{
    const CLI::App* level = &cli;
    std::string path;
    for (int i = 1; i < argc && argv[i][0] != '-'; ++i)
    {
        const auto subcommands = level->get_subcommands([](const CLI::App*) { return true; });
        if (subcommands.empty())
            break;
        const std::string word = argv[i];
        const CLI::App* next = nullptr;
        std::string names;
        for (const CLI::App* sub : subcommands)
        {
            if (sub->check_name(word))
                next = sub;
            names += (names.empty() ? "" : ", ") + sub->get_name();
        }
        if (!next)
            return "unknown " + path + "command '" + word + "'; the " + path + "commands are " +
                   names;
        path += word + " ";
        level = next;
    }
    return "";
}

const char* KindName(IParam::ParamType t)
{
    switch (t)
    {
    case IParam::ParamType::Bool:
        return "bool";
    case IParam::ParamType::Int:
        return "int";
    case IParam::ParamType::Enum:
        return "enum";
    case IParam::ParamType::Double:
        return "real";
    default:
        return "none";
    }
}

int RunParams()
{
    Parandel plug(Parandel::DefaultInstanceInfo());
    std::printf("%-5s %-18s %-5s %-18s %-8s %-6s %-4s %s\n", "index", "name", "kind", "range",
                "default", "step", "unit", "meta");
    for (int i = 0; i < plug.ParamCount(); ++i)
    {
        const IParam* p = plug.Param(i);
        char range[64], def[32], step[32];
        p->FormatValue(p->GetMin(), false, range, sizeof(range), false);
        std::string r = range;
        p->FormatValue(p->GetMax(), false, range, sizeof(range), false);
        r += " .. ";
        r += range;
        p->FormatValue(p->GetDefault(), false, def, sizeof(def), false);
        std::snprintf(step, sizeof(step), "%g", p->GetStep());
        std::printf("%-5d %-18s %-5s %-20s %-8s %-6s %-4s %s\n", i,
                    p->GetName()[0] ? p->GetName() : "-", KindName(p->Type()), r.c_str(), def, step,
                    p->GetLabel()[0] ? p->GetLabel() : "-", p->isMeta ? "yes" : "no");
    }
    return 0;
}

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

int RunDemo(const std::string& dir, bool quiet)
{
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
        return Fail(kExitRuntime, "cannot create '" + dir + "': " + std::strerror(errno));
    const std::string inPath = dir + "/demo-input.wav";
    const std::string outPath = dir + "/demo-output.wav";

    const StereoSignal mix = MakeDemoMix();
    AudioFileWriter writer;
    if (!writer.Create(inPath, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, mix.sampleRate))
        return Fail(kExitRuntime, writer.error());
    std::vector<float> inter(mix.left.size() * 2);
    for (size_t k = 0; k < mix.left.size(); ++k)
    {
        inter[2 * k] = mix.left[k];
        inter[2 * k + 1] = mix.right[k];
    }
    if (!writer.Write(inter.data(), static_cast<long long>(mix.left.size())) || !writer.Commit())
        return Fail(kExitRuntime, writer.error());

    RenderOptions options;
    options.params = {{Parandel::kWidth, 50.0}, {Parandel::kBassFocus, 120.0}};
    options.showProgress = !quiet;
    const RenderResult r = RenderFile(inPath, outPath, options);
    if (r.exitCode != 0)
        return Fail(r.exitCode, r.error);

    std::printf("TW Parandel %s demo: 10 s stereo test mix at 44.1 kHz, processed with Width "
                "+50 %% and BassFocus 120 Hz\n",
                kVersionText);
    PrintStats("input", inPath);
    PrintStats("output", outPath);

    // The editor as it looks after the demo mix played through the same settings.
    SnapshotOptions snap;
    snap.outPath = dir + "/editor.png";
    snap.inPath = inPath;
    snap.params = options.params;
    if (const int code = RunSnapshot(snap))
        return code;
    std::printf("editor  %s\n", snap.outPath.c_str());
    return 0;
}
} // namespace

int RunCommandLine(int argc, char** argv)
{
    CLI::App cli{"TW Parandel: stereo width, pan, bass focus, mono-to-stereo and metering"};
    cli.name("parandel");
    cli.set_version_flag("--version", kVersionText);
    cli.require_subcommand(1);

    // process
    CLI::App* process = cli.add_subcommand("process", "Process an audio file into a stereo file");
    std::string inPath, outPath;
    int blockSize = 512;
    bool quiet = false;
    ParamOptions params;
    process->add_option("IN", inPath, "Input audio file (mono or stereo)")->required();
    process->add_option("OUT", outPath, "Output audio file (stereo, same sample rate)")->required();
    params.Register(*process);
    CLI::Option* processBlockOpt =
        process->add_option("--block-size", blockSize, "Host block size in samples (default 512)");
    RequireNumberText(*processBlockOpt, true);
    processBlockOpt->check(CLI::Range(1, kMaxBlockSize));
    process->add_flag("--quiet", quiet, "No progress bar");
    std::string presetPath;
    process->add_option("--preset", presetPath,
                        "Restore a .aupreset file first; parameter options override it");
    std::string scopePath, scopeMode;
    CLI::Option* scopeOpt = process->add_option(
        "--scope", scopePath, "Write the vectorscope, rendered after the last block, as a PNG");
    process
        ->add_option("--scope-mode", scopeMode,
                     "Vectorscope mode for --scope (default: the one the parameters select)")
        ->check(CLI::IsMember({"polar", "lissajous", "flame", "grid", "source"}))
        ->needs(scopeOpt);

    // analyze
    CLI::App* analyze = cli.add_subcommand(
        "analyze", "Report the correlation meter over time and the vectorscope's points");
    std::vector<std::string> analyzeFiles;
    int analyzeBlockSize = 512;
    std::string jsonPath;
    bool analyzeQuiet = false;
    ParamOptions analyzeParams;
    analyze->add_option("IN", analyzeFiles, "Input audio files (mono or stereo)")->required();
    analyzeParams.Register(*analyze);
    CLI::Option* analyzeBlockOpt =
        analyze->add_option("--block-size", analyzeBlockSize, "Host block size (default 512)");
    RequireNumberText(*analyzeBlockOpt, true);
    analyzeBlockOpt->check(CLI::Range(1, kMaxBlockSize));
    analyze->add_option("--json", jsonPath, "Also write the full report as JSON to this file");
    analyze->add_flag("--quiet", analyzeQuiet, "No progress bar");
    ReportOptions report;
    analyze->add_option("--plot", report.plotPath,
                        "Draw one file's correlation, level and scopes as a PNG");
    analyze->add_option("--report", report.reportDir,
                        "Write pictures, index.html and report.json for all files to this folder");

    // params
    CLI::App* paramsCmd = cli.add_subcommand("params", "List the plug-in's parameters");

    // preset save / preset show
    CLI::App* preset = cli.add_subcommand("preset", "Save or show .aupreset preset files");
    preset->require_subcommand(1);
    CLI::App* presetSave =
        preset->add_subcommand("save", "Save the state set by the parameter options");
    std::string presetSavePath, presetName;
    ParamOptions presetParams;
    presetSave->add_option("FILE", presetSavePath, "Preset file to write (.aupreset)")->required();
    presetSave->add_option("--name", presetName, "Preset name (default: the file's base name)");
    presetParams.Register(*presetSave);
    CLI::App* presetShow =
        preset->add_subcommand("show", "Print a preset's name and parameter values");
    std::string presetShowPath;
    presetShow->add_option("FILE", presetShowPath, "Preset file to read (.aupreset)")->required();

    // snapshot
    CLI::App* snapshot = cli.add_subcommand(
        "snapshot", "Render the whole editor, after running audio through the plug-in, as a PNG");
    SnapshotOptions snap;
    ParamOptions snapshotParams;
    std::string snapshotMode;
    snapshot->add_option("OUT", snap.outPath, "PNG file to write")->required();
    snapshot->add_option("IN", snap.inPath, "Audio file to run first (default: the demo mix)");
    snapshotParams.Register(*snapshot);
    snapshot
        ->add_option("--scope-mode", snapshotMode,
                     "Vectorscope mode shown (default: the one the parameters select)")
        ->check(CLI::IsMember({"polar", "lissajous", "flame", "grid", "source"}));
    CLI::Option* atOpt =
        snapshot->add_option("--at", snap.atSeconds, "Run the audio up to this time in seconds");
    RequireNumberText(*atOpt, false);
    atOpt->check(CLI::NonNegativeNumber);
    CLI::Option* snapshotBlockOpt =
        snapshot->add_option("--block-size", snap.blockSize, "Host block size (default 512)");
    RequireNumberText(*snapshotBlockOpt, true);
    snapshotBlockOpt->check(CLI::Range(1, kMaxBlockSize));

    // demo
    CLI::App* demo = cli.add_subcommand("demo", "Write and process the built-in test mix");
    std::string demoDir = "out";
    bool demoQuiet = false;
    demo->add_option("DIR", demoDir, "Output folder (default ./out)");
    demo->add_flag("--quiet", demoQuiet, "No progress bar");

    // gui
    GuiCommand gui;
    gui.Register(cli, kMaxBlockSize);

    try
    {
        const std::string unknown = UnknownCommand(cli, argc, argv);
        if (!unknown.empty())
            return Fail(kExitUsage, unknown);
        cli.parse(argc, argv);
    }
    catch (const CLI::CallForHelp& e)
    {
        return cli.exit(e);
    }
    catch (const CLI::CallForVersion& e)
    {
        return cli.exit(e);
    }
    catch (const CLI::ParseError& e)
    {
        // Errors are one line.
        std::string message = e.what();
        std::replace(message.begin(), message.end(), '\n', ' ');
        return Fail(kExitUsage, message);
    }

    InstallSignalCleanup();
    if (paramsCmd->parsed())
        return RunParams();
    if (demo->parsed())
        return RunDemo(demoDir, demoQuiet);
    if (gui.Parsed())
        return gui.Run();
    if (presetShow->parsed())
        return RunPresetShow(presetShowPath);
    if (snapshot->parsed())
    {
        std::string error;
        if (!snapshotParams.Resolve(snap.params, error))
            return Fail(kExitUsage, error);
        const std::vector<std::string> inputs = snap.inPath.empty()
                                                    ? std::vector<std::string>{}
                                                    : std::vector<std::string>{snap.inPath};
        if (!CheckOutputs(inputs, {{snap.outPath, FileKind::Png, "OUT"}}, error))
            return Fail(kExitUsage, error);
        snap.scopeMode = snapshotMode.empty() ? -1 : ScopeModeFromName(snapshotMode);
        return RunSnapshot(snap);
    }
    if (analyze->parsed())
    {
        RenderOptions options;
        options.blockSize = analyzeBlockSize;
        options.showProgress = !analyzeQuiet;
        std::string error;
        if (!analyzeParams.Resolve(options.params, error))
            return Fail(kExitUsage, error);
        if (!jsonPath.empty() &&
            !CheckOutputs(analyzeFiles, {{jsonPath, FileKind::Json, "--json"}}, error))
            return Fail(kExitUsage, error);
        if (!report.plotPath.empty() || !report.reportDir.empty())
        {
            report.jsonPath = jsonPath;
            if (!CheckReportOptions(analyzeFiles, report, error))
                return Fail(kExitUsage, error);
            return RunAnalyzeReport(analyzeFiles, options, report);
        }
        return RunAnalyze(analyzeFiles, options, jsonPath);
    }
    if (presetSave->parsed())
    {
        ParamSettings settings;
        std::string error;
        if (!presetParams.Resolve(settings, error))
            return Fail(kExitUsage, error);
        if (!CheckOutputs({}, {{presetSavePath, FileKind::PropertyList, "FILE"}}, error))
            return Fail(kExitUsage, error);
        return RunPresetSave(presetSavePath, presetName, settings);
    }

    RenderOptions options;
    options.blockSize = blockSize;
    options.showProgress = !quiet;
    std::string error;
    if (!params.Resolve(options.params, error))
        return Fail(kExitUsage, error);
    std::vector<std::string> inputs = {inPath};
    std::vector<OutputFile> outputs = {{outPath, FileKind::Audio, "OUT"}};
    if (!presetPath.empty())
        inputs.push_back(presetPath);
    if (!scopePath.empty())
        outputs.push_back({scopePath, FileKind::Png, "--scope"});
    if (!CheckOutputs(inputs, outputs, error))
        return Fail(kExitUsage, error);
    // The preset is checked before anything is written, then restored through the unit before
    // the parameter options are applied.
    std::shared_ptr<const void> presetState;
    if (!presetPath.empty())
    {
        CFPropertyListRef state = nullptr;
        if (!PresetFile::Load(presetPath, &state, error))
            return Fail(kExitRuntime, error);
        presetState.reset(state, [](const void* p) { CFRelease(p); });
        options.beforeStart = [state](OfflineRenderer& r) { r.RestoreState(state); };
    }
    if (!scopePath.empty())
    {
        // Only the selected mode's graph renders: select it like the mode buttons do.
        if (!scopeMode.empty())
            options.params.emplace_back(Parandel::kVectorscopeMode0 + ScopeModeFromName(scopeMode),
                                        1.0);
        // The scope computes only for a viewer: this picture is one from the first block on.
        options.beforeStart = [restore = options.beforeStart](OfflineRenderer& r)
        {
            if (restore)
                restore(r);
            r.Plugin().GetVectorscope()->SetComputeWithoutGraphs(true);
        };
        options.afterRender = [scopePath](OfflineRenderer& r, std::string& err) {
            return WriteScopePng(r.Plugin(), r.Plugin().GetVectorscope()->GetMode(), scopePath,
                                 err);
        };
    }
    const RenderResult r = RenderFile(inPath, outPath, options);
    if (r.exitCode != 0)
        return Fail(r.exitCode, r.error);
    return 0;
}
} // namespace app
