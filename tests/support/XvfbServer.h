#pragma once
// A virtual X server for the window tests: started on the first free display number of :90 …
// :129, listening on its local socket only, stopped when the object goes. Tests skip, with the
// reason, when none can start.
//
// Xvfb names its display on a pipe (-displayfd) once it accepts clients. That, not the socket
// file, says the server is ours and ready: with tests running in parallel, another test's server
// may create the socket of a number this one tried a moment earlier, and a server that loses
// the race ends on its lock file, closing the pipe; the next number is tried then.
//
// A test process that exits without stopping its server (an X error ends it through exit) stops
// it on the way out: the server is registered with an exit handler.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

extern char** environ;

class XvfbServer
{
public:
    static constexpr int kFirstDisplay = 90;
    static constexpr int kLastDisplay = 129;
    static constexpr int kReadyTimeoutMs = 10000;

    XvfbServer()
    {
        for (int n = kFirstDisplay; n <= kLastDisplay && mPid <= 0; ++n)
        {
            struct stat st;
            if (stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) == 0 ||
                stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) == 0)
                continue;
            Start(n);
        }
        if (mPid <= 0 && mReason.empty())
            mReason = "no free X display number";
    }
    ~XvfbServer()
    {
        if (mPid > 0)
        {
            Forget(mPid);
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Ok() const { return mPid > 0; }
    // ":N", for DISPLAY.
    const std::string& Name() const { return mName; }
    const std::string& Reason() const { return mReason; }

private:
    void Start(int n)
    {
        // Both ends close on exec; the copy on fd 3 does not.
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0)
            return;
        const std::string name = ":" + std::to_string(n);
        // The screen holds the editor at twice its size (912 x 972).
        char* const argv[] = {const_cast<char*>("Xvfb"),        const_cast<char*>(name.c_str()),
                              const_cast<char*>("-displayfd"),  const_cast<char*>("3"),
                              const_cast<char*>("-screen"),     const_cast<char*>("0"),
                              const_cast<char*>("1280x1024x24"), const_cast<char*>("-nolisten"),
                              const_cast<char*>("tcp"),         nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        pid_t pid = 0;
        const int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        if (rc != 0)
        {
            close(ready[0]);
            mReason = "Xvfb cannot be started (is the xvfb package installed?)";
            return;
        }
        const std::string reported = ReadLine(ready[0]);
        close(ready[0]);
        if (reported == std::to_string(n))
        {
            mPid = pid;
            mName = name;
            Remember(pid);
            static const bool registered = std::atexit(StopOnExit) == 0;
            (void)registered;
            return;
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        mReason = "Xvfb " + name + " did not come up";
    }

    // The servers of this process still running (0: a free slot).
    static pid_t* Running()
    {
        static pid_t pids[8] = {};
        return pids;
    }
    static void Remember(pid_t pid)
    {
        for (int i = 0; i < 8; ++i)
            if (Running()[i] == 0)
            {
                Running()[i] = pid;
                return;
            }
    }
    static void Forget(pid_t pid)
    {
        for (int i = 0; i < 8; ++i)
            if (Running()[i] == pid)
                Running()[i] = 0;
    }
    static void StopOnExit()
    {
        for (int i = 0; i < 8; ++i)
            if (Running()[i] > 0)
                kill(Running()[i], SIGTERM);
    }

    // The line Xvfb writes when it is ready; empty when it ended or stayed silent.
    static std::string ReadLine(int fd)
    {
        std::string line;
        pollfd p = {fd, POLLIN, 0};
        char c;
        while (poll(&p, 1, kReadyTimeoutMs) > 0 && read(fd, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    pid_t mPid = -1;
    std::string mName;
    std::string mReason;
};
