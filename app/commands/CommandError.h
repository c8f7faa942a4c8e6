#pragma once
// How a command fails: it throws a CommandError with the exit code and a one-line message;
// RunCommandLine catches it, prints "parandel: error: <message>" on stderr and returns the code.
// Exit codes: 0 success, 1 runtime failure (unreadable or unsupported file, write error), 2 usage
// error (130, interrupted, is TempFile's).

#include <stdexcept>
#include <string>

namespace app
{
constexpr int kExitRuntime = 1;
constexpr int kExitUsage = 2;

class CommandError : public std::runtime_error
{
public:
    CommandError(int exitCode, const std::string& message)
        : std::runtime_error(message), mExitCode(exitCode)
    {
    }
    int ExitCode() const { return mExitCode; }

private:
    int mExitCode;
};

// The one-line message of an error, for one the command reports and goes on after (a file of
// several that cannot be analysed) and for the CommandError that ends it.
void PrintError(const std::string& message);
} // namespace app
