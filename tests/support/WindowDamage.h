#pragma once
// What a compositor sees of a window: a report each time something is drawn into it. A test
// counts the editor's frames this way, from outside the editor, on a connection of its own.

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <chrono>
#include <string>
#include <thread>

class WindowDamage
{
public:
    WindowDamage(const std::string& displayName, unsigned long window)
        : mDisplay(XOpenDisplay(displayName.c_str()))
    {
        int error = 0;
        if (mDisplay && XDamageQueryExtension(mDisplay, &mEventBase, &error))
            mDamage = XDamageCreate(mDisplay, window, XDamageReportRawRectangles);
        mWindow = window;
        if (mDisplay)
            XSync(mDisplay, False);
    }
    // Closing the connection frees the damage object; it is gone already if the window is.
    ~WindowDamage()
    {
        if (mDisplay)
            XCloseDisplay(mDisplay);
    }
    WindowDamage(const WindowDamage&) = delete;
    WindowDamage& operator=(const WindowDamage&) = delete;

    bool Ok() const { return mDamage != 0; }

    // Drawing reports received so far (a frame may come as several rectangles).
    long Reports()
    {
        if (!mDamage)
            return 0;
        XSync(mDisplay, False);
        while (XPending(mDisplay))
        {
            XEvent event;
            XNextEvent(mDisplay, &event);
            if (event.type == mEventBase + XDamageNotify)
                ++mReports;
        }
        return mReports;
    }

    // Asks the window to draw itself again, as the server does when it comes into view.
    void Uncover()
    {
        XClearArea(mDisplay, mWindow, 0, 0, 0, 0, True);
        XFlush(mDisplay);
    }

    // Whether more than `seen` reports arrive within the time. The drawing client's requests
    // reach the server when it flushes them, a moment after it has drawn.
    bool DrawnAfter(long seen, int withinMs = 2000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(withinMs);
        while (Reports() <= seen && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Reports() > seen;
    }

private:
    Display* mDisplay;
    Damage mDamage = 0;
    unsigned long mWindow = 0;
    int mEventBase = 0;
    long mReports = 0;
};
