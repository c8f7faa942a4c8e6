#pragma once
// `parandel process IN OUT`: renders a file through the plug-in into a stereo file, optionally
// after restoring a preset, and optionally writes the vectorscope after the last block as a PNG.
// `parandel process IN... --out-dir DIR [--jobs N]`: the same for many files (ProcessBatch).

#include "app/commands/Command.h"
#include "app/commands/CommonOptions.h"

#include <memory>
#include <string>
#include <vector>

namespace app
{
struct RenderOptions;

class ProcessCommand : public Command
{
public:
    void Register(CLI::App& cli) override;
    int Run() override;

private:
    // The preset's state, restored before the parameter options apply; loaded (and checked)
    // before anything is written.
    void AddPreset(RenderOptions& options);
    // The vectorscope picture, rendered after the last block.
    void AddScope(RenderOptions& options) const;

    std::vector<std::string> mPaths; // IN OUT, or the inputs with --out-dir
    std::string mInPath, mOutPath, mPresetPath, mScopePath, mScopeMode, mOutDir;
    int mBlockSize = kDefaultBlockSize;
    int mJobs = 0; // 0: one worker per core
    bool mQuiet = false;
    ParamOptions mParams;
    std::shared_ptr<const void> mPresetState;
};
} // namespace app
