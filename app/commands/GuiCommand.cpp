#include "app/commands/GuiCommand.h"

#include "app/playback/AudioPlayer.h"
#include "app/commands/CommandError.h"
#include "app/playback/LoopSource.h"
#include "app/render/OfflineRenderer.h"
#include "app/files/PresetFile.h"
#include "editor/IGraphics.h"
#include "editor/linux/DisplayScale.h"
#include "editor/linux/IGraphicsLinux.h"
#include "engine/Parandel.h"

#include <CLI/CLI.hpp>

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

// The renderer with the preset and the parameter settings applied, started.
std::unique_ptr<OfflineRenderer> StartPlugin(const GuiOptions& options, const LoopSource& source)
{
    auto renderer = std::make_unique<OfflineRenderer>(source.SampleRate(), source.Channels(),
                                                      options.blockSize);
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
    renderer->Start();
    return renderer;
}

void SayWhatPlays(const GuiOptions& options, const AudioPlayer& player)
{
    const std::string what = options.inPath.empty() ? "the demo mix" : "'" + options.inPath + "'";
    const std::string where = player.PlaysSilently() ? "silently" : "on " + player.DeviceName();
    if (player.PlaysSilently())
        std::fprintf(stderr, "parandel: playing silently: %s\n", player.SilentReason().c_str());
    std::printf("Playing %s in a loop %s; close the window or press Ctrl-C to stop.\n",
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
    mCommand->add_option("--device", mOptions.deviceName,
                         "Play on the first output device whose name contains this text");
    mCommand->add_flag("--no-audio", mOptions.noAudio,
                       "Open no audio device: play silently, clocked in real time");
    AddBlockSizeOption(*mCommand, mOptions.blockSize);
    mCommand
        ->add_option("--scale", mOptions.scale,
                     "Display scale of the editor: 1, 1.5 or 2 (default: PARANDEL_SCALE, else "
                     "the screen's Xft.dpi / 96)")
        ->check(CLI::IsMember({1.0, 1.5, 2.0}));
}

int GuiCommand::Run()
{
    mOptions.params = ResolveParams(mParams);
    // The preset saved at exit is checked as any output, before the window opens; it may be the
    // preset restored at the start, which it then updates.
    if (!mOptions.savePresetPath.empty())
        RequireOutputs(mOptions.inPath.empty() ? std::vector<std::string>{}
                                               : std::vector<std::string>{mOptions.inPath},
                       {{mOptions.savePresetPath, FileKind::PropertyList, "--save-preset"}});
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
    if (!options.inPath.empty() && !source.Load(options.inPath, error))
        throw CommandError(kExitRuntime, error);
    const std::unique_ptr<OfflineRenderer> renderer = StartPlugin(options, source);

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

    AudioPlayer player(*renderer, source);
    player.Start({options.deviceName, options.noAudio});
    SayWhatPlays(options, player);
    WaitForQuit(closeRequested);

    player.Stop();
    graphics->CloseWindow();
    if (!options.savePresetPath.empty() &&
        !PresetFile::SaveUnitState(*renderer, options.savePresetPath, "", error))
        throw CommandError(kExitRuntime, error);
}
} // namespace app
