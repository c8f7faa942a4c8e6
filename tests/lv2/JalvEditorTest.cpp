// The plug-in inside jalv with a JACK server on its dummy driver: jalv.gtk3 on a virtual X
// server embeds the UI's GL window in its own, and a screenshot of it matches the editor drawn
// offscreen; the console jalv lists and loads the factory presets.

#include <gtest/gtest.h>

#include "app/report/ScopeImage.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/LICE_Bitmap.h"
#include "editor/controls/IControl.h"
#include "engine/Parandel.h"
#include "lv2/ChildProcess.h"
#include "support/ImageCompare.h"
#include "support/RunCommand.h"
#include "support/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace
{
constexpr int kWidth = 456;
constexpr int kHeight = 486;

// The first window under w, depth first, of the editor's size whose parent has a title.
Window FindEditorWindow(Display* d, Window w, bool underTitled)
{
    XWindowAttributes a;
    if (underTitled && XGetWindowAttributes(d, w, &a) && a.width == kWidth && a.height == kHeight &&
        a.map_state == IsViewable)
    {
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        // The innermost window of that size: the plug-in's, not the host's socket around it.
        if (XQueryTree(d, w, &root, &parent, &children, &n) && n == 0)
        {
            XFree(children);
            return w;
        }
        XFree(children);
    }
    char* name = nullptr;
    const bool titled =
        underTitled || (XFetchName(d, w, &name) && name && std::string(name) == "TW Parandel");
    XFree(name);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &n))
        for (unsigned i = 0; i < n && !found; ++i)
            found = FindEditorWindow(d, children[i], titled);
    XFree(children);
    return found;
}

