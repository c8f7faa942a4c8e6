#include "app/commands/CommonOptions.h"

#include "app/commands/CommandError.h"
#include "app/report/ScopeImage.h"

#include <CLI/CLI.hpp>

namespace app
{
void AddBlockSizeOption(CLI::App& command, int& blockSize, const char* description)
{
    CLI::Option* option = command.add_option("--block-size", blockSize, description);
    RequireNumberText(*option, true);
    option->check(CLI::Range(1, kMaxBlockSize));
}

void AddJobsOption(CLI::App& command, int& jobs)
{
    CLI::Option* option = command.add_option(
        "--jobs", jobs, "Files processed side by side, each by its own plug-in (default: one per core)");
    RequireNumberText(*option, true);
    option->check(CLI::Range(1, kMaxJobs));
}

void AddScaleOption(CLI::App& command, double& scale, const char* description)
{
    CLI::Option* option = command.add_option("--scale", scale, description);
    RequireNumberText(*option, false);
    option->check(CLI::IsMember({1.0, 1.5, 2.0}));
}

CLI::Option* AddScopeModeOption(CLI::App& command, std::string& mode, const char* description)
{
    return command.add_option("--scope-mode", mode, description)
        ->check(CLI::IsMember(
            std::vector<std::string>(std::begin(kScopeModeNames), std::end(kScopeModeNames))));
}

void AddQuietFlag(CLI::App& command, bool& quiet)
{
    command.add_flag("--quiet", quiet, "No progress bar");
}

ParamSettings ResolveParams(const ParamOptions& params)
{
    ParamSettings settings;
    std::string error;
    if (!params.Resolve(settings, error))
        throw CommandError(kExitUsage, error);
    return settings;
}
} // namespace app
