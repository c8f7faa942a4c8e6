#include "app/commands/GuiCommand.h"

#include "app/playback/AudioPlayer.h"
#include "app/playback/AudioStream.h"
#include "app/commands/CommandError.h"
#include "app/commands/PresetCommand.h"
#include "app/playback/LoopSource.h"
#include "app/render/OfflineRenderer.h"
#include "app/files/PresetFile.h"
#include "app/report/ScopeImage.h"
#include "editor/IGraphics.h"
#include "editor/linux/DisplayScale.h"
#include "editor/linux/IGraphicsLinux.h"
#include "engine/Parandel.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <pthread.h>
#include <unistd.h>

namespace app
{
namespace
{
constexpr const char* kWindowTitle = "TW Parandel";
// How often the waiting thread looks whether the window was closed.
constexpr long kCloseCheckNs = 50'000'000;

sigset_t QuitSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Waits for the window's close request or a quit signal. The signals are blocked in every
// thread (they inherit the mask), so they arrive here and nowhere else.
void WaitForQuit(const std::atomic<bool>& closeRequested)
{
    const sigset_t quit = QuitSignals();
    const timespec tick = {0, kCloseCheckNs};
    while (!closeRequested.load())
        if (sigtimedwait(&quit, nullptr, &tick) > 0)
            return;
}

// A preset that cannot be written at the end would lose the whole session: refuse at once.
bool CheckSavePath(const std::string& path, std::string& error)
{
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (access(dir.c_str(), W_OK) == 0)
        return true;
    error = "cannot write '" + path + "': its folder does not exist or is not writable";
    return false;
}

// The renderer at rate with the preset and the parameter settings applied, started.
std::unique_ptr<OfflineRenderer> StartPlugin(const GuiOptions& options, int rate, int channels)
{
    auto renderer = std::make_unique<OfflineRenderer>(rate, channels, options.blockSize);
    if (renderer->Status() != noErr)
        throw CommandError(kExitRuntime, "the plug-in refused the set-up (status " +
                                             std::to_string(renderer->Status()) + ")");
    if (!options.presetPath.empty())
    {
        CFPropertyListRef state = nullptr;
        std::string error;
        if (!PresetFile::Load(options.presetPath, &state, error))
            throw CommandError(kExitRuntime, error);
        renderer->RestoreState(state);
        CFRelease(state);
    }
    for (const auto& [index, value] : options.params)
        renderer->SetParameter(index, value);
    if (options.scopeMode >= 0)
        renderer->SetParameter(Parandel::kVectorscopeMode0 + options.scopeMode, 1.0);
    renderer->Start();
    return renderer;
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string WhatPlays(const GuiOptions& options)
{
    return options.inPath.empty() ? "the demo mix" : "'" + options.inPath + "'";
}

// The audio side, opened before the window: live input needs its stream (one line saying why
// not, else); a file plays on the device at the device's rate, or silently.
struct AudioSide
{
    AudioStream stream;
    bool open = false;
    std::string silentReason;
};

void OpenAudio(const GuiOptions& options, int fileRate, AudioSide& audio)
{
    StreamRequest request;
    request.deviceName = options.deviceName;
    request.framesPerBuffer = options.blockSize;
    std::string why;
    if (options.liveInput)
    {
        request.input = true;
        request.inputPorts = options.inputPorts;
        if (!audio.stream.Open(request, why))
            throw CommandError(kExitRuntime, "no live input: " + why);
        audio.open = true;
        return;
    }
    if (options.noAudio)
    {
        audio.silentReason = "audio output is off (--no-audio)";
        return;
    }
    request.sampleRate = fileRate;
    audio.open = audio.stream.Open(request, why);
    if (!audio.open)
        audio.silentReason = why;
}

void SayWhatPlays(const GuiOptions& options, const AudioSide& audio)
{
    std::string what = WhatPlays(options) + " in a loop";
    if (options.liveInput)
        what = "the live input" +
               (options.inputPorts.empty() ? std::string() : " from " + Joined(options.inputPorts));
    const std::string where = audio.open ? "on " + audio.stream.DeviceName() : "silently";
    if (!audio.open)
        std::fprintf(stderr, "parandel: playing silently: %s\n", audio.silentReason.c_str());
    std::printf("Playing %s through the plug-in %s; close the window or press Ctrl-C to stop.\n",
                what.c_str(), where.c_str());
    std::fflush(stdout);
}
} // namespace

void GuiCommand::Register(CLI::App& cli)
{
    mCommand = cli.add_subcommand(
        "gui", "Open the editor in a window and play a file through the plug-in in a loop");
    mCommand->add_option("FILE", mOptions.inPath,
                         "Audio file to play, mono or stereo (default: the demo mix)");
    mParams.Register(*mCommand);
    mCommand->add_option("--preset", mOptions.presetPath,
                         "Restore a .aupreset file first; parameter options override it");
    mCommand->add_option("--save-preset", mOptions.savePresetPath,
                         "Save the plug-in's state as a .aupreset file at exit");
    mCommand->add_flag("--force", mOptions.force,
                       "Replace the --save-preset file even when it holds something other than "
                       "a TW Parandel preset");
    mCommand->add_option("--device", mOptions.deviceName,
                         "Play on the first output device whose name contains this text");
    mCommand->add_flag("--no-audio", mOptions.noAudio,
                       "Open no audio device: play silently, clocked in real time");
    mCommand
        ->add_option("--input", mOptions.inputPorts,
                     "Live insert: run the audio input through the plug-in to the output instead "
                     "of a file; on JACK, connect the input to these ports (client:port, "
                     "comma-separated)")
        ->expected(0, 2)
        ->delimiter(',')
        ->type_name("[PORTS]");
    AddScopeModeOption(*mCommand, mScopeMode,
                       "Vectorscope mode shown (default: the one the parameters select)");
    AddBlockSizeOption(*mCommand, mOptions.blockSize);
    AddScaleOption(*mCommand, mOptions.scale,
                   "Display scale of the editor: 1, 1.5 or 2 (default: PARANDEL_SCALE, else the "
                   "screen's Xft.dpi / 96)");
}

int GuiCommand::Run()
{
    mOptions.params = ResolveParams(mParams);
    mOptions.liveInput = mCommand->count("--input") > 0;
    // `--input` alone names no port, though CLI11 hands it one empty value: the input is then
    // the device's own, not a JACK port called "".
    auto& ports = mOptions.inputPorts;
    ports.erase(std::remove(ports.begin(), ports.end(), std::string()), ports.end());
    if (mOptions.liveInput && !mOptions.inPath.empty())
        throw CommandError(kExitUsage, "--input plays the live input: it takes no FILE");
    if (mOptions.liveInput && mOptions.noAudio)
        throw CommandError(kExitUsage,
                           "--input needs an audio device: it cannot go with --no-audio");
    mOptions.scopeMode = mScopeMode.empty() ? -1 : ScopeModeFromName(mScopeMode);
    // The preset saved at exit is checked as any output, before the window opens; it may be the
    // preset restored at the start, which it then updates.
    if (!mOptions.savePresetPath.empty())
        RequireOutputs(mOptions.inPath.empty() ? std::vector<std::string>{}
                                               : std::vector<std::string>{mOptions.inPath},
                       {{mOptions.savePresetPath, FileKind::PropertyList, "--save-preset"}});
    if (!mOptions.savePresetPath.empty() && !mOptions.force)
        RequireReplaceablePreset(mOptions.savePresetPath, "--save-preset");
    RunGui(mOptions);
    return 0;
}

void RunGui(const GuiOptions& options)
{
    // Before any thread exists, so that every thread inherits the mask. They stay blocked to
    // the end: a second Ctrl-C must not cut the saved preset short.
    const sigset_t quit = QuitSignals();
    pthread_sigmask(SIG_BLOCK, &quit, nullptr);

    std::string error;
    if (!options.savePresetPath.empty() && !CheckSavePath(options.savePresetPath, error))
        throw CommandError(kExitRuntime, error);
    LoopSource source = options.inPath.empty() ? LoopSource::DemoMix() : LoopSource();
    if (!options.liveInput && !options.inPath.empty() && !source.Load(options.inPath, error))
        throw CommandError(kExitRuntime, error);
    AudioSide audio;
    OpenAudio(options, source.SampleRate(), audio);
    const int rate = audio.open ? audio.stream.SampleRate() : source.SampleRate();
    if (!options.liveInput && rate != source.SampleRate())
    {
        std::printf("Resampling %s from %d Hz to %d Hz, the device's rate; the plug-in runs at "
                    "%d Hz.\n",
                    WhatPlays(options).c_str(), source.SampleRate(), rate, rate);
        if (!source.ResampleTo(rate, error))
            throw CommandError(kExitRuntime, error);
    }
    const std::unique_ptr<OfflineRenderer> renderer =
        StartPlugin(options, rate, options.liveInput ? 2 : source.Channels());

    Parandel& plug = renderer->Plugin();
    IGraphics* graphics = GetGUI(plug);
    if (!graphics)
        throw CommandError(kExitRuntime, "the plug-in has no editor");
    graphics->SetScale(options.scale > 0.0 ? options.scale : ChooseDisplayScale());
    std::atomic<bool> closeRequested{false};
    IGraphicsLinux view;
    view.SetTitle(kWindowTitle);
    view.SetCloseRequestHandler([&closeRequested] { closeRequested = true; });
    if (!graphics->OpenWindow(&view))
        throw CommandError(kExitRuntime, "cannot open the editor: " + view.LastError());
    plug.OnEditorOpen();

    AudioPlayer player(*renderer, options.liveInput ? nullptr : &source);
    if (!player.Start(audio.open ? &audio.stream : nullptr, error))
    {
        if (options.liveInput)
            throw CommandError(kExitRuntime, "no live input: " + error);
        audio.open = false;
        audio.silentReason = error;
        player.Start(nullptr, error);
    }
    SayWhatPlays(options, audio);
    WaitForQuit(closeRequested);

    player.Stop();
    graphics->CloseWindow();
    if (!options.savePresetPath.empty() &&
        !PresetFile::SaveUnitState(*renderer, options.savePresetPath, "", error))
        throw CommandError(kExitRuntime, error);
}
} // namespace app