std::unique_ptr<LICE_MemBitmap> Grab(Display* d, Window w)
{
    XImage* image = XGetImage(d, w, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    if (!image)
        return nullptr;
    auto shown = std::make_unique<LICE_MemBitmap>(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            *shown->PixelAt(x, y) = static_cast<LICE_pixel>(XGetPixel(image, x, y)) | 0xFF000000u;
    XDestroyImage(image);
    return shown;
}

// A folder of its own for a test, with an LV2 path holding only the bundle under test.
std::string TestFolder(const char* name)
{
    const std::string tmp = std::string(PARANDEL_TEST_TMP) + "/" + name;
    mkdir(PARANDEL_TEST_TMP, 0777);
    mkdir(tmp.c_str(), 0777);
    const std::string path = tmp + "/path";
    mkdir(path.c_str(), 0777);
    unlink((path + "/parandel.lv2").c_str());
    EXPECT_EQ(symlink(PARANDEL_LV2_BUNDLE, (path + "/parandel.lv2").c_str()), 0);
    return tmp;
}

// A JACK server name of this test process's own (tests run in parallel), that LV2 path, and
// more.
std::vector<std::string> JackEnvironment(const std::string& tmp, const std::string& more)
{
    const std::string server = "parandel-test-" + std::to_string(getpid());
    return {more, "JACK_DEFAULT_SERVER=" + server, "LV2_PATH=" + tmp + "/path:/usr/lib/lv2",
            "JACK_NO_AUDIO_RESERVATION=1"};
}

std::vector<std::string> JackCommand(const std::vector<std::string>& env)
{
    const std::string server = env[1].substr(std::string("JACK_DEFAULT_SERVER=").size());
    return {"/usr/bin/jackd", "-n", server, "-d", "dummy", "-r", "44100", "-p", "512"};
}

int DistinctColours(const LICE_IBitmap& bmp)
{
    std::vector<LICE_pixel> seen;
    for (int y = 0; y < kHeight && seen.size() < 64; y += 7)
        for (int x = 0; x < kWidth && seen.size() < 64; x += 7)
        {
            const LICE_pixel p = bmp.getBits()[y * bmp.getRowSpan() + x];
            if (std::find(seen.begin(), seen.end(), p) == seen.end())
                seen.push_back(p);
        }
    return static_cast<int>(seen.size());
}
} // namespace

TEST(JalvEditorTest, JalvGtk3EmbedsTheEditorInItsWindow)
{
    if (access("/usr/bin/jalv.gtk3", X_OK) != 0 || access("/usr/bin/jackd", X_OK) != 0)
        GTEST_SKIP() << "jalv.gtk3 or jackd is not installed (jalv, jackd2)";
    XvfbServer xvfb;
    if (!xvfb.Ok())
        GTEST_SKIP() << xvfb.Reason();
    const std::string tmp = TestFolder("jalv");
    const std::vector<std::string> env = JackEnvironment(tmp, "DISPLAY=" + xvfb.Name());
    ChildProcess jack(JackCommand(env), env, tmp + "/jackd.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    if (!jack.Running())
        GTEST_SKIP() << "jackd -d dummy does not start: " << ReadWholeFile(tmp + "/jackd.log");
    ChildProcess jalv({"/usr/bin/jalv.gtk3", "http://tarnwel.com/plugins/tw-parandel"}, env,
                      tmp + "/jalv.log");

    Display* d = XOpenDisplay(xvfb.Name().c_str());
    ASSERT_NE(d, nullptr);
    // The editor's window may be unmapped or reparented between finding and grabbing it; Xlib's
    // default handler would end the test there, leaving jalv and jackd behind. A failed grab is
    // null and the loop tries again.
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    std::unique_ptr<LICE_MemBitmap> shown;
    for (int i = 0; i < 100 && jalv.Running(); ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const Window editor = FindEditorWindow(d, DefaultRootWindow(d), false);
        if (!editor)
            continue;
        shown = Grab(d, editor);
        if (shown && DistinctColours(*shown) > 8)
            break;
    }
    XCloseDisplay(d);
    XSetErrorHandler(previous);
    const std::string log = ReadWholeFile(tmp + "/jalv.log");
    ASSERT_TRUE(shown) << "no editor window inside jalv's; jalv says:\n" << log;
    std::string error;
    const std::string shot = tmp + "/jalv-parandel.png";
    EXPECT_TRUE(app::WritePngFile(*shown, shot, error)) << error;
    EXPECT_EQ(log.find("BadWindow"), std::string::npos) << log;
    EXPECT_EQ(log.find("X Error"), std::string::npos) << log;
    jalv.Stop();
    jack.Stop();

    // The same editor drawn offscreen from a fresh plug-in: the embedded window shows it (the
    // logo's animation frame and live meters may differ a little).
    Parandel plug(Parandel::DefaultInstanceInfo());
    IGraphicsOffscreen offscreen;
    GetGUI(plug)->OpenWindow(&offscreen);
    offscreen.DrawAll();
    const std::string diff = tmp + "/jalv-vs-offscreen.png";
    const ImageDifference diffs = CompareImages(offscreen.Screen(), *shown, 40, diff);
    GetGUI(plug)->CloseWindow();
    ASSERT_TRUE(diffs.sameSize);
    EXPECT_LE(diffs.differing, kWidth * kHeight / 20) << "screenshot " << shot << ", " << diff;
}

TEST(JalvEditorTest, JalvConsoleLoadsAFactoryPreset)
{
    if (access("/usr/bin/jalv", X_OK) != 0 || access("/usr/bin/jackd", X_OK) != 0)
        GTEST_SKIP() << "jalv or jackd is not installed (jalv, jackd2)";
    const std::string tmp = TestFolder("jalv-console");
    const std::vector<std::string> env = JackEnvironment(tmp, "LANG=C");
    ChildProcess jack(JackCommand(env), env, tmp + "/jackd.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    if (!jack.Running())
        GTEST_SKIP() << "jackd -d dummy does not start: " << ReadWholeFile(tmp + "/jackd.log");
    const std::string commands = tmp + "/commands";
    unlink(commands.c_str());
    ASSERT_EQ(mkfifo(commands.c_str(), 0600), 0);
    ChildProcess jalv({"/usr/bin/jalv", "http://tarnwel.com/plugins/tw-parandel"}, env,
                      tmp + "/jalv.log", commands);
    // Opening blocks until jalv opens its end; give up after a few seconds.
    int fd = -1;
    for (int i = 0; i < 50 && fd < 0 && jalv.Running(); ++i)
    {
        fd = open(commands.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_GE(fd, 0) << ReadWholeFile(tmp + "/jalv.log");
    auto say = [&](const std::string& line)
    {
        EXPECT_EQ(write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
    };
    say("presets\n");
    say("preset http://tarnwel.com/plugins/tw-parandel#preset-narrow-minus-50\n");
    say("controls\n");
    close(fd);
    jalv.Stop();
    jack.Stop();
    const std::string log = ReadWholeFile(tmp + "/jalv.log");
    EXPECT_NE(log.find("(Narrow \u221250 %)"), std::string::npos) << log;
    const size_t loaded = log.find("preset-narrow-minus-50 (");
    EXPECT_NE(log.find("width = -50.000000", loaded), std::string::npos) << log;
}
