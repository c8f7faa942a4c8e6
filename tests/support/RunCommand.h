#pragma once
// Runs the command-line program in a child process (no shell) and captures its exit code and
// output, for end-to-end tests.

#include "support/Spawn.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct CommandResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// Starts the program with stdout and stderr captured in tmpDir; −1 when it cannot start.
inline pid_t SpawnCommand(const std::vector<std::string>& args, const std::string& tmpDir)
{
    const std::string outPath = tmpDir + "/cmd-stdout.txt";
    const std::string errPath = tmpDir + "/cmd-stderr.txt";
    return SpawnWithOutput(args, outPath, errPath);
}

// Waits for a started program; the exit code is 128 + the signal for a program a signal ended,
// and −2 when it was still running after timeoutSeconds (it is then killed).
inline CommandResult WaitCommand(pid_t pid, const std::string& tmpDir, double timeoutSeconds = -1)
{
    CommandResult r;
    if (pid > 0)
    {
        int status = 0;
        bool timedOut = false;
        for (int waited = 0; waitpid(pid, &status, timeoutSeconds < 0 ? 0 : WNOHANG) == 0; ++waited)
        {
            if (waited * 0.01 > timeoutSeconds)
            {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                timedOut = true;
                break;
            }
            usleep(10000);
        }
        r.exitCode = timedOut            ? -2
                     : WIFEXITED(status) ? WEXITSTATUS(status)
                                         : 128 + WTERMSIG(status);
    }
    r.out = ReadWholeFile(tmpDir + "/cmd-stdout.txt");
    r.err = ReadWholeFile(tmpDir + "/cmd-stderr.txt");
    return r;
}

inline CommandResult RunCommand(const std::vector<std::string>& args, const std::string& tmpDir,
                                double timeoutSeconds = -1)
{
    return WaitCommand(SpawnCommand(args, tmpDir), tmpDir, timeoutSeconds);
}
