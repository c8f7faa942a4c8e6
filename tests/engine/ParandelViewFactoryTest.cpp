// The view factory as a Linux host uses it: the editor's window made inside the host's own X11
// window, closed and made again.

#include <gtest/gtest.h>

#include "app/render/OfflineRenderer.h"
#include "editor/IGraphics.h"
#include "engine/Parandel.h"
#include "engine/ParandelEntry.h"
#include "support/XvfbServer.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace
{
TEST(ParandelViewFactoryTest, OpensTheEditorInsideTheHostsWindowAgainAndAgain)
{
    XvfbServer server;
    if (!server.Ok())
        GTEST_SKIP() << "no X server: " << server.Reason();
    setenv("DISPLAY", server.Name().c_str(), 1);
    Display* host = nullptr;
    for (int attempt = 0; attempt < 10 && !host; ++attempt)
        host = XOpenDisplay(nullptr);
    ASSERT_NE(host, nullptr);
    // The host's window the editor goes into, in the host's default visual.
    const Window parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 600, 600, 0,
                                              0, 0);
    XMapWindow(host, parent);
    XSync(host, False);

    app::OfflineRenderer renderer(44100.0, 2, 512);
    renderer.Start();
    Parandel_View factory;
    for (int i = 0; i < 5; ++i)
    {
        const unsigned long window = factory.UiViewForAudioUnitInParent(renderer.Unit(), parent);
        ASSERT_NE(window, 0ul) << i << ": " << factory.LastError();
        EXPECT_TRUE(GetGUI(renderer.Plugin())->WindowIsOpen());
        Window root = 0, itsParent = 0, *children = nullptr;
        unsigned n = 0;
        XQueryTree(host, window, &root, &itsParent, &children, &n);
        XFree(children);
        EXPECT_EQ(itsParent, parent) << i;
        XWindowAttributes attributes;
        XGetWindowAttributes(host, window, &attributes);
        EXPECT_EQ(attributes.width, 456);
        EXPECT_EQ(attributes.height, 486);
        factory.CloseView();
        EXPECT_FALSE(GetGUI(renderer.Plugin())->WindowIsOpen());
    }
    EXPECT_EQ(factory.UiViewForAudioUnitInParent(nullptr, parent), 0ul) << "no unit";
    XDestroyWindow(host, parent);
    XCloseDisplay(host);
}
} // namespace
