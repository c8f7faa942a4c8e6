// The editor bench's floor: a stereo pass-through LV2 plug-in whose X11 UI is an empty window of
// the editor's size, asking what the editor asks of its host (ui:parent, ui:resize, an idle
// interface). It has the plug-in's three output controls too (two meters and the latency), which
// a host reads and hands to the UI every period. A host that embeds it pays what it pays for any
// X11 editor of such a plug-in, and nothing is drawn, so its cost against the console host is the
// host's own share of an open editor.
// scripts/bench-editor loads it from build/bench-empty-ui.lv2.

#include <X11/Xlib.h>
#include <lv2/core/lv2.h>
#include <lv2/core/lv2_util.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <cstring>

namespace
{
constexpr const char* kPluginUri = "http://tarnwel.com/plugins/bench-empty-ui";
constexpr const char* kUiUri = "http://tarnwel.com/plugins/bench-empty-ui#ui";
constexpr int kWidth = 456;
constexpr int kHeight = 486;

struct PassThrough
{
    const float* in[2] = {};
    float* out[2] = {};
    float* controls[3] = {}; // width meter, correlation meter, latency
};

LV2_Handle Instantiate(const LV2_Descriptor*, double, const char*, const LV2_Feature* const*)
{
    return new PassThrough;
}

void Connect(LV2_Handle handle, uint32_t port, void* data)
{
    auto* p = static_cast<PassThrough*>(handle);
    if (port < 2)
        p->in[port] = static_cast<const float*>(data);
    else if (port < 4)
        p->out[port - 2] = static_cast<float*>(data);
    else if (port < 7)
        p->controls[port - 4] = static_cast<float*>(data);
}

void Run(LV2_Handle handle, uint32_t frames)
{
    auto* p = static_cast<PassThrough*>(handle);
    for (int c = 0; c < 2; ++c)
        if (p->in[c] && p->out[c] && p->in[c] != p->out[c])
            std::memcpy(p->out[c], p->in[c], sizeof(float) * frames);
    const float values[3] = {0.5f, 0.0f, 0.0f};
    for (int i = 0; i < 3; ++i)
        if (p->controls[i])
            *p->controls[i] = values[i];
}

void Cleanup(LV2_Handle handle)
{
    delete static_cast<PassThrough*>(handle);
}

struct EmptyUi
{
    Display* display = nullptr;
    Window window = 0;
};

LV2UI_Handle UiInstantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function,
                           LV2UI_Controller, LV2UI_Widget* widget,
                           const LV2_Feature* const* features)
{
    const auto parent =
        static_cast<Window>(reinterpret_cast<uintptr_t>(lv2_features_data(features, LV2_UI__parent)));
    const auto* resize = static_cast<const LV2UI_Resize*>(lv2_features_data(features, LV2_UI__resize));
    Display* display = parent ? XOpenDisplay(nullptr) : nullptr;
    if (!display)
        return nullptr;
    auto* ui = new EmptyUi{display, XCreateSimpleWindow(display, parent, 0, 0, kWidth, kHeight, 0,
                                                        0, 0x202020)};
    XMapWindow(display, ui->window);
    XSync(display, False);
    if (resize)
        resize->ui_resize(resize->handle, kWidth, kHeight);
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->window));
    return ui;
}

void UiCleanup(LV2UI_Handle handle)
{
    auto* ui = static_cast<EmptyUi*>(handle);
    XDestroyWindow(ui->display, ui->window);
    XCloseDisplay(ui->display);
    delete ui;
}

int UiIdle(LV2UI_Handle)
{
    return 0;
}

const void* UiExtensionData(const char* uri)
{
    static const LV2UI_Idle_Interface idle = {UiIdle};
    return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idle : nullptr;
}
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    static const LV2_Descriptor descriptor = {kPluginUri, Instantiate, Connect, nullptr,
                                              Run,        nullptr,     Cleanup, nullptr};
    return index == 0 ? &descriptor : nullptr;
}

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    static const LV2UI_Descriptor descriptor = {kUiUri, UiInstantiate, UiCleanup, nullptr,
                                                UiExtensionData};
    return index == 0 ? &descriptor : nullptr;
}
