// The LV2 UI driven the way a host drives it: instantiated from the bundle's shared object with
// instance-access to a lilv instance of the same object and a parent window on a virtual X
// server; host port events redraw the controls, a drag on a knob comes back as touch gestures
// and port writes from the idle call.

#include <gtest/gtest.h>

#include "lv2/LilvHost.h"
#include "support/XvfbServer.h"

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstring>
#include <dlfcn.h>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr const char* kUri = "http://tarnwel.com/plugins/tw-parandel";
constexpr const char* kUiUri = "http://tarnwel.com/plugins/tw-parandel#ui";

struct Recorder
{
    std::vector<std::pair<uint32_t, bool>> touches;
    std::vector<std::pair<uint32_t, float>> writes;
    static void Write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format,
                      const void* buffer)
    {
        if (format == 0 && size == sizeof(float))
            static_cast<Recorder*>(c)->writes.push_back({port, *static_cast<const float*>(buffer)});
    }
    static void Touch(LV2UI_Feature_Handle h, uint32_t port, bool grabbed)
    {
        static_cast<Recorder*>(h)->touches.push_back({port, grabbed});
    }
};

std::vector<unsigned long> Grab(Display* d, Window w, int width, int height)
{
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(d, w, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return pixels;
}

// The pixels that differ where the width knob and its value text sit (the lower middle).
int WidthKnobChange(const std::vector<unsigned long>& before,
                    const std::vector<unsigned long>& after)
{
    int changed = 0;
    for (int y = 300; y < 430; ++y)
        for (int x = 170; x < 290; ++x)
            changed += before[y * 456 + x] != after[y * 456 + x];
    return changed;
}

void Settle(Display* d)
{
    XSync(d, False);
    // The editor draws on its own 25 fps tick.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}
} // namespace

class LV2UITest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!xvfb.Ok())
            GTEST_SKIP() << xvfb.Reason();
        setenv("DISPLAY", xvfb.Name().c_str(), 1);
        hand = XOpenDisplay(xvfb.Name().c_str());
        ASSERT_NE(hand, nullptr);
        host = std::make_unique<LilvHost>(PARANDEL_LV2_BUNDLE, kUri, 44100, 512);
        ASSERT_TRUE(host->Ok());
        host->Activate();
        // lilv opened the same file: dlopen hands back the loaded object, so the UI and the
        // plug-in share one copy of the code.
        const std::string so = std::string(PARANDEL_LV2_BUNDLE) + "/parandel.so";
        library = dlopen(so.c_str(), RTLD_NOW);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(
            dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_STREQ(descriptor->URI, kUiUri);
        parent = XCreateSimpleWindow(hand, DefaultRootWindow(hand), 0, 0, 456, 486, 0, 0, 0);
        XMapWindow(hand, parent);
        XSync(hand, False);
    }

    void TearDown() override
    {
        if (ui)
            descriptor->cleanup(ui);
        host.reset();
        if (library)
            dlclose(library);
        if (hand)
            XCloseDisplay(hand);
    }

    // scaleFactor > 0: the host gives it as the ui:scaleFactor option.
    void OpenUi(float scaleFactor = 0.0f)
    {
        touch = {&recorder, Recorder::Touch};
        const LV2_Feature access = {LV2_INSTANCE_ACCESS_URI,
                                    lilv_instance_get_handle(host->Instance())};
        const LV2_Feature parentFeature = {LV2_UI__parent,
                                           reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
        const LV2_Feature touchFeature = {LV2_UI__touch, &touch};
        LV2_URID_Map map = {host.get(), [](LV2_URID_Map_Handle h, const char* uri) {
                                return static_cast<LilvHost*>(h)->Map(uri);
                            }};
        const LV2_Options_Option options[] = {
            {LV2_OPTIONS_INSTANCE, 0, host->Map(LV2_UI__scaleFactor), sizeof(float),
             host->Map(LV2_ATOM__Float), &scaleFactor},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        const LV2_Feature mapFeature = {LV2_URID__map, &map};
        const LV2_Feature optionsFeature = {LV2_OPTIONS__options,
                                            const_cast<LV2_Options_Option*>(options)};
        const LV2_Feature* features[] = {&access, &parentFeature, &touchFeature,
                                         scaleFactor > 0.0f ? &mapFeature : nullptr,
                                         &optionsFeature, nullptr};
        ui = descriptor->instantiate(descriptor, kUri, PARANDEL_LV2_BUNDLE, Recorder::Write,
                                     &recorder, &widget, features);
        ASSERT_NE(ui, nullptr);
        ASSERT_NE(widget, nullptr);
        idle = static_cast<const LV2UI_Idle_Interface*>(
            descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle, nullptr);
        Settle(hand);
    }

    Window Widget() const { return static_cast<Window>(reinterpret_cast<uintptr_t>(widget)); }

    XvfbServer xvfb;
    Display* hand = nullptr;
    std::unique_ptr<LilvHost> host;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    Window parent = 0;
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
    Recorder recorder;
    LV2UI_Touch touch{};
};

TEST_F(LV2UITest, TheWindowHasTheSizeOfTheHostsScaleFactor)
{
    unsetenv("PARANDEL_SCALE");
    for (float scale : {2.0f, 1.5f, 1.0f})
    {
        OpenUi(scale);
        Window root;
        int x = 0, y = 0;
        unsigned w = 0, h = 0, border = 0, depth = 0;
        ASSERT_TRUE(XGetGeometry(hand, Widget(), &root, &x, &y, &w, &h, &border, &depth));
        EXPECT_EQ(w, static_cast<unsigned>(456 * scale)) << scale;
        EXPECT_EQ(h, static_cast<unsigned>(486 * scale)) << scale;
        descriptor->cleanup(ui);
        ui = nullptr;
    }
}

TEST_F(LV2UITest, OpensAsAChildOfTheHostsParentWindow)
{
    OpenUi();
    Window root, parentOfWidget, *children = nullptr;
    unsigned n = 0;
    ASSERT_TRUE(XQueryTree(hand, Widget(), &root, &parentOfWidget, &children, &n));
    XFree(children);
    EXPECT_EQ(parentOfWidget, parent);
    EXPECT_EQ(idle->idle(ui), 0);
}

TEST_F(LV2UITest, HostPortEventsRedrawTheControls)
{
    OpenUi();
    const auto before = Grab(hand, Widget(), 456, 486);
    const float width = 100.0f;
    descriptor->port_event(ui, host->PortIndex("width"), sizeof(float), 0, &width);
    Settle(hand);
    const auto after = Grab(hand, Widget(), 456, 486);
    ASSERT_EQ(before.size(), after.size());
    EXPECT_GT(WidthKnobChange(before, after), 100);
}

TEST_F(LV2UITest, AKnobDragReachesTheHostAsATouchedGestureAndPortWrites)
{
    OpenUi();
    auto move = [&](int x, int y)
    {
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(hand, Widget(), DefaultRootWindow(hand), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(hand, -1, rx, ry, CurrentTime);
        Settle(hand);
    };
    move(228, 358);
    XTestFakeButtonEvent(hand, 1, True, CurrentTime);
    Settle(hand);
    move(228, 340);
    move(228, 322);
    XTestFakeButtonEvent(hand, 1, False, CurrentTime);
    Settle(hand);
    EXPECT_EQ(idle->idle(ui), 0);

    const uint32_t port = static_cast<uint32_t>(host->PortIndex("width"));
    ASSERT_FALSE(recorder.touches.empty());
    EXPECT_EQ(recorder.touches.front(), std::make_pair(port, true));
    EXPECT_EQ(recorder.touches.back(), std::make_pair(port, false));
    // The width port's last write carries the dragged value.
    float written = 0.0f;
    int widthWrites = 0;
    for (const auto& w : recorder.writes)
        if (w.first == port)
        {
            written = w.second;
            ++widthWrites;
        }
    ASSERT_GT(widthWrites, 0);
    EXPECT_GT(written, 0.0f) << "dragging up widens";
    // The host is told the value the plug-in now holds (Width is parameter 1 of the chunk).
    const std::vector<uint8_t> chunk = host->SavedChunk();
    ASSERT_GE(chunk.size(), 16u);
    double held = 0.0;
    std::memcpy(&held, chunk.data() + 8, 8);
    EXPECT_FLOAT_EQ(written, static_cast<float>(held));
}

TEST_F(LV2UITest, EmbedsInAParentTheHostHasNotFlushedYet)
{
    // A host that creates its socket window and instantiates the UI in the same breath: the
    // request may still sit in the host's output buffer when the editor asks for its window.
    Display* lazyHost = XOpenDisplay(xvfb.Name().c_str());
    ASSERT_NE(lazyHost, nullptr);
    parent = XCreateSimpleWindow(lazyHost, DefaultRootWindow(lazyHost), 0, 0, 456, 486, 0, 0, 0);
    XMapWindow(lazyHost, parent);
    OpenUi();
    XSync(lazyHost, False);
    Settle(hand);
    Window root, parentOfWidget, *children = nullptr;
    unsigned n = 0;
    ASSERT_TRUE(XQueryTree(hand, Widget(), &root, &parentOfWidget, &children, &n));
    XFree(children);
    EXPECT_EQ(parentOfWidget, parent);
    descriptor->cleanup(ui);
    ui = nullptr;
    XCloseDisplay(lazyHost);
}

TEST_F(LV2UITest, OpeningRedrawingAndHostUpdatesNeverWriteAPortOrTouch)
{
    // Only the user changes parameters: the editor's first frames, the host's port events and
    // changes the host makes through the ports (the vectorscope mode's radio members settle
    // each other) are not reported back.
    OpenUi();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(idle->idle(ui), 0);
    const float width = -30.0f, mode = 2.0f;
    descriptor->port_event(ui, host->PortIndex("width"), sizeof(float), 0, &width);
    descriptor->port_event(ui, host->PortIndex("vectorscope_mode"), sizeof(float), 0, &mode);
    host->SetControl("width", width);
    host->SetControl("vectorscope_mode", mode);
    std::vector<float> in(512, 0.1f), outL(512), outR(512);
    host->Run({in.data(), in.data()}, {outL.data(), outR.data()}, 512);
    Settle(hand);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(idle->idle(ui), 0);
    EXPECT_TRUE(recorder.writes.empty())
        << recorder.writes.size() << " writes, the first to port " << recorder.writes.front().first;
    EXPECT_TRUE(recorder.touches.empty());
}

TEST_F(LV2UITest, AFactoryPresetTheHostLoadsShowsInTheEditor)
{
    // As jalv loads a preset: the state restore reaches the plug-in, the port values reach the
    // UI as port events; the editor follows and writes nothing back.
    OpenUi();
    const auto before = Grab(hand, Widget(), 456, 486);
    LilvState* state = host->LoadPreset(std::string(kUri) + "#preset-wide-plus-50");
    ASSERT_NE(state, nullptr);
    host->RestoreState(state);
    lilv_state_free(state);
    for (const char* symbol : {"width", "mono_to_stereo", "pan", "bass_focus", "out_gain"})
    {
        const float value = host->Control(symbol);
        descriptor->port_event(ui, host->PortIndex(symbol), sizeof(float), 0, &value);
    }
    Settle(hand);
    EXPECT_EQ(idle->idle(ui), 0);
    const auto after = Grab(hand, Widget(), 456, 486);
    ASSERT_EQ(before.size(), after.size());
    EXPECT_GT(WidthKnobChange(before, after), 100) << "the width knob shows +50 %";
    EXPECT_TRUE(recorder.writes.empty());
}
