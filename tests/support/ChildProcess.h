#pragma once
// A program started in the background (no shell) for tests that drive a running program: send
// it signals, wait for it with a timeout. It inherits the test's environment; ScopedEnv changes
// that for the programs a test starts.

#include "support/Spawn.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ChildProcess
{
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A failed test must not leave the program behind.
    ~ChildProcess() { Wait(0); }

    // Starts args[0] (a path) with stdout and stderr into the given files.
    bool Start(const std::vector<std::string>& args, const std::string& outPath,
               const std::string& errPath)
    {
        mPid = SpawnWithOutput(args, outPath, errPath);
        const bool started = mPid > 0;
        mExitCode = started ? kRunning : -1;
        return started;
    }

    bool Running()
    {
        int status = 0;
        if (mExitCode != kRunning || waitpid(mPid, &status, WNOHANG) == 0)
            return mExitCode == kRunning;
        mExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }

    pid_t Pid() const { return mPid; }

    void Signal(int sig)
    {
        if (Running())
            kill(mPid, sig);
    }

    // The exit code (128 + the signal for a program a signal ended), or −2 when it still ran
    // after timeoutSeconds: it is killed then.
    int Wait(double timeoutSeconds)
    {
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
        while (Running() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (Running())
        {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
            mExitCode = -2;
        }
        return mExitCode;
    }

private:
    static constexpr int kRunning = -100;
    pid_t mPid = -1;
    int mExitCode = -1;
};

// Sets an environment variable (removes it for no value) until the end of the scope.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : mName(name)
    {
        if (const char* old = std::getenv(name))
            mOld = old;
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
    ~ScopedEnv() { mOld ? setenv(mName.c_str(), mOld->c_str(), 1) : unsetenv(mName.c_str()); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string mName;
    std::optional<std::string> mOld;
};
