#pragma once
// A subcommand of the parandel command line: it adds itself with its options to the top-level
// app, and runs once the command line has been parsed into it.

#include "app/files/OutputCheck.h"

#include <string>
#include <vector>

namespace CLI
{
class App;
}

namespace app
{
class Command
{
public:
    virtual ~Command() = default;
    // Adds the subcommand and its options to the command line.
    virtual void Register(CLI::App& cli) = 0;
    // Whether the parsed command line chose this command.
    bool Parsed() const;
    // Runs the parsed command; the exit code. Failures throw CommandError.
    virtual int Run() = 0;

protected:
    CLI::App* mCommand = nullptr;
};

// CheckOutputs for a command: a CommandError (usage) naming the clash.
void RequireOutputs(const std::vector<std::string>& inputs, const std::vector<OutputFile>& outputs);
} // namespace app
