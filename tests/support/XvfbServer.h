#pragma once
// A virtual X server for the window tests: started on the first free display number, stopped
// when the object goes. Tests skip, with the reason, when none can start.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

class XvfbServer
{
public:
    XvfbServer()
    {
        for (int n = 90; n < 130 && mPid <= 0; ++n)
        {
            const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            struct stat st;
            if (stat(lock.c_str(), &st) == 0 || stat(socket.c_str(), &st) == 0)
                continue;
            Start(n, socket);
        }
        if (mPid <= 0 && mReason.empty())
            mReason = "no free X display number";
    }
    ~XvfbServer()
    {
        if (mPid > 0)
        {
            kill(mPid, SIGTERM);
            int status = 0;
            waitpid(mPid, &status, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Ok() const { return mPid > 0; }
    // ":N", for DISPLAY.
    const std::string& Name() const { return mName; }
    const std::string& Reason() const { return mReason; }

private:
    void Start(int n, const std::string& socket)
    {
        const std::string name = ":" + std::to_string(n);
        char* const argv[] = {const_cast<char*>("Xvfb"), const_cast<char*>(name.c_str()),
                              const_cast<char*>("-screen"), const_cast<char*>("0"),
                              const_cast<char*>("1024x768x24"), const_cast<char*>("-nolisten"),
                              const_cast<char*>("tcp"), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
        pid_t pid = 0;
        const int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
        {
            mReason = "Xvfb cannot be started (is the xvfb package installed?)";
            return;
        }
        struct stat st;
        for (int i = 0; i < 100; ++i)
        {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
            {
                mReason = "Xvfb " + name + " exited at start";
                return; // try the next number
            }
            if (stat(socket.c_str(), &st) == 0)
            {
                mPid = pid;
                mName = name;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        mReason = "Xvfb " + name + " did not come up";
    }

    pid_t mPid = -1;
    std::string mName;
    std::string mReason;
};
