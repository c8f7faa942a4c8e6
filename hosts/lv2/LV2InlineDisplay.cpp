#include "hosts/lv2/LV2InlineDisplay.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
// The editor's scope colours, dimmed for a strip.
constexpr double kBackground[] = {0.09, 0.09, 0.10};
constexpr double kGrid[] = {0.30, 0.30, 0.33};
constexpr double kDots[] = {0.38, 0.88, 0.56};
constexpr double kPositive[] = {0.25, 0.70, 0.35};
constexpr double kNegative[] = {0.85, 0.25, 0.20};

void Colour(cairo_t* cr, const double (&c)[3], double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c[0], c[1], c[2], alpha);
}

// −1 … 1 from the pairs; 0 for silence.
double Correlation(const std::vector<float>& l, const std::vector<float>& r)
{
    double lr = 0.0, ll = 0.0, rr = 0.0;
    for (size_t k = 0; k < l.size(); ++k)
    {
        lr += double(l[k]) * r[k];
        ll += double(l[k]) * l[k];
        rr += double(r[k]) * r[k];
    }
    const double norm = std::sqrt(ll * rr);
    return norm > 1e-20 ? std::clamp(lr / norm, -1.0, 1.0) : 0.0;
}

void DrawBar(cairo_t* cr, double x, double y, double w, double h, double correlation)
{
    Colour(cr, kGrid, 0.5);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    const double centre = x + w / 2.0;
    const double at = centre + correlation * w / 2.0;
    Colour(cr, correlation >= 0.0 ? kPositive : kNegative);
    cairo_rectangle(cr, std::min(centre, at), y, std::fabs(at - centre), h);
    cairo_fill(cr);
    // The value itself: a white mark two pixels wide.
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_rectangle(cr, std::clamp(at - 1.0, x, x + w - 2.0), y, 2.0, h);
    cairo_fill(cr);
}

// Mid up, side across, the lower half folded up: mono stands vertical, antiphase lies flat.
void DrawScope(cairo_t* cr, double w, double h, const std::vector<float>& l,
               const std::vector<float>& r)
{
    const double cx = w / 2.0, base = h - 1.0;
    const double radius = std::max(std::min(w / 2.0, h) - 2.0, 1.0);
    Colour(cr, kGrid);
    cairo_set_line_width(cr, 1.0);
    cairo_arc(cr, cx, base, radius, M_PI, 2.0 * M_PI);
    cairo_stroke(cr);
    float peak = 0.0f;
    for (size_t k = 0; k < l.size(); ++k)
        peak = std::max({peak, std::fabs(l[k]), std::fabs(r[k])});
    if (!(peak > 1e-9f) || !std::isfinite(peak))
        return;
    const double scale = radius / (2.0 * peak);
    Colour(cr, kDots, 0.7);
    for (size_t k = 0; k < l.size(); ++k)
    {
        double mid = double(l[k]) + r[k], side = double(r[k]) - l[k];
        if (!std::isfinite(mid) || !std::isfinite(side))
            continue;
        if (mid < 0.0)
        {
            mid = -mid;
            side = -side;
        }
        cairo_rectangle(cr, cx + side * scale - 0.75, base - mid * scale - 0.75, 1.5, 1.5);
    }
    cairo_fill(cr);
}
} // namespace

LV2InlineDisplay::~LV2InlineDisplay()
{
    if (mSurface)
        cairo_surface_destroy(mSurface);
}

void LV2InlineDisplay::Reset(double sampleRate)
{
    mDecimation = std::max(1, static_cast<int>(std::lround(kSeconds * sampleRate / kPoints)));
    mDrawInterval = std::max(1, static_cast<int>(sampleRate / kRedrawsPerSecond));
    mPhase = 0;
    mSinceDraw = 0;
}

void LV2InlineDisplay::Push(const float* left, const float* right, int n)
{
    uint32_t written = mWritten.load(std::memory_order_relaxed);
    // Every mDecimation-th sample is kept (mPhase counts those since the last one kept): straight
    // from one to the next rather than a test per sample.
    for (int k = mDecimation - 1 - mPhase; k < n; k += mDecimation)
    {
        mLeft[written % kPoints].store(left[k], std::memory_order_relaxed);
        mRight[written % kPoints].store(right[k], std::memory_order_relaxed);
        ++written;
    }
    mPhase = (mPhase + std::max(n, 0)) % mDecimation;
    mWritten.store(written, std::memory_order_release);
    mSinceDraw += n;
    if (mHost && mSinceDraw >= mDrawInterval)
    {
        mSinceDraw = 0;
        mHost->queue_draw(mHost->handle);
    }
}

LV2_Inline_Display_Image_Surface* LV2InlineDisplay::Render(uint32_t w, uint32_t maxHeight)
{
    const int width = static_cast<int>(std::clamp<uint32_t>(w, 16, 4096));
    const int height = static_cast<int>(
        std::clamp<uint32_t>(std::min<uint32_t>(maxHeight, (w * 3 + 4) / 5), 16, 4096));
    if (!mSurface || cairo_image_surface_get_width(mSurface) != width ||
        cairo_image_surface_get_height(mSurface) != height)
    {
        if (mSurface)
            cairo_surface_destroy(mSurface);
        mSurface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    }

    // The ring as it stands; a pair the audio thread overwrites meanwhile only moves a dot.
    const uint32_t written = mWritten.load(std::memory_order_acquire);
    const uint32_t count = std::min<uint32_t>(written, kPoints);
    std::vector<float> l(count), r(count);
    for (uint32_t k = 0; k < count; ++k)
    {
        const uint32_t at = (written - count + k) % kPoints;
        l[k] = mLeft[at].load(std::memory_order_relaxed);
        r[k] = mRight[at].load(std::memory_order_relaxed);
    }

    cairo_t* cr = cairo_create(mSurface);
    Colour(cr, kBackground);
    cairo_paint(cr);
    const int bar = BarHeight(height);
    DrawScope(cr, width, height - bar - 2, l, r);
    DrawBar(cr, 0.0, height - bar, width, bar, Correlation(l, r));
    cairo_destroy(cr);
    cairo_surface_flush(mSurface);

    mImage.data = cairo_image_surface_get_data(mSurface);
    mImage.width = width;
    mImage.height = height;
    mImage.stride = cairo_image_surface_get_stride(mSurface);
    return &mImage;
}
