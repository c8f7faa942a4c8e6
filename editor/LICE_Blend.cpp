#include "editor/LICE_Blend.h"

#include "editor/IControlTypes.h"

#include <algorithm>
#include <cmath>

namespace
{
struct Rgb
{
    double r, g, b; // 0..255
};

int ToChannel(double v)
{
    return static_cast<int>(std::floor(std::min(255.0, std::max(0.0, v)) + 0.5));
}

double Dodge(double d, double s)
{
    if (d <= 0.0)
        return 0.0;
    if (s >= 255.0)
        return 255.0;
    return std::min(255.0, d * 255.0 / (255.0 - s));
}

double Overlay(double d, double s)
{
    // Keyed on the destination, so dark areas get darker and light areas lighter.
    if (d < 127.5)
        return 2.0 * d * s / 255.0;
    return 255.0 - 2.0 * (255.0 - d) * (255.0 - s) / 255.0;
}

// Hue in degrees 0..360, saturation and value 0..1.
void ToHsv(const Rgb& c, double* h, double* s, double* v)
{
    const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    const double maxc = std::max(r, std::max(g, b));
    const double minc = std::min(r, std::min(g, b));
    const double range = maxc - minc;
    *v = maxc;
    *s = maxc > 0.0 ? range / maxc : 0.0;
    if (range <= 0.0)
        *h = 0.0;
    else if (maxc == r)
        *h = 60.0 * std::fmod((g - b) / range + 6.0, 6.0);
    else if (maxc == g)
        *h = 60.0 * ((b - r) / range + 2.0);
    else
        *h = 60.0 * ((r - g) / range + 4.0);
}

Rgb FromHsv(double h, double s, double v)
{
    const double sector = h / 60.0;
    const int i = static_cast<int>(std::floor(sector)) % 6;
    const double f = sector - std::floor(sector);
    const double p = v * (1.0 - s), q = v * (1.0 - s * f), t = v * (1.0 - s * (1.0 - f));
    double r = v, g = t, b = p;
    switch (i)
    {
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    case 5:
        r = v, g = p, b = q;
        break;
    default:
        break;
    }
    return {r * 255.0, g * 255.0, b * 255.0};
}

Rgb HsvAdjust(const Rgb& d, const Rgb& s)
{
    double h, sat, val;
    ToHsv(d, &h, &sat, &val);
    h = std::fmod(h + (s.r - 128.0) * (360.0 / 256.0) + 360.0, 360.0);
    sat = std::min(1.0, sat * s.g / 128.0);
    val = std::min(1.0, val * s.b / 128.0);
    return FromHsv(h, sat, val);
}

Rgb Target(const Rgb& d, const Rgb& s, int method)
{
    switch (method)
    {
    case IChannelBlend::kBlendAdd:
        return {std::min(255.0, d.r + s.r), std::min(255.0, d.g + s.g), std::min(255.0, d.b + s.b)};
    case IChannelBlend::kBlendColorDodge:
        return {Dodge(d.r, s.r), Dodge(d.g, s.g), Dodge(d.b, s.b)};
    case IChannelBlend::kBlendMultiply:
        return {d.r * s.r / 255.0, d.g * s.g / 255.0, d.b * s.b / 255.0};
    case IChannelBlend::kBlendOverlay:
        return {Overlay(d.r, s.r), Overlay(d.g, s.g), Overlay(d.b, s.b)};
    case IChannelBlend::kBlendHSVAdjust:
        return HsvAdjust(d, s);
    default:
        return s;
    }
}
} // namespace

LICE_pixel LICE_BlendPixel(LICE_pixel dest, LICE_pixel src, float weight, int blendMethod)
{
    if (!(weight > 0.0f))
        return dest;
    const double w = std::min(1.0, static_cast<double>(weight));
    const bool ignoreAlpha = blendMethod == IChannelBlend::kBlendClobber;
    const double k = ignoreAlpha ? w : LICE_GETA(src) / 255.0 * w;
    if (k <= 0.0)
        return dest;
    const bool plainCopy =
        blendMethod < IChannelBlend::kBlendAdd || blendMethod > IChannelBlend::kBlendHSVAdjust;
    // A full-strength copy is the source itself, opaque; the common case of opaque artwork.
    if (plainCopy && k >= 1.0)
        return src | 0xFF000000u;

    const Rgb d{double(LICE_GETR(dest)), double(LICE_GETG(dest)), double(LICE_GETB(dest))};
    const Rgb s{double(LICE_GETR(src)), double(LICE_GETG(src)), double(LICE_GETB(src))};
    const Rgb t = plainCopy ? s : Target(d, s, blendMethod);

    if (LICE_GETA(dest) == 255)
    {
        // The usual case, an opaque editor bitmap: no division needed.
        auto lerp = [k](double tc, double dc) { return dc + (tc - dc) * k; };
        return LICE_RGBA(ToChannel(lerp(t.r, d.r)), ToChannel(lerp(t.g, d.g)),
                         ToChannel(lerp(t.b, d.b)), 255);
    }
    const double da = LICE_GETA(dest) / 255.0;
    const double outA = k + da * (1.0 - k);
    const double keep = da * (1.0 - k); // the destination's share of the result
    auto mix = [&](double tc, double dc) { return (tc * k + dc * keep) / outA; };
    return LICE_RGBA(ToChannel(mix(t.r, d.r)), ToChannel(mix(t.g, d.g)), ToChannel(mix(t.b, d.b)),
                     ToChannel(outA * 255.0));
}
