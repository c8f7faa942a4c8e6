// `parandel gui` on a virtual X server, driven from outside as a user would: xdotool finds the
// window by its title and moves the mouse, a close request comes the way a window manager sends
// it, and the saved preset shows what the gestures did. Skipped only when no X server starts.

#include "support/ChildProcess.h"
#include "support/CliTestFixture.h"
#include "support/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

namespace
{
constexpr double kStartSeconds = 30;
constexpr double kEndSeconds = 15;
constexpr int kScopeBottom = 243; // the vectorscope fills the editor's top 456 × 243

class GuiEndToEndTest : public CliTestFixture
{
protected:
    GuiEndToEndTest() : CliTestFixture("gui-x") {}

    void SetUp() override
    {
        CliTestFixture::SetUp();
        mX = std::make_unique<XvfbServer>();
        if (!mX->Ok())
            GTEST_SKIP() << "no X server can start: " << mX->Reason();
    }

    EnvChanges Env(EnvChanges extra = {}) const
    {
        extra["DISPLAY"] = mX->Name();
        return extra;
    }

    // Starts the player silently with the given options; its output goes to gui-*.txt.
    void StartGui(ChildProcess& gui, const std::vector<std::string>& options,
                  EnvChanges env = {}) const
    {
        std::vector<std::string> args = {PARANDEL_CLI, "gui", "--no-audio"};
        args.insert(args.end(), options.begin(), options.end());
        ASSERT_TRUE(gui.Start(args, Env(env), Path("gui-out.txt"), Path("gui-err.txt")));
    }

    std::string GuiErrors() const { return ReadWholeFile(Path("gui-err.txt")); }

    // The id of the mapped window titled "TW Parandel", once it is there; empty when the player
    // ended or nothing appeared in time.
    std::string FindWindow(ChildProcess& gui) const
    {
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(kStartSeconds);
        while (gui.Running() && std::chrono::steady_clock::now() < end)
        {
            std::istringstream ids(CaptureOutput(
                {"xdotool", "search", "--onlyvisible", "--name", "^TW Parandel$"}, Env(), dir));
            std::string id;
            if (ids >> id)
                return id;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return "";
    }

    void Xdotool(std::vector<std::string> args) const
    {
        args.insert(args.begin(), "xdotool");
        int code = -1;
        CaptureOutput(args, Env(), dir, &code);
        ASSERT_EQ(code, 0) << "xdotool " << args[1];
    }

    // What a window manager sends when the user clicks the close box.
    void RequestClose(const std::string& window) const
    {
        Display* d = XOpenDisplay(mX->Name().c_str());
        ASSERT_NE(d, nullptr);
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = std::stoul(window);
        ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, ev.xclient.window, False, NoEventMask, &ev);
        XCloseDisplay(d);
    }

    // The window's pixels in the rectangle, row by row.
    std::vector<unsigned long> Capture(const std::string& window, int x, int y, int w, int h) const
    {
        std::vector<unsigned long> pixels;
        Display* d = XOpenDisplay(mX->Name().c_str());
        if (!d)
            return pixels;
        if (XImage* image = XGetImage(d, std::stoul(window), x, y, w, h, AllPlanes, ZPixmap))
        {
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i)
                    pixels.push_back(XGetPixel(image, i, j));
            XDestroyImage(image);
        }
        XCloseDisplay(d);
        return pixels;
    }

    // Parameter values by name, as `parandel preset show` prints them.
    std::map<std::string, double> PresetValues(const std::string& path) const
    {
        std::map<std::string, double> values;
        const CommandResult r = Run({"preset", "show", path});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::istringstream lines(r.out);
        std::string line;
        while (std::getline(lines, line))
        {
            std::istringstream row(line);
            int index;
            std::string name;
            double value;
            if (row >> index >> name >> value)
                values[name] = value;
        }
        return values;
    }

    std::unique_ptr<XvfbServer> mX;
};

