// The editor embedded in a host's window on a virtual X server, as jalv or Ardour embed it: the
// keyboard focus stays with the host through clicks and drags and moves to the editor only
// while an entry is open; keys the editor does not use reach the host's window; a host that
// destroys its window before closing the editor does not end the process.

// GoogleTest first: X11's macros (None, Bool) would break its templates.
#include <gtest/gtest.h>

#include "app/render/OfflineRenderer.h"
#include "editor/IGraphics.h"
#include "editor/linux/IGraphicsLinux.h"
#include "engine/Parandel.h"
#include "support/WindowDamage.h"
#include "support/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>

namespace
{
class EmbeddedEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!server.Ok())
            GTEST_SKIP() << "no X server for the window tests: " << server.Reason();
        setenv("DISPLAY", server.Name().c_str(), 1);
        renderer = std::make_unique<app::OfflineRenderer>(44100.0, 2, 512);
        renderer->Start();
        plug = &renderer->Plugin();
        gui = GetGUI(*plug);
        host = XOpenDisplay(server.Name().c_str());
        ASSERT_NE(host, nullptr);
        // Larger than the editor, which sits in its top-left corner.
        hostWindow = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 600, 600, 0, 0, 0);
        XSelectInput(host, hostWindow, KeyPressMask);
        XMapWindow(host, hostWindow);
        XSync(host, False);
        XSetInputFocus(host, hostWindow, RevertToParent, CurrentTime);
        XSync(host, False);
        editor = reinterpret_cast<uintptr_t>(
            gui->OpenWindow(&view, reinterpret_cast<void*>(static_cast<uintptr_t>(hostWindow))));
        ASSERT_NE(editor, 0u) << view.LastError();
        Settle();
    }

    void TearDown() override
    {
        if (gui)
            gui->CloseWindow();
        if (host)
            XCloseDisplay(host);
    }

    void Settle()
    {
        XSync(host, False);
        view.Sync();
        XSync(host, False);
    }
    void MoveTo(int x, int y)
    {
        XTestFakeMotionEvent(host, -1, x, y, CurrentTime); // the host sits at the root's origin
        Settle();
    }
    void Button(int button, bool down)
    {
        XTestFakeButtonEvent(host, button, down, CurrentTime);
        Settle();
    }
    void Key(KeySym sym)
    {
        const KeyCode code = XKeysymToKeycode(host, sym);
        XTestFakeKeyEvent(host, code, True, CurrentTime);
        XTestFakeKeyEvent(host, code, False, CurrentTime);
        Settle();
    }
    Window Focus() const
    {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(host, &focus, &revert);
        return focus;
    }
    // Key presses the host's window received since the last call.
    std::vector<KeySym> HostKeys()
    {
        std::vector<KeySym> keys;
        XEvent event;
        while (XCheckWindowEvent(host, hostWindow, KeyPressMask, &event))
            keys.push_back(XLookupKeysym(&event.xkey, 0));
        return keys;
    }

    XvfbServer server;
    std::unique_ptr<app::OfflineRenderer> renderer;
    Parandel* plug = nullptr;
    IGraphics* gui = nullptr;
    IGraphicsLinux view;
    Display* host = nullptr;
    Window hostWindow = 0;
    uintptr_t editor = 0;
};

TEST_F(EmbeddedEditorTest, TheFocusStaysWithTheHostExceptWhileAnEntryIsOpen)
{
    MoveTo(228, 358); // the WIDTH knob
    Button(1, true);
    MoveTo(228, 340);
    MoveTo(228, 322);
    Button(1, false);
    EXPECT_GT(plug->Param(Parandel::kWidth)->Value(), 0.0);
    EXPECT_EQ(Focus(), hostWindow);

    MoveTo(228, 414); // the WIDTH read-out: a right click opens its entry
    Button(3, true);
    Button(3, false);
    ASSERT_TRUE(gui->IsPromptOpen());
    EXPECT_EQ(Focus(), static_cast<Window>(editor));
    MoveTo(10, 10); // typing goes to the entry wherever the pointer is
    for (KeySym k : {XK_1, XK_2, XK_Return})
        Key(k);
    Settle(); // the focus goes back on the tick after the entry closed
    EXPECT_FALSE(gui->IsPromptOpen());
    EXPECT_NEAR(plug->Param(Parandel::kWidth)->Value(), 12.0, 1e-9);
    EXPECT_EQ(Focus(), hostWindow);
    EXPECT_TRUE(HostKeys().empty()); // the entry took every key
}

TEST_F(EmbeddedEditorTest, KeysTheEditorDoesNotUseReachTheHost)
{
    MoveTo(228, 358);
    HostKeys();
    for (KeySym k : {XK_Tab, XK_F5, XK_Escape})
        Key(k);
    EXPECT_EQ(HostKeys(), (std::vector<KeySym>{XK_Tab, XK_F5, XK_Escape}));
    // Beside the editor the host gets its keys straight from the server: once each.
    MoveTo(520, 560);
    Key(XK_Tab);
    EXPECT_EQ(HostKeys(), std::vector<KeySym>{XK_Tab});
}

TEST_F(EmbeddedEditorTest, AHostThatDestroysItsWindowFirstDoesNotEndTheProcess)
{
    XDestroyWindow(host, hostWindow);
    hostWindow = 0;
    XSync(host, False);
    for (int i = 0; i < 5; ++i)
        view.Sync(); // ticks that would draw into the destroyed window
    gui->CloseWindow();
    EXPECT_FALSE(gui->WindowIsOpen());
    // The editor opens again, in a new host window.
    const Window again =
        XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 456, 486, 0, 0, 0);
    XMapWindow(host, again);
    XSync(host, False);
    const void* editor =
        gui->OpenWindow(&view, reinterpret_cast<void*>(static_cast<uintptr_t>(again)));
    ASSERT_NE(editor, nullptr);
    WindowDamage damage(server.Name(), reinterpret_cast<uintptr_t>(editor));
    damage.Uncover();
    EXPECT_TRUE(damage.DrawnAfter(0));
}
} // namespace
