#include "editor/linux/X11Errors.h"

#include <mutex>
#include <utility>
#include <vector>

namespace
{
std::mutex gInstallMutex; // serialises Watch and Unwatch
std::mutex gMutex;        // the table and the previous handler
std::vector<std::pair<Display*, int>> gWatched;
XErrorHandler gPrevious = nullptr;

int CountError(Display* display, XErrorEvent* event)
{
    XErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        for (auto& [watched, count] : gWatched)
            if (watched == display)
            {
                ++count;
                return 0;
            }
        previous = gPrevious;
    }
    return previous ? previous(display, event) : 0;
}
} // namespace

namespace X11Errors
{
// Installing and removing the handler happens outside gMutex: Xlib takes its own lock there,
// and may hold it while calling the handler.
void Watch(Display* display)
{
    std::lock_guard<std::mutex> install(gInstallMutex);
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        first = gWatched.empty();
        gWatched.emplace_back(display, 0);
    }
    if (!first)
        return;
    const XErrorHandler previous = XSetErrorHandler(CountError);
    std::lock_guard<std::mutex> lock(gMutex);
    gPrevious = previous;
}

void Unwatch(Display* display)
{
    std::lock_guard<std::mutex> install(gInstallMutex);
    XErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        for (size_t i = 0; i < gWatched.size(); ++i)
            if (gWatched[i].first == display)
            {
                gWatched.erase(gWatched.begin() + static_cast<long>(i));
                break;
            }
        if (!gWatched.empty())
            return;
        previous = gPrevious;
    }
    // Someone who installed a handler after ours keeps it.
    const XErrorHandler current = XSetErrorHandler(previous);
    if (current != CountError)
        XSetErrorHandler(current);
}

int Count(Display* display)
{
    std::lock_guard<std::mutex> lock(gMutex);
    for (const auto& [watched, count] : gWatched)
        if (watched == display)
            return count;
    return 0;
}
} // namespace X11Errors
