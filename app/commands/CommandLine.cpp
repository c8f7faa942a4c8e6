#include "app/commands/CommandLine.h"

#include "app/commands/AnalyzeCommand.h"
#include "app/commands/CommandError.h"
#include "app/commands/DemoCommand.h"
#include "app/commands/GuiCommand.h"
#include "app/commands/ParamsCommand.h"
#include "app/commands/PresetCommand.h"
#include "app/commands/ProcessCommand.h"
#include "app/commands/SnapshotCommand.h"
#include "app/files/TempFile.h"
#include "app/commands/Version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <new>

namespace app
{
namespace
{
// Errors are one line.
std::string OneLine(std::string message)
{
    std::replace(message.begin(), message.end(), '\n', ' ');
    return message;
}

// CLI11 reports an unknown command word only as a missing subcommand; name the word instead.
// Empty when every leading word is a command of its level.
std::string UnknownCommand(const CLI::App& cli, int argc, char** argv)
{
    const CLI::App* level = &cli;
    std::string path;
    for (int i = 1; i < argc && argv[i][0] != '-'; ++i)
    {
        const auto subcommands = level->get_subcommands([](const CLI::App*) { return true; });
        if (subcommands.empty())
            break;
        const std::string word = argv[i];
        const CLI::App* next = nullptr;
        std::string names;
        for (const CLI::App* sub : subcommands)
        {
            if (sub->check_name(word))
                next = sub;
            names += (names.empty() ? "" : ", ") + sub->get_name();
        }
        if (!next)
            return "unknown " + path + "command '" + word + "'; the " + path + "commands are " +
                   names;
        path += word + " ";
        level = next;
    }
    return "";
}

// Parses the command line into the commands' options. Throws CommandError for a usage error;
// returns true with exitCode set when the parse already answered (help, version).
bool Parse(CLI::App& cli, int argc, char** argv, int& exitCode)
{
    const std::string unknown = UnknownCommand(cli, argc, argv);
    if (!unknown.empty())
        throw CommandError(kExitUsage, unknown);
    try
    {
        cli.parse(argc, argv);
    }
    catch (const CLI::CallForHelp& e)
    {
        exitCode = cli.exit(e);
        return true;
    }
    catch (const CLI::CallForVersion& e)
    {
        exitCode = cli.exit(e);
        return true;
    }
    catch (const CLI::ParseError& e)
    {
        throw CommandError(kExitUsage, OneLine(e.what()));
    }
    return false;
}
} // namespace

int RunCommandLine(int argc, char** argv)
{
    CLI::App cli{"TW Parandel: stereo width, pan, bass focus, mono-to-stereo and metering"};
    cli.name("parandel");
    cli.set_version_flag("--version", kVersionText);
    cli.require_subcommand(1);

    ProcessCommand process;
    AnalyzeCommand analyze;
    ParamsCommand params;
    PresetCommand preset;
    SnapshotCommand snapshot;
    DemoCommand demo;
    GuiCommand gui;
    Command* const commands[] = {&process, &analyze, &params, &preset, &snapshot, &demo, &gui};
    for (Command* command : commands)
        command->Register(cli);

    try
    {
        int exitCode = 0;
        if (Parse(cli, argc, argv, exitCode))
            return exitCode;
        InstallSignalCleanup();
        for (Command* command : commands)
            if (command->Parsed())
                return command->Run();
        return 0;
    }
    catch (const CommandError& e)
    {
        PrintError(e.what());
        return e.ExitCode();
    }
    // Whatever else escapes a command (a library's exception, memory running out) is a runtime
    // failure with one line, never an abort.
    catch (const std::bad_alloc&)
    {
        PrintError("out of memory");
        return kExitRuntime;
    }
    catch (const std::exception& e)
    {
        PrintError(OneLine(e.what()));
        return kExitRuntime;
    }
    catch (...)
    {
        PrintError("unexpected failure");
        return kExitRuntime;
    }
}
} // namespace app
