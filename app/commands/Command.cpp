#include "app/commands/Command.h"

#include "app/commands/CommandError.h"

#include <CLI/CLI.hpp>

namespace app
{
bool Command::Parsed() const
{
    return mCommand && mCommand->parsed();
}

void RequireOutputs(const std::vector<std::string>& inputs, const std::vector<OutputFile>& outputs)
{
    std::string error;
    if (!CheckOutputs(inputs, outputs, error))
        throw CommandError(kExitUsage, error);
}
} // namespace app
