#include "editor/linux/X11WindowProperties.h"

#include "editor/BitmapResources.h"
#include "editor/PngFileBitmap.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <climits>
#include <memory>
#include <unistd.h>
#include <vector>

namespace
{
constexpr const char* kIconName = "icon.png";

void SetCardinals(Display* display, Window window, const char* name, const unsigned long* values,
                  int count)
{
    XChangeProperty(display, window, XInternAtom(display, name, False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(values), count);
}

void SetIcon(Display* display, Window window)
{
    WDL_String path;
    if (!ResourcePath(kIconName, &path))
        return;
    const std::unique_ptr<PngFileBitmap> icon(PngFileBitmap::Open(path.Get()));
    if (!icon)
        return;
    // Width, height, then rows of 0xAARRGGBB (straight alpha), one per long as Xlib wants
    // format-32 data.
    const int w = icon->getWidth(), h = icon->getHeight();
    std::vector<unsigned long> data{static_cast<unsigned long>(w), static_cast<unsigned long>(h)};
    const LICE_pixel* bits = icon->getBits();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            data.push_back(bits[y * icon->getRowSpan() + x]);
    SetCardinals(display, window, "_NET_WM_ICON", data.data(), static_cast<int>(data.size()));
}
} // namespace

void SetTopLevelProperties(Display* display, Window window, const std::string& title)
{
    XClassHint classHint{const_cast<char*>(kX11InstanceName), const_cast<char*>(kX11ClassName)};
    XSetClassHint(display, window, &classHint);
    XStoreName(display, window, title.c_str());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    // A process id means something only together with the machine it runs on.
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof(host) - 1) == 0)
    {
        char* hostList[] = {host};
        XTextProperty machine;
        if (XStringListToTextProperty(hostList, 1, &machine))
        {
            XSetWMClientMachine(display, window, &machine);
            XFree(machine.value);
        }
    }
    const unsigned long pid = static_cast<unsigned long>(getpid());
    SetCardinals(display, window, "_NET_WM_PID", &pid, 1);
    SetIcon(display, window);
}
