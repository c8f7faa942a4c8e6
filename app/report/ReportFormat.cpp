#include "app/report/ReportFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace app
{
std::string SignedFigure(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, std::fabs(value));
    // Whatever rounds to zero is shown as +0, never as a negative zero.
    const bool negative = value < 0 && std::strtod(text, nullptr) != 0.0;
    return std::string(negative ? "\u2212" : "+") + text;
}

std::string Percent(double share)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f %%", 100.0 * share);
    return text;
}

std::string ClockTime(double seconds, bool tenths)
{
    // Rounded once, to the shown unit, so that 59.96 s becomes 1:00.0 and not 0:60.0.
    const long long unitsPerSecond = tenths ? 10 : 1;
    const long long units = std::llround(std::max(0.0, seconds) * unitsPerSecond);
    const long long whole = units / unitsPerSecond;
    const long long h = whole / 3600, m = (whole / 60) % 60, s = whole % 60;
    char text[48];
    if (h > 0)
        std::snprintf(text, sizeof(text), "%lld:%02lld:%02lld", h, m, s);
    else
        std::snprintf(text, sizeof(text), "%lld:%02lld", m, s);
    std::string out = text;
    if (tenths)
        out += "." + std::to_string(units % unitsPerSecond);
    return out;
}

std::string RateText(int sampleRate)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g kHz", sampleRate / 1000.0);
    return text;
}
} // namespace app