TEST_F(GuiEndToEndTest, AKnobDragAndAModeClickEndUpInTheSavedPreset)
{
    ChildProcess gui;
    StartGui(gui, {"--save-preset", Path("session.aupreset")});
    const std::string window = FindWindow(gui);
    ASSERT_FALSE(window.empty()) << "no window; the player said: " << GuiErrors();

    // Up the WIDTH knob (centre (228, 358)) in steps, the button held between xdotool runs
    // (the server keeps XTest's state); then the GRID mode button, the fourth of the 18-pixel
    // buttons at x = 10 + 20k, y = 271: centre (79, 280).
    Xdotool({"mousemove", "--window", window, "228", "358", "mousedown", "1"});
    for (const char* y : {"350", "335", "320"})
        Xdotool({"sleep", "0.05", "mousemove", "--window", window, "228", y});
    Xdotool({"mouseup", "1", "sleep", "0.2"});
    Xdotool({"mousemove", "--window", window, "79", "280", "click", "1", "sleep", "0.3"});
    RequestClose(window);
    ASSERT_EQ(gui.Wait(kEndSeconds), 0) << GuiErrors();

    std::map<std::string, double> values = PresetValues(Path("session.aupreset"));
    EXPECT_GT(values["Width"], 0.0);
    EXPECT_EQ(values["VectorscopeMode3"], 1.0);
    EXPECT_EQ(values["VectorscopeMode0"], 0.0);
}

TEST_F(GuiEndToEndTest, CtrlCOrSigtermEndsItCleanlyWithTheStateSaved)
{
    for (int sig : {SIGINT, SIGTERM})
    {
        const std::string preset = Path("signal-" + std::to_string(sig) + ".aupreset");
        ChildProcess gui;
        StartGui(gui, {"--width", "30", "--save-preset", preset});
        ASSERT_FALSE(FindWindow(gui).empty()) << "no window; the player said: " << GuiErrors();
        gui.Signal(sig);
        ASSERT_EQ(gui.Wait(kEndSeconds), 0) << "signal " << sig << ": " << GuiErrors();
        EXPECT_EQ(PresetValues(preset)["Width"], 30.0) << "signal " << sig;
    }
}

TEST_F(GuiEndToEndTest, PlayingSilentlyTheScopeMovesAndTheKnobsStayPut)
{
    ChildProcess gui;
    StartGui(gui, {});
    const std::string window = FindWindow(gui);
    ASSERT_FALSE(window.empty()) << "no window; the player said: " << GuiErrors();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto scope1 = Capture(window, 0, 0, 456, kScopeBottom);
    const auto knob1 = Capture(window, 192, 322, 72, 72);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto scope2 = Capture(window, 0, 0, 456, kScopeBottom);
    const auto knob2 = Capture(window, 192, 322, 72, 72);
    gui.Signal(SIGTERM);
    EXPECT_EQ(gui.Wait(kEndSeconds), 0) << GuiErrors();

    ASSERT_EQ(scope1.size(), 456u * kScopeBottom);
    EXPECT_NE(scope1, scope2) << "the scope did not move in a second";
    EXPECT_EQ(knob1, knob2);
    EXPECT_NE(GuiErrors().find("parandel: playing silently: "), std::string::npos) << GuiErrors();
}

// Mesa honours these overrides, so the driver seems to offer only OpenGL 1.5, or no
// framebuffer objects: there is no editor then, and the player says why.
TEST_F(GuiEndToEndTest, WithoutOpenGL2ThereIsNoEditorAndAClearMessage)
{
    const EnvChanges overrides[] = {{{"MESA_GL_VERSION_OVERRIDE", "1.5"}},
                                    {{"MESA_EXTENSION_OVERRIDE", "-GL_EXT_framebuffer_object"}}};
    for (const EnvChanges& env : overrides)
    {
        ChildProcess gui;
        StartGui(gui, {"--save-preset", Path("never.aupreset")}, env);
        EXPECT_EQ(gui.Wait(kStartSeconds), 1) << env.begin()->first << ": " << GuiErrors();
        const std::string err = GuiErrors();
        EXPECT_EQ(err.rfind("parandel: error: cannot open the editor: ", 0), 0u) << err;
        EXPECT_NE(err.find("OpenGL"), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(access(Path("never.aupreset").c_str(), F_OK), 0);
    }
}
} // namespace
