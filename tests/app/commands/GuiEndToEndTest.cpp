// `parandel gui` on a virtual X server, driven from outside as a user would: xdotool finds the
// window by its title and moves the mouse, a close request comes the way a window manager sends
// it, and the saved preset shows what the gestures did. Skipped only when no X server starts.

#include "support/GuiTestFixture.h"

#include <X11/Xlib.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace
{
constexpr double kStartSeconds = 30;
constexpr double kEndSeconds = 15;

class GuiEndToEndTest : public GuiTestFixture
{
protected:
    GuiEndToEndTest() : GuiTestFixture("gui-x") {}

    // The player, silent, with the given options; its messages go to gui-err.txt.
    void StartGui(ChildProcess& gui, std::vector<std::string> options) const
    {
        options.insert(options.begin(), {PARANDEL_CLI, "gui", "--no-audio"});
        ASSERT_TRUE(gui.Start(options, Path("gui-out.txt"), Path("gui-err.txt")));
    }
    std::string GuiErrors() const { return ReadWholeFile(Path("gui-err.txt")); }

    CommandResult Xdotool(std::vector<std::string> args) const
    {
        args.insert(args.begin(), "/usr/bin/xdotool");
        return RunCommand(args, dir);
    }

    // The id of the mapped window titled "TW Parandel" once it is there; empty when the player
    // ended first or nothing appeared in time.
    std::string FindWindow(ChildProcess& gui) const
    {
        for (int tries = 0; gui.Running() && tries < kStartSeconds * 10; ++tries)
        {
            std::string id;
            if (std::istringstream(
                    Xdotool({"search", "--onlyvisible", "--name", "^TW Parandel$"}).out) >>
                id)
                return id;
            usleep(100000);
        }
        return "";
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

    // A parameter's value as `parandel preset show` prints it (a row: index, name, value …).
    double PresetValue(const std::string& path, const std::string& name) const
    {
        const CommandResult r = Run({"preset", "show", path});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const size_t at = r.out.find(" " + name + " ");
        double value = -1e9;
        if (at != std::string::npos)
            std::istringstream(r.out.substr(at + name.size() + 2)) >> value;
        return value;
    }
};

TEST_F(GuiEndToEndTest, AKnobDragAndAModeClickEndUpInTheSavedPreset)
{
    ChildProcess gui;
    StartGui(gui, {"--save-preset", Path("session.aupreset")});
    const std::string w = FindWindow(gui);
    ASSERT_FALSE(w.empty()) << "no window; the player said: " << GuiErrors();

    // Up the WIDTH knob (centre (228, 358)) in steps, the button held between xdotool runs
    // (the server keeps XTest's state); then the GRID mode button, the fourth of the 18-pixel
    // buttons at x = 10 + 20k, y = 271: centre (79, 280).
    EXPECT_EQ(Xdotool({"mousemove", "--window", w, "228", "358", "mousedown", "1"}).exitCode, 0);
    for (const char* y : {"350", "335", "320"})
        Xdotool({"sleep", "0.05", "mousemove", "--window", w, "228", y});
    Xdotool({"mouseup", "1", "sleep", "0.2"});
    EXPECT_EQ(
        Xdotool({"mousemove", "--window", w, "79", "280", "click", "1", "sleep", "0.3"}).exitCode,
        0);
    RequestClose(w);
    ASSERT_EQ(gui.Wait(kEndSeconds), 0) << GuiErrors();

    EXPECT_GT(PresetValue(Path("session.aupreset"), "Width"), 0.0);
    EXPECT_EQ(PresetValue(Path("session.aupreset"), "VectorscopeMode3"), 1.0);
    EXPECT_EQ(PresetValue(Path("session.aupreset"), "VectorscopeMode0"), 0.0);
    EXPECT_NE(GuiErrors().find("parandel: playing silently: "), std::string::npos) << GuiErrors();
}

// At twice the scale the window is twice the size and every gesture lands at twice the
// coordinates: a knob drag and a typed value in the right-clicked read-out.
TEST_F(GuiEndToEndTest, AtTwiceTheScaleADragAndATypedValueWorkAsAtOnce)
{
    ChildProcess gui;
    StartGui(gui, {"--scale", "2", "--save-preset", Path("session.aupreset")});
    const std::string w = FindWindow(gui);
    ASSERT_FALSE(w.empty()) << "no window; the player said: " << GuiErrors();
    EXPECT_NE(Xdotool({"getwindowgeometry", w}).out.find("Geometry: 912x972"), std::string::npos);

    // The PAN knob's read-out (centre (325, 427)) at 2x: right-click, type 25, Return; then the
    // WIDTH knob (228, 358) at 2x dragged up.
    EXPECT_EQ(
        Xdotool({"mousemove", "--window", w, "650", "854", "click", "3", "sleep", "0.3"}).exitCode,
        0);
    Xdotool({"type", "--delay", "30", "25"});
    Xdotool({"key", "Return", "sleep", "0.2"});
    Xdotool({"mousemove", "--window", w, "456", "716", "mousedown", "1"});
    for (const char* y : {"700", "670", "640"})
        Xdotool({"sleep", "0.05", "mousemove", "--window", w, "456", y});
    Xdotool({"mouseup", "1", "sleep", "0.2"});
    RequestClose(w);
    ASSERT_EQ(gui.Wait(kEndSeconds), 0) << GuiErrors();

    EXPECT_EQ(PresetValue(Path("session.aupreset"), "Pan"), 25.0);
    EXPECT_GT(PresetValue(Path("session.aupreset"), "Width"), 0.0);
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
        EXPECT_EQ(PresetValue(preset, "Width"), 30.0) << "signal " << sig;
    }
}

// `xdotool windowclose` destroys the window without asking: the player ends as its close box
// ends it, with the state saved (the scope mode chosen on the command line too), instead of
// dying of an X error.
TEST_F(GuiEndToEndTest, AWindowDestroyedFromOutsideEndsThePlayerCleanly)
{
    ChildProcess gui;
    StartGui(gui, {"--width", "-40", "--scope-mode", "lissajous", "--save-preset",
                   Path("destroyed.aupreset")});
    const std::string w = FindWindow(gui);
    ASSERT_FALSE(w.empty()) << "no window; the player said: " << GuiErrors();
    EXPECT_EQ(Xdotool({"windowclose", w}).exitCode, 0);
    ASSERT_EQ(gui.Wait(kEndSeconds), 0) << GuiErrors();
    EXPECT_EQ(PresetValue(Path("destroyed.aupreset"), "Width"), -40.0);
    EXPECT_EQ(PresetValue(Path("destroyed.aupreset"), "VectorscopeMode1"), 1.0);
    EXPECT_EQ(PresetValue(Path("destroyed.aupreset"), "VectorscopeMode0"), 0.0);
    EXPECT_EQ(GuiErrors().find("X Error"), std::string::npos) << GuiErrors();
}

// What window managers, task bars and `xdotool search --pid` find the window by.
TEST_F(GuiEndToEndTest, TheWindowNamesItsClassProcessTitleAndIcon)
{
    ChildProcess gui;
    StartGui(gui, {});
    const std::string w = FindWindow(gui);
    ASSERT_FALSE(w.empty()) << "no window; the player said: " << GuiErrors();
    const std::string pid = std::to_string(gui.Pid());
    EXPECT_EQ(Xdotool({"search", "--pid", pid}).out, w + "\n");
    const CommandResult props = RunCommand(
        {"/usr/bin/xprop", "-id", w, "WM_CLASS", "_NET_WM_PID", "_NET_WM_NAME", "_NET_WM_ICON"},
        dir);
    ASSERT_EQ(props.exitCode, 0) << props.err;
    for (const std::string& line :
         std::vector<std::string>{"WM_CLASS(STRING) = \"parandel\", \"Parandel\"\n",
                                  "_NET_WM_PID(CARDINAL) = " + pid + "\n",
                                  "_NET_WM_NAME(UTF8_STRING) = \"TW Parandel\"\n",
                                  "_NET_WM_ICON(CARDINAL) = \tIcon (48 x 48):\n"})
        EXPECT_NE(props.out.find(line), std::string::npos) << line << " in:\n" << props.out;
    gui.Signal(SIGTERM);
    EXPECT_EQ(gui.Wait(kEndSeconds), 0) << GuiErrors();
}

// Mesa honours these overrides, so the driver seems to offer only OpenGL 1.5, or no
// framebuffer objects: there is no editor then, and the player says why.
TEST_F(GuiEndToEndTest, WithoutOpenGL2ThereIsNoEditorAndAClearMessage)
{
    for (const auto& [name, value] : {std::pair{"MESA_GL_VERSION_OVERRIDE", "1.5"},
                                      {"MESA_EXTENSION_OVERRIDE", "-GL_EXT_framebuffer_object"}})
    {
        ScopedEnv override(name, value);
        ChildProcess gui;
        StartGui(gui, {"--save-preset", Path("never.aupreset")});
        EXPECT_EQ(gui.Wait(kStartSeconds), 1) << name << ": " << GuiErrors();
        const std::string err = GuiErrors();
        EXPECT_EQ(err.rfind("parandel: error: cannot open the editor: ", 0), 0u) << err;
        EXPECT_NE(err.find("OpenGL"), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(access(Path("never.aupreset").c_str(), F_OK), 0) << name;
    }
}
} // namespace
