#pragma once
// A virtual X server for tests that open windows: Xvfb on the first free display of :90 … :99,
// listening on its local socket only, stopped with the object. Xvfb names its display on a pipe
// (-displayfd) once it accepts clients, so there is no waiting on sockets, and a display another
// test took a moment earlier makes Xvfb fail on its lock and the next number is tried.

#include "support/ChildProcess.h"

#include <poll.h>

#include <memory>
#include <string>

class XvfbServer
{
public:
    static constexpr int kFirstDisplay = 90;
    static constexpr int kLastDisplay = 99;
    static constexpr int kReadyTimeoutMs = 10000;

    XvfbServer()
    {
        for (int n = kFirstDisplay; n <= kLastDisplay && mDisplay.empty(); ++n)
            TryDisplay(n);
        if (mDisplay.empty() && mError.empty())
            mError = "no display of :" + std::to_string(kFirstDisplay) +
                     " … :" + std::to_string(kLastDisplay) + " was free";
    }
    ~XvfbServer()
    {
        if (mServer)
        {
            mServer->Signal(SIGTERM);
            mServer->Wait(5.0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return !mDisplay.empty(); }
    // ":91" and the like.
    const std::string& Display() const { return mDisplay; }
    // Why no server runs.
    const std::string& Error() const { return mError; }

private:
    void TryDisplay(int n)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        auto server = std::make_unique<ChildProcess>();
        const std::string display = ":" + std::to_string(n);
        const bool started = server->Start({XvfbPath(), display, "-displayfd", "3", "-nolisten",
                                            "tcp", "-screen", "0", "1024x768x24"},
                                           {}, "", "", fds[1]);
        close(fds[1]);
        if (!started)
        {
            close(fds[0]);
            mError = "Xvfb cannot be started (is the xvfb package installed?)";
            return;
        }
        const std::string reported = ReadLine(fds[0]);
        close(fds[0]);
        if (reported == std::to_string(n) && server->Running())
        {
            mDisplay = display;
            mServer = std::move(server);
            mError.clear();
            return;
        }
        mError = "Xvfb did not start on " + display;
        // The unique_ptr kills a server that neither reported nor ended.
    }

    // The line Xvfb writes on the pipe when it is ready; empty when it ended first.
    static std::string ReadLine(int fd)
    {
        std::string line;
        pollfd p = {fd, POLLIN, 0};
        char c;
        while (poll(&p, 1, kReadyTimeoutMs) > 0 && read(fd, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    static std::string XvfbPath()
    {
        for (const char* path : {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"})
            if (access(path, X_OK) == 0)
                return path;
        return "/usr/bin/Xvfb";
    }

    std::unique_ptr<ChildProcess> mServer;
    std::string mDisplay;
    std::string mError;
};
