#include "app/commands/ProcessBatch.h"

#include "app/commands/BatchRunner.h"
#include "app/commands/Command.h"
#include "app/commands/CommandError.h"
#include "app/render/OfflineRenderer.h"
#include "app/files/PresetFile.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <sys/stat.h>

namespace app
{
namespace
{
// The folder is a folder or does not exist yet; a CommandError (usage) otherwise.
void RequireFolder(const std::string& dir)
{
    struct stat st;
    if (stat(dir.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        throw CommandError(kExitUsage,
                           "--out-dir '" + dir + "' exists and is not a folder; nothing was written");
}

// Makes the folder when it does not exist; a CommandError when it cannot.
void MakeFolder(const std::string& dir)
{
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 && mkdir(dir.c_str(), 0777) != 0)
        throw CommandError(kExitRuntime,
                           "cannot create '" + dir + "': " + std::strerror(errno));
}

// Two inputs of the same name would be written to the same output.
void RequireDistinctNames(const std::vector<std::string>& inputs, const std::string& outDir)
{
    std::map<std::string, const std::string*> seen;
    for (const std::string& in : inputs)
    {
        const auto [it, fresh] = seen.emplace(OutputInFolder(outDir, in), &in);
        if (!fresh)
            throw CommandError(kExitUsage, "'" + *it->second + "' and '" + in +
                                               "' would both be written to '" + it->first +
                                               "'; nothing was written");
    }
}

// The preset's state, restored in each file's own plug-in: each worker loads its own copy.
void AddPreset(RenderOptions& options, const std::string& presetPath)
{
    options.beforeStart = [presetPath](OfflineRenderer& r)
    {
        CFPropertyListRef state = nullptr;
        std::string error;
        if (!PresetFile::Load(presetPath, &state, error))
            throw CommandError(kExitRuntime, error);
        r.RestoreState(state);
        CFRelease(state);
    };
}
} // namespace

std::string OutputInFolder(const std::string& outDir, const std::string& input)
{
    const size_t slash = input.find_last_of('/');
    return outDir + "/" + (slash == std::string::npos ? input : input.substr(slash + 1));
}

int RunProcessBatch(const std::vector<std::string>& inputs, const std::string& outDir,
                    const RenderOptions& options, const std::string& presetPath, int jobs)
{
    RequireFolder(outDir);
    RequireDistinctNames(inputs, outDir);
    std::vector<std::string> reads = inputs;
    std::vector<OutputFile> outputs;
    for (const std::string& in : inputs)
        outputs.push_back({OutputInFolder(outDir, in), FileKind::Audio, "--out-dir"});
    if (!presetPath.empty())
        reads.push_back(presetPath);
    RequireOutputs(reads, outputs);
    RenderOptions base = options;
    base.warnOfClipping = false; // warned of in the order of the files
    if (!presetPath.empty())
    {
        CFPropertyListRef state = nullptr; // checked once before anything is written
        std::string error;
        if (!PresetFile::Load(presetPath, &state, error))
            throw CommandError(kExitRuntime, error);
        CFRelease(state);
        AddPreset(base, presetPath);
    }
    MakeFolder(outDir);

    std::vector<RenderResult> results(inputs.size());
    const auto work = [&](int i, const std::function<void(double)>& share)
    {
        results[i] =
            RenderFile(inputs[i], outputs[i].path, ReportingShare(base, inputs[i], share));
    };
    int exitCode = 0;
    const auto deliver = [&](int i)
    {
        if (results[i].exitCode != 0)
        {
            PrintError(results[i].error);
            exitCode = 1;
        }
        else if (results[i].clippedSamples > 0)
            WarnOfClipping(outputs[i].path, results[i].clippedSamples);
    };
    BatchRunner(jobs, options.showProgress).Run(inputs, work, deliver);
    return exitCode;
}
} // namespace app
