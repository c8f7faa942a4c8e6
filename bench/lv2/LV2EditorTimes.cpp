// parandel_lv2_editor_times: how long the LV2 editor takes to open and to close in a lilv host,
// as a host's UI thread sees it: instantiate (with a parent window) and cleanup, N times, on the
// X display named by DISPLAY. Prints the median and the slowest of each.
//
//   parandel_lv2_editor_times [ROUNDS]

#include "lv2/LilvHost.h"

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr const char* kUri = "http://tarnwel.com/plugins/tw-parandel";

double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-24s median %7.1f ms   slowest %7.1f ms   (%zu rounds)\n", what,
                ms[ms.size() / 2], ms.back(), ms.size());
}

void WriteNothing(LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}
} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
    {
        std::fprintf(stderr, "parandel_lv2_editor_times: no X display (set DISPLAY)\n");
        return 1;
    }
    LilvHost host(PARANDEL_LV2_BUNDLE, kUri, 48000, 512);
    if (!host.Ok())
    {
        std::fprintf(stderr, "parandel_lv2_editor_times: the plug-in does not load\n");
        return 1;
    }
    host.Activate();
    const std::string so = std::string(PARANDEL_LV2_BUNDLE) + "/parandel.so";
    void* library = dlopen(so.c_str(), RTLD_NOW);
    auto entry = library ? reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(
                               dlsym(library, "lv2ui_descriptor"))
                         : nullptr;
    const LV2UI_Descriptor* ui = entry ? entry(0) : nullptr;
    if (!ui)
    {
        std::fprintf(stderr, "parandel_lv2_editor_times: no UI descriptor\n");
        return 1;
    }
    const Window parent =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 456, 486, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    const LV2_Feature access = {LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(host.Instance())};
    const LV2_Feature parentFeature = {LV2_UI__parent,
                                       reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
    const LV2_Feature* features[] = {&access, &parentFeature, nullptr};

    using Clock = std::chrono::steady_clock;
    std::vector<double> firstOpen, open, close;
    for (int i = 0; i <= rounds; ++i)
    {
        LV2UI_Widget widget = nullptr;
        const auto t0 = Clock::now();
        LV2UI_Handle handle = ui->instantiate(ui, kUri, PARANDEL_LV2_BUNDLE, WriteNothing, nullptr,
                                              &widget, features);
        const auto t1 = Clock::now();
        if (!handle)
        {
            std::fprintf(stderr, "parandel_lv2_editor_times: the editor does not open\n");
            return 1;
        }
        // A few frames on screen, as a user would see before closing.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        const auto t2 = Clock::now();
        ui->cleanup(handle);
        const auto t3 = Clock::now();
        (i == 0 ? firstOpen : open).push_back(Ms(t1 - t0));
        close.push_back(Ms(t3 - t2));
    }
    Report("first open", firstOpen);
    Report("open (after the first)", open);
    Report("close", close);
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
    dlclose(library);
    return 0;
}
