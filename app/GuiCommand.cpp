#include "app/GuiCommand.h"

#include "app/AudioPlayer.h"
#include "app/LoopSource.h"
#include "app/OfflineRenderer.h"
#include "app/PresetFile.h"
#include "editor/IGraphics.h"
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
constexpr int kExitRuntime = 1;
constexpr int kExitUsage = 2;
constexpr const char* kWindowTitle = "TW Parandel";
// How often the waiting thread looks whether the window was closed.
constexpr long kCloseCheckNs = 50'000'000;

int Fail(int code, const std::string& message)
{
    std::fprintf(stderr, "parandel: error: %s\n", message.c_str());
    return code;
}

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

// The renderer with the preset and the parameter settings applied, started; null after a
// message.
std::unique_ptr<OfflineRenderer> StartPlugin(const GuiOptions& options, const LoopSource& source,
                                             int& exitCode)
{
    auto renderer = std::make_unique<OfflineRenderer>(source.SampleRate(), source.Channels(),
                                                      options.blockSize);
    exitCode = kExitRuntime;
    if (renderer->Status() != noErr)
    {
        Fail(exitCode,
             "the plug-in refused the set-up (status " + std::to_string(renderer->Status()) + ")");
        return nullptr;
    }
    if (!options.presetPath.empty())
    {
        CFPropertyListRef state = nullptr;
        std::string error;
        if (!PresetFile::Load(options.presetPath, &state, error))
        {
            Fail(exitCode, error);
            return nullptr;
        }
        renderer->RestoreState(state);
        CFRelease(state);
    }
    for (const auto& [index, value] : options.params)
        renderer->SetParameter(index, value);
    renderer->Start();
    exitCode = 0;
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

void GuiCommand::Register(CLI::App& cli, int maxBlockSize)
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
    mCommand->add_option("--block-size", mOptions.blockSize, "Host block size (default 512)")
        ->check(CLI::Range(1, maxBlockSize));
}

bool GuiCommand::Parsed() const
{
    return mCommand && mCommand->parsed();
}

int GuiCommand::Run()
{
    std::string error;
    if (!mParams.Resolve(mOptions.params, error))
        return Fail(kExitUsage, error);
    return RunGui(mOptions);
}

int RunGui(const GuiOptions& options)
{
    // Before any thread exists, so that every thread inherits the mask. They stay blocked to
    // the end: a second Ctrl-C must not cut the saved preset short.
    const sigset_t quit = QuitSignals();
    pthread_sigmask(SIG_BLOCK, &quit, nullptr);

    std::string error;
    if (!options.savePresetPath.empty() && !CheckSavePath(options.savePresetPath, error))
        return Fail(kExitRuntime, error);
    LoopSource source = options.inPath.empty() ? LoopSource::DemoMix() : LoopSource();
    if (!options.inPath.empty() && !source.Load(options.inPath, error))
        return Fail(kExitRuntime, error);
    int exitCode = 0;
    const std::unique_ptr<OfflineRenderer> renderer = StartPlugin(options, source, exitCode);
    if (!renderer)
        return exitCode;

    Parandel& plug = renderer->Plugin();
    IGraphics* graphics = plug.GetGUI();
    if (!graphics)
        return Fail(kExitRuntime, "the plug-in has no editor");
    std::atomic<bool> closeRequested{false};
    IGraphicsLinux view;
    view.SetTitle(kWindowTitle);
    view.SetCloseRequestHandler([&closeRequested] { closeRequested = true; });
    if (!graphics->OpenWindow(&view))
        return Fail(kExitRuntime, "cannot open the editor: " + view.LastError());
    plug.OnEditorOpen();

    AudioPlayer player(*renderer, source);
    player.Start({options.deviceName, options.noAudio});
    SayWhatPlays(options, player);
    WaitForQuit(closeRequested);

    player.Stop();
    graphics->CloseWindow();
    if (!options.savePresetPath.empty() &&
        !PresetFile::SaveUnitState(*renderer, options.savePresetPath, "", error))
        return Fail(kExitRuntime, error);
    return 0;
}
} // namespace app
