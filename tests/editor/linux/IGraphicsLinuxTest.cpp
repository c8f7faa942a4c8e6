// The editor in a real X11/GLX window on a virtual X server with Mesa's software OpenGL: events
// sent through XTest as a user's hand would, the window's pixels against the offscreen picture,
// and many open/close cycles without leaks.

// GoogleTest first: X11's macros (None, Bool) would break its templates.
#include <gtest/gtest.h>

#include "app/render/OfflineRenderer.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/linux/DisplayScale.h"
#include "editor/linux/IGraphicsLinux.h"
#include "editor/controls/IControl.h"
#include "editor/linux/X11Input.h"
#include "graph/GraphControl10.h"
#include "engine/Parandel.h"
#include "metering/TWUpmixGraphDrawer.h"
#include "metering/TWVectorscope.h"
#include "support/ImageCompare.h"
#include "support/WindowDamage.h"
#include "support/XvfbServer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dirent.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

namespace
{
XvfbServer* gServer = nullptr;

int OpenDescriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd"))
    {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

class IGraphicsLinuxTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        gServer = new XvfbServer;
        if (gServer->Ok())
            setenv("DISPLAY", gServer->Name().c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        delete gServer;
        gServer = nullptr;
    }

    void SetUp() override
    {
        if (!gServer->Ok())
            GTEST_SKIP() << "no X server for the window tests: " << gServer->Reason();
        renderer = std::make_unique<app::OfflineRenderer>(44100.0, 2, 512);
        renderer->Start();
        plug = &renderer->Plugin();
        gui = GetGUI(*plug);
        for (int attempt = 0; attempt < 10 && !hand; ++attempt)
            hand = XOpenDisplay(nullptr);
        ASSERT_NE(hand, nullptr);
        window = reinterpret_cast<uintptr_t>(gui->OpenWindow(&view));
        ASSERT_NE(window, 0u) << view.LastError();
        view.Sync();
    }

    void TearDown() override
    {
        if (gui)
            gui->CloseWindow();
        if (hand)
            XCloseDisplay(hand);
    }

    // The user's hand: pointer moves, buttons and keys through XTest, then a round trip so the
    // view has seen them all.
    void MoveTo(int x, int y)
    {
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(hand, window, DefaultRootWindow(hand), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(hand, -1, rx, ry, CurrentTime);
        Settle();
    }
    void Button(int button, bool down)
    {
        XTestFakeButtonEvent(hand, button, down, CurrentTime);
        Settle();
    }
    void Key(KeySym sym)
    {
        const KeyCode code = XKeysymToKeycode(hand, sym);
        XTestFakeKeyEvent(hand, code, True, CurrentTime);
        XTestFakeKeyEvent(hand, code, False, CurrentTime);
        Settle();
    }
    void Drag(int x, int y, int dx, int dy, int button = 1)
    {
        MoveTo(x, y);
        Button(button, true);
        MoveTo(x + dx / 2, y + dy / 2);
        MoveTo(x + dx, y + dy);
        Button(button, false);
    }
    void Settle()
    {
        XSync(hand, False);
        view.Sync();
    }
    double Value(int idx) const { return plug->Param(idx)->Value(); }

    // Forty blocks of two sines at unrelated frequencies: the scope and the meters move.
    void PlaySines(int blocks)
    {
        std::vector<float> left(512), right(512), outL(512), outR(512);
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {outL.data(), outR.data()};
        for (int b = 0; b < blocks; ++b)
        {
            for (int k = 0; k < 512; ++k)
            {
                left[k] = 0.6f * static_cast<float>(std::sin(0.01 * (b * 512 + k)));
                right[k] = 0.4f * static_cast<float>(std::sin(0.017 * (b * 512 + k)));
            }
            renderer->Process(ins, outs, 512);
        }
    }

    // The window's pixels against the offscreen picture of the same editor (which closes the
    // window; the clock must stay frozen until this returns).
    void ExpectWindowMatchesSnapshot(const char* diffName)
    {
        XImage* image = XGetImage(hand, window, 0, 0, 456, 486, AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        LICE_MemBitmap shown(456, 486);
        for (int y = 0; y < 486; ++y)
            for (int x = 0; x < 456; ++x)
                *shown.PixelAt(x, y) =
                    static_cast<LICE_pixel>(XGetPixel(image, x, y)) | 0xFF000000u;
        XDestroyImage(image);
        gui->CloseWindow();
        IGraphicsOffscreen offscreen;
        gui->OpenWindow(&offscreen);
        offscreen.DrawAll();
        gui->CloseWindow();
        const std::string diff = std::string(PARANDEL_TEST_TMP) + "/" + diffName;
        const ImageDifference d = CompareImages(offscreen.Screen(), shown, 40, diff);
        ASSERT_TRUE(d.sameSize);
        EXPECT_LE(d.differing, 100) << "first at (" << d.firstX << ", " << d.firstY << "), " << diff;
    }

    std::unique_ptr<app::OfflineRenderer> renderer;
    Parandel* plug = nullptr;
    IGraphics* gui = nullptr;
    IGraphicsLinux view;
    Display* hand = nullptr;
    uintptr_t window = 0;
};

TEST_F(IGraphicsLinuxTest, DraggingTheWidthKnobMovesItByTheEditorsAmount)
{
    Drag(228, 358, 0, -36);
    // 36 pixels up on a 72-pixel knob with gearing 4: an eighth of the range.
    EXPECT_NEAR(plug->Param(Parandel::kWidth)->ToNormalized(), 0.5 + 36.0 / 72.0 / 4.0, 1e-9);
}

TEST_F(IGraphicsLinuxTest, ADragOfFortyEditorPixelsMovesWidthAlikeAtEveryScale)
{
    for (double scale : {1.0, 1.5, 2.0})
    {
        gui->CloseWindow();
        ASSERT_TRUE(gui->SetScale(scale));
        window = reinterpret_cast<uintptr_t>(gui->OpenWindow(&view));
        ASSERT_NE(window, 0u) << view.LastError();
        view.Sync();
        XWindowAttributes a;
        XGetWindowAttributes(hand, static_cast<Window>(window), &a);
        EXPECT_EQ(a.width, static_cast<int>(456 * scale));
        EXPECT_EQ(a.height, static_cast<int>(486 * scale));
        renderer->SetParameter(Parandel::kWidth, 0.0);
        gui->SetParameterFromPlug(Parandel::kWidth, 0.0, false);
        const auto at = [scale](int v) { return static_cast<int>(v * scale); };
        Drag(at(228), at(358), 0, at(-40));
        // 40 editor pixels up on a 72-pixel knob with gearing 4.
        EXPECT_NEAR(plug->Param(Parandel::kWidth)->ToNormalized(), 0.5 + 40.0 / 72.0 / 4.0, 1e-9)
            << "scale " << scale;
    }
}

TEST_F(IGraphicsLinuxTest, TheScaleComesFromTheVariableTheHostOrXftDpiInThatOrder)
{
    const Window root = DefaultRootWindow(hand);
    const Atom resources = XInternAtom(hand, "RESOURCE_MANAGER", False);
    const char text[] = "Xft.antialias:\t1\nXft.dpi:\t192\n";
    XChangeProperty(hand, root, resources, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text), sizeof(text) - 1);
    XSync(hand, False);
    unsetenv("PARANDEL_SCALE");
    EXPECT_DOUBLE_EQ(XftDisplayScale(), 2.0);
    EXPECT_DOUBLE_EQ(ChooseDisplayScale(), 2.0);
    EXPECT_DOUBLE_EQ(ChooseDisplayScale(1.5), 1.5) << "the host's option before Xft.dpi";
    setenv("PARANDEL_SCALE", "1", 1);
    EXPECT_DOUBLE_EQ(ChooseDisplayScale(1.5), 1.0) << "the variable before all";
    setenv("PARANDEL_SCALE", "large", 1);
    EXPECT_DOUBLE_EQ(ChooseDisplayScale(1.7), 1.5) << "not a number: ignored; 1.7 is nearest 1.5";
    unsetenv("PARANDEL_SCALE");
    XDeleteProperty(hand, root, resources);
    XSync(hand, False);
    EXPECT_DOUBLE_EQ(XftDisplayScale(), 0.0);
    EXPECT_DOUBLE_EQ(ChooseDisplayScale(), 1.0);
}

TEST_F(IGraphicsLinuxTest, AClickOnAModeButtonSwitchesTheScope)
{
    MoveTo(10 + 20 * 1 + 9, 280);
    Button(1, true);
    Button(1, false);
    EXPECT_EQ(plug->GetVectorscope()->GetMode(), 1);
    EXPECT_EQ(Value(Parandel::kVectorscopeMode0), 0.0);
}

TEST_F(IGraphicsLinuxTest, DraggingTheGridBallMovesPanAndWidth)
{
    MoveTo(10 + 20 * 3 + 9, 280);
    Button(1, true);
    Button(1, false);
    ASSERT_EQ(plug->GetVectorscope()->GetMode(), 3);
    double bx = 0, by = 0, halo = 0;
    plug->GetVectorscope()->GetUpmixDrawer()->GetBall(&bx, &by, &halo);
    const int h = plug->GetVectorscopeGraph(3)->Height();
    const int x = static_cast<int>(bx), y = h - static_cast<int>(by);
    Drag(x, y, 60, 0);
    EXPECT_GT(Value(Parandel::kPan), 10.0);
    const double width = plug->Param(Parandel::kWidth)->ToNormalized();
    plug->GetVectorscope()->GetUpmixDrawer()->GetBall(&bx, &by, &halo);
    XTestFakeKeyEvent(hand, XKeysymToKeycode(hand, XK_Alt_L), True, CurrentTime);
    Drag(static_cast<int>(bx), h - static_cast<int>(by), 0, -h / 4);
    XTestFakeKeyEvent(hand, XKeysymToKeycode(hand, XK_Alt_L), False, CurrentTime);
    Settle();
    EXPECT_NEAR(plug->Param(Parandel::kWidth)->ToNormalized(), std::min(1.0, width + 0.25), 0.01);
}

TEST_F(IGraphicsLinuxTest, ARightClickAndTypedDigitsSetAValue)
{
    MoveTo(228, 414); // the WIDTH read-out
    Button(3, true);
    Button(3, false);
    ASSERT_TRUE(gui->IsPromptOpen());
    for (KeySym k : {XK_minus, XK_2, XK_5, XK_period, XK_5, XK_Return})
        Key(k);
    EXPECT_FALSE(gui->IsPromptOpen());
    EXPECT_NEAR(Value(Parandel::kWidth), -25.5, 1e-9);
}

TEST_F(IGraphicsLinuxTest, TheWindowShowsWhatTheSnapshotShows)
{
    PlaySines(40);
    const IControl::FrozenClock frozen(0); // the logo at a fixed frame in both pictures
    view.Sync();
    view.Sync();
    ExpectWindowMatchesSnapshot("window-vs-snapshot.png");
}

// A frame that changes the scope at the top and the logo at the bottom shows each area on its
// own: the window between them keeps the last frame, and the whole still equals the picture.
TEST_F(IGraphicsLinuxTest, DistantChangesReachTheWindowAsTheSnapshotShowsThem)
{
    std::optional<IControl::FrozenClock> frozen;
    frozen.emplace(0);
    view.Sync();
    view.Sync();
    PlaySines(40);
    frozen.reset();
    frozen.emplace(700);
    view.Sync();
    view.Sync();
    ExpectWindowMatchesSnapshot("window-vs-snapshot-partial.png");
}

TEST_F(IGraphicsLinuxTest, OpeningAndClosingTwentyTimesLeaksNothing)
{
    gui->CloseWindow();
    EXPECT_EQ(view.LiveTextures(), 0);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned before = 0, after = 0;
    XQueryTree(hand, DefaultRootWindow(hand), &root, &parent, &children, &before);
    XFree(children);
    const int descriptors = OpenDescriptors();
    for (int i = 0; i < 20; ++i)
    {
        const void* opened = gui->OpenWindow(&view);
        ASSERT_NE(opened, nullptr) << i << ": " << view.LastError();
        WindowDamage damage(gServer->Name(), reinterpret_cast<uintptr_t>(opened));
        damage.Uncover();
        EXPECT_TRUE(damage.DrawnAfter(0)) << i;
        gui->CloseWindow();
        EXPECT_EQ(view.LiveTextures(), 0) << i;
    }
    XQueryTree(hand, DefaultRootWindow(hand), &root, &parent, &children, &after);
    XFree(children);
    EXPECT_EQ(after, before);
    EXPECT_LE(OpenDescriptors(), descriptors);
    // The editor and its controls survive: the next open works and draws.
    const void* opened = gui->OpenWindow(&view);
    ASSERT_NE(opened, nullptr);
    WindowDamage damage(gServer->Name(), reinterpret_cast<uintptr_t>(opened));
    damage.Uncover();
    EXPECT_TRUE(damage.DrawnAfter(0));
}

TEST_F(IGraphicsLinuxTest, AnUnchangedEditorPresentsNoFrameAndASilentInputSettles)
{
    WindowDamage damage(gServer->Name(), window);
    ASSERT_TRUE(damage.Ok());
    std::vector<float> left(512), right(512), outL(512), outR(512);
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outL.data(), outR.data()};
    // Silence until the scope and the meters have come to rest (the meters fall at their own
    // pace); the logo, on the real clock, rests in silence too.
    long last = -1;
    for (int quiet = 0, i = 0; quiet < 25 && i < 400; ++i)
    {
        renderer->Process(in, out, 512);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        quiet = damage.Reports() == last ? quiet + 1 : 0;
        last = damage.Reports();
    }
    view.Sync();
    const long frames = damage.Reports();
    const long uploads = view.TextureUploads();
    for (int i = 0; i < 6; ++i)
    {
        renderer->Process(in, out, 512);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    view.Sync();
    EXPECT_FALSE(damage.DrawnAfter(frames, 200)) << "silence on silence shows nothing new";
    EXPECT_EQ(view.TextureUploads(), uploads);
    // Sound moves the scope: new frames, each with the scope's image and nothing else.
    for (int k = 0; k < 512; ++k)
        left[k] = 0.5f * std::sin(0.05f * k), right[k] = 0.3f * std::cos(0.07f * k);
    renderer->Process(in, out, 512);
    view.Sync();
    EXPECT_TRUE(damage.DrawnAfter(frames));
    EXPECT_GT(view.TextureUploads(), uploads);
}

TEST_F(IGraphicsLinuxTest, WithoutOpenGL2ThereIsNoEditorAndAReason)
{
    gui->CloseWindow();
    setenv("MESA_GL_VERSION_OVERRIDE", "1.5", 1);
    IGraphicsLinux old;
    EXPECT_EQ(gui->OpenWindow(&old), nullptr);
    unsetenv("MESA_GL_VERSION_OVERRIDE");
    EXPECT_NE(old.LastError().find("OpenGL 2"), std::string::npos) << old.LastError();
    EXPECT_FALSE(gui->WindowIsOpen());
}

TEST(X11InputTest, ModifiersKeysAndClickCounts)
{
    const IMouseMod left = X11MouseMod(ShiftMask | Mod1Mask, kX11ButtonLeft);
    EXPECT_TRUE(left.L && left.S && left.A);
    EXPECT_FALSE(left.R || left.C);
    EXPECT_TRUE(X11MouseMod(Mod4Mask, kX11ButtonLeft).R); // the command key on a left click
    const IMouseMod right = X11MouseMod(ControlMask, kX11ButtonRight);
    EXPECT_TRUE(right.R && right.C && !right.L);
    EXPECT_TRUE(X11MouseMod(Button3Mask, 0).R); // a right drag

    EXPECT_EQ(IGraphics::KeyNumber(X11KeyDescription(XK_a, "a", 1)), 15);
    EXPECT_EQ(IGraphics::KeyNumber(X11KeyDescription(XK_A, "A", 1)), 15);
    EXPECT_EQ(IGraphics::KeyNumber(X11KeyDescription(XK_Right, "", 0)), 4);
    EXPECT_EQ(IGraphics::KeyNumber(X11KeyDescription(XK_Tab, "\t", 1)), IGraphics::kKeyPassOn);
    EXPECT_EQ(X11KeyDescription(XK_Return, "\r", 1).named, IKeyDescription::kReturn);

    ClickCounter clicks;
    EXPECT_EQ(clicks.Press(1, 10, 10, 1000), 1);
    EXPECT_EQ(clicks.Press(1, 12, 11, 1200), 2);
    EXPECT_EQ(clicks.Press(1, 12, 11, 1700), 1); // too slow
    EXPECT_EQ(clicks.Press(1, 30, 11, 1800), 1); // too far
    EXPECT_EQ(clicks.Press(3, 30, 11, 1900), 1); // another button
}
// A slow editor finds a whole gesture queued: hover, press, two drag motions, release, hover
// elsewhere. Only runs of motion merge; the press and release keep their places.
TEST_F(IGraphicsLinuxTest, AQueuedDragStaysADragWhenMotionMerges)
{
    auto motion = [this](int y, unsigned state) {
        XEvent e{};
        e.xmotion = {MotionNotify, 0, True, hand, window, 0, 0, 0, 228, y, 228, y, state, 0, True};
        return e;
    };
    XEvent press{};
    press.xbutton = {ButtonPress, 0, True, hand, window, 0, 0, 0, 228, 358, 228, 358, 0, 1, True};
    XEvent release = press;
    release.type = ButtonRelease;
    const XEvent queue[] = {motion(358, 0), press, motion(350, Button1Mask),
                            motion(320, Button1Mask), release, motion(280, 0)};
    for (int i = 5; i >= 0; --i)
        XPutBackEvent(hand, const_cast<XEvent*>(&queue[i]));

    std::vector<std::pair<int, int>> seen; // (type, y) as dispatched
    XEvent e;
    while (XEventsQueued(hand, QueuedAlready) > 0)
    {
        XNextEvent(hand, &e);
        if (e.type == MotionNotify)
            TakeMotionBurst(hand, window, e);
        seen.emplace_back(e.type, e.type == MotionNotify ? e.xmotion.y : e.xbutton.y);
    }
    const std::vector<std::pair<int, int>> expected = {{MotionNotify, 358}, {ButtonPress, 358},
                                                       {MotionNotify, 320}, {ButtonRelease, 358},
                                                       {MotionNotify, 280}};
    EXPECT_EQ(seen, expected);
}
} // namespace
