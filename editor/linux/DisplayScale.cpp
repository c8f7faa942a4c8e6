#include "editor/linux/DisplayScale.h"

#include "editor/IGraphics.h"

#include <X11/Xlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr double kReferenceDpi = 96.0;
}

double ParseDisplayScale(const char* text)
{
    if (!text || !*text)
        return 0.0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    while (end && (*end == ' ' || *end == '\t' || *end == '\n'))
        ++end;
    return end && !*end && std::isfinite(value) && value > 0.0 ? value : 0.0;
}

double XftDisplayScale()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0.0;
    double scale = 0.0;
    // The resource string holds one "name:\tvalue" per line, as xrdb loaded it.
    if (const char* resources = XResourceManagerString(display))
    {
        for (const char* line = resources; line && *line;)
        {
            const char* next = std::strchr(line, '\n');
            if (std::strncmp(line, "Xft.dpi:", 8) == 0)
            {
                const double dpi = std::strtod(line + 8, nullptr);
                if (std::isfinite(dpi) && dpi > 0.0)
                    scale = dpi / kReferenceDpi;
            }
            line = next ? next + 1 : nullptr;
        }
    }
    XCloseDisplay(display);
    return scale;
}

double ChooseDisplayScale(double hostScale)
{
    double scale = ParseDisplayScale(std::getenv("PARANDEL_SCALE"));
    if (scale <= 0.0 && std::isfinite(hostScale) && hostScale > 0.0)
        scale = hostScale;
    if (scale <= 0.0)
        scale = XftDisplayScale();
    return IGraphics::NearestScale(scale > 0.0 ? scale : 1.0);
}
