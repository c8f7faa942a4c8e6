#pragma once
// A program the LV2 host tests start (a JACK server, jalv) with extra environment variables and
// its output in a file; stopped with SIGTERM, then SIGKILL, when the object goes.

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

class ChildProcess
{
public:
    // stdinPath: what the program reads (a FIFO the test writes commands into, say).
    ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 const std::string& logPath, const std::string& stdinPath = "/dev/null")
    {
        std::vector<std::string> envStrings = env;
        for (char** e = environ; *e; ++e)
            envStrings.push_back(*e); // earlier entries win with getenv
        std::vector<char*> argv, envp;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const std::string& e : envStrings)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // A FIFO is opened read-write: a read-only open would wait for the writer, and the
        // writer (this process) waits in posix_spawn until the program starts.
        posix_spawn_file_actions_addopen(&actions, 0, stdinPath.c_str(),
                                         stdinPath == "/dev/null" ? O_RDONLY : O_RDWR, 0);
        posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&mPid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            mPid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Still running (not started, or exited, gives false).
    bool Running()
    {
        if (mPid <= 0)
            return false;
        int status = 0;
        if (waitpid(mPid, &status, WNOHANG) == mPid)
        {
            mPid = -1;
            return false;
        }
        return true;
    }

    void Stop()
    {
        if (!Running())
            return;
        kill(mPid, SIGTERM);
        for (int i = 0; i < 50; ++i)
        {
            if (waitpid(mPid, nullptr, WNOHANG) == mPid)
            {
                mPid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
        mPid = -1;
    }

private:
    pid_t mPid = -1;
};
