#include "app/commands/ProcessCommand.h"

#include "app/commands/CommandError.h"
#include "app/render/FileRenderer.h"
#include "app/render/OfflineRenderer.h"
#include "app/files/PresetFile.h"
#include "app/commands/ProcessBatch.h"
#include "app/report/ScopeImage.h"
#include "engine/Parandel.h"
#include "metering/TWVectorscope.h"

#include <CLI/CLI.hpp>

namespace app
{
void ProcessCommand::Register(CLI::App& cli)
{
    mCommand = cli.add_subcommand("process", "Process an audio file into a stereo file");
    mCommand
        ->add_option("IN OUT", mPaths,
                     "Input audio file (mono or stereo) and output file (stereo, same sample "
                     "rate); with --out-dir, any number of input files")
        ->required();
    mCommand->add_option("--out-dir", mOutDir,
                         "Process every input into this folder under its own file name");
    AddJobsOption(*mCommand, mJobs);
    mParams.Register(*mCommand);
    AddBlockSizeOption(*mCommand, mBlockSize, "Host block size in samples (default 512)");
    AddQuietFlag(*mCommand, mQuiet);
    mCommand->add_option("--preset", mPresetPath,
                         "Restore a .aupreset file first; parameter options override it");
    CLI::Option* scopeOpt = mCommand->add_option(
        "--scope", mScopePath, "Write the vectorscope, rendered after the last block, as a PNG");
    AddScopeModeOption(*mCommand, mScopeMode,
                       "Vectorscope mode for --scope (default: the one the parameters select)")
        ->needs(scopeOpt);
}

int ProcessCommand::Run()
{
    RenderOptions options;
    options.blockSize = mBlockSize;
    options.showProgress = !mQuiet;
    options.params = ResolveParams(mParams);
    options.readCorrelation = false; // neither the output nor the --scope picture shows it
    options.readScope = !mScopePath.empty();
    if (!mOutDir.empty())
    {
        if (!mScopePath.empty())
            throw CommandError(kExitUsage, "--scope draws one file; it cannot go with --out-dir");
        return RunProcessBatch(mPaths, mOutDir, options, mPresetPath, mJobs);
    }
    if (mPaths.size() != 2)
        throw CommandError(kExitUsage, "process takes IN OUT, or IN... --out-dir DIR");
    mInPath = mPaths[0];
    mOutPath = mPaths[1];
    std::vector<std::string> inputs = {mInPath};
    std::vector<OutputFile> outputs = {{mOutPath, FileKind::Audio, "OUT"}};
    if (!mPresetPath.empty())
        inputs.push_back(mPresetPath);
    if (!mScopePath.empty())
        outputs.push_back({mScopePath, FileKind::Png, "--scope"});
    RequireOutputs(inputs, outputs);
    if (!mPresetPath.empty())
        AddPreset(options);
    if (!mScopePath.empty())
        AddScope(options);
    const RenderResult r = RenderFile(mInPath, mOutPath, options);
    if (r.exitCode != 0)
        throw CommandError(r.exitCode, r.error);
    return 0;
}

void ProcessCommand::AddPreset(RenderOptions& options)
{
    CFPropertyListRef state = nullptr;
    std::string error;
    if (!PresetFile::Load(mPresetPath, &state, error))
        throw CommandError(kExitRuntime, error);
    mPresetState.reset(state, [](const void* p) { CFRelease(p); });
    options.beforeStart = [state](OfflineRenderer& r) { r.RestoreState(state); };
}

void ProcessCommand::AddScope(RenderOptions& options) const
{
    // Only the selected mode's graph renders: select it like the mode buttons do.
    if (!mScopeMode.empty())
        options.params.emplace_back(Parandel::kVectorscopeMode0 + ScopeModeFromName(mScopeMode),
                                    1.0);
    // The scope computes only for a viewer: this picture is one from the first block on.
    options.beforeStart = [restore = options.beforeStart](OfflineRenderer& r)
    {
        if (restore)
            restore(r);
        r.Plugin().GetVectorscope()->SetComputeWithoutGraphs(true);
    };
    options.afterRender = [scopePath = mScopePath](OfflineRenderer& r, std::string& err)
    { return WriteScopePng(r.Plugin(), r.Plugin().GetVectorscope()->GetMode(), scopePath, err); };
}
} // namespace app
