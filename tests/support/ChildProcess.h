#pragma once
// A program started in the background (no shell) with a changed environment, its output sent to
// files, for tests that drive a running program: send it signals, wait for it with a timeout.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// Variables to set (a value) or remove (no value) in a child's environment.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

class ChildProcess
{
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A child still running is killed: a failed test must not leave it behind.
    ~ChildProcess()
    {
        if (Running())
        {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
    }

    // Starts args[0] (a path, or a name looked up in PATH) with stdout and stderr into the given
    // files (/dev/null when empty) and standard input from /dev/null.
    bool Start(const std::vector<std::string>& args, const EnvChanges& env,
               const std::string& outPath = "", const std::string& errPath = "")
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1,
                                         outPath.empty() ? "/dev/null" : outPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2,
                                         errPath.empty() ? "/dev/null" : errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> envText = Environment(env);
        std::vector<char*> envp;
        for (std::string& e : envText)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const bool started =
            posix_spawnp(&mPid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        if (!started)
            mPid = -1;
        return started;
    }

    bool Running()
    {
        if (mPid <= 0 || mExitCode != kRunning)
            return false;
        int status = 0;
        if (waitpid(mPid, &status, WNOHANG) == 0)
            return true;
        mExitCode = Decode(status);
        return false;
    }

    void Signal(int sig)
    {
        if (Running())
            kill(mPid, sig);
    }

    // The exit code (128 + the signal for a program a signal ended), or −2 when it still ran
    // after timeoutSeconds (it is then killed).
    int Wait(double timeoutSeconds)
    {
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
        while (Running())
        {
            if (std::chrono::steady_clock::now() > end)
            {
                kill(mPid, SIGKILL);
                waitpid(mPid, nullptr, 0);
                mExitCode = kTimedOut;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return mExitCode;
    }

    pid_t Pid() const { return mPid; }

private:
    static constexpr int kRunning = -1;
    static constexpr int kTimedOut = -2;

    static int Decode(int status)
    {
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    static std::vector<std::string> Environment(const EnvChanges& changes)
    {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
        {
            const std::string entry = *e;
            if (changes.count(entry.substr(0, entry.find('='))) == 0)
                env.push_back(entry);
        }
        for (const auto& [name, value] : changes)
            if (value)
                env.push_back(name + "=" + *value);
        return env;
    }

    pid_t mPid = -1;
    int mExitCode = kRunning;
};

// Runs a program to its end and returns what it printed on stdout; the exit code in *exitCode.
inline std::string CaptureOutput(const std::vector<std::string>& args, const EnvChanges& env,
                                 const std::string& tmpDir, int* exitCode = nullptr,
                                 double timeoutSeconds = 30)
{
    const std::string outPath = tmpDir + "/capture-stdout.txt";
    ChildProcess child;
    if (!child.Start(args, env, outPath))
        return "";
    const int code = child.Wait(timeoutSeconds);
    if (exitCode)
        *exitCode = code;
    std::ifstream f(outPath);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}
