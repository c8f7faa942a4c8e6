#pragma once
// `parandel gui`: the plug-in's editor in a window of its own, with a file (the demo mix by
// default) playing through the plug-in in a loop, as a standalone player. The plug-in runs
// through its Audio Unit entry like a host drives it; the editor is the plug-in's own, in an
// X11 window; the audio goes to the system's output at the device's rate (the file resampled
// when its rate differs), or is clocked silently in real time when no device opens. With
// --input the player is a live insert: the device's input runs through the plug-in to its
// output. Closing the window, Ctrl-C or SIGTERM ends it with exit code 0, after saving
// the state when asked to.

#include "app/commands/Command.h"
#include "app/commands/CommonOptions.h"

#include <string>
#include <vector>

namespace app
{
struct GuiOptions
{
    // Empty: the built-in demo mix.
    std::string inPath;
    ParamSettings params;
    std::string presetPath;
    std::string savePresetPath;
    // Replace savePresetPath even when it holds something other than a preset of this plug-in.
    bool force = false;
    std::string deviceName;
    bool noAudio = false;
    // Live insert: the device's input instead of a file, from these JACK ports when named.
    bool liveInput = false;
    std::vector<std::string> inputPorts;
    // A vectorscope mode to show, −1: the one the parameters select.
    int scopeMode = -1;
    int blockSize = kDefaultBlockSize;
    // The display scale; 0: PARANDEL_SCALE, else the X server's Xft.dpi.
    double scale = 0.0;
};

class GuiCommand : public Command
{
public:
    void Register(CLI::App& cli) override;
    int Run() override;

private:
    GuiOptions mOptions;
    ParamOptions mParams;
    std::string mScopeMode;
};

// Runs the player until the window closes or a quit signal arrives. A CommandError when the
// file, the preset, the editor or the saved preset fails.
void RunGui(const GuiOptions& options);
} // namespace app
