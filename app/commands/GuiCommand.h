#pragma once
// `parandel gui`: the plug-in's editor in a window of its own, with a file (the demo mix by
// default) playing through the plug-in in a loop, as a standalone player. The plug-in runs
// through its Audio Unit entry like a host drives it; the editor is the plug-in's own, in an
// X11 window; the audio goes to the system's output, or is clocked silently in real time when
// no device opens. Closing the window, Ctrl-C or SIGTERM ends it with exit code 0, after saving
// the state when asked to.

#include "app/commands/Command.h"
#include "app/commands/CommonOptions.h"

#include <string>

namespace app
{
struct GuiOptions
{
    // Empty: the built-in demo mix.
    std::string inPath;
    ParamSettings params;
    std::string presetPath;
    std::string savePresetPath;
    std::string deviceName;
    bool noAudio = false;
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
};

// Runs the player until the window closes or a quit signal arrives. A CommandError when the
// file, the preset, the editor or the saved preset fails.
void RunGui(const GuiOptions& options);
} // namespace app
