#pragma once
// The options several commands share, declared once: the parameter options (ParamOptions:
// --width, --pan, --mono-to-stereo, --bass-focus, --out-gain, --mono-out, --set), --block-size,
// --scale, --scope-mode and --quiet. Each command adds the ones it takes, in the order its help lists them.

#include "app/commands/ParamOptions.h"

#include <string>

namespace CLI
{
class App;
class Option;
} // namespace CLI

namespace app
{
constexpr int kDefaultBlockSize = 512;
constexpr int kMaxBlockSize = 8192;
constexpr int kMaxJobs = 256;

// --block-size: a whole number from 1 to kMaxBlockSize, into blockSize.
void AddBlockSizeOption(CLI::App& command, int& blockSize,
                        const char* description = "Host block size (default 512)");
// --jobs: a whole number of worker threads from 1 up, into jobs (left as it is, 0 meaning one
// per core, when not given).
void AddJobsOption(CLI::App& command, int& jobs);

// --scale: the editor's display scale, 1, 1.5 or 2, into scale.
void AddScaleOption(CLI::App& command, double& scale, const char* description);

// --scope-mode: one of the vectorscope modes' names (kScopeModeNames), into mode.
CLI::Option* AddScopeModeOption(CLI::App& command, std::string& mode, const char* description);
// --quiet: no progress bar.
void AddQuietFlag(CLI::App& command, bool& quiet);
// The parameter options resolved to settings; a CommandError (usage) when one is refused.
ParamSettings ResolveParams(const ParamOptions& params);
} // namespace app
