#include "metering/TWLissajousGraphDrawer.h"

#include "graph/GraphControl10.h"
#include "graph/GraphSurface.h"

namespace
{
// Labels sit this far in from the sides and this far above the middle.
constexpr float kLabelInsetPx = 20.0f;
constexpr float kLabelRisePx = 2.5f;

struct PixelPoint
{
    float x, y;
};

// Unit square −1 … 1 onto a square of side H centred horizontally, as the Lissajous points are
// plotted.
PixelPoint UnitToPixels(double u, double v, int width, int height)
{
    const double h = height;
    return {static_cast<float>((u + 1.0) * 0.5 * h + (width - h) * 0.5),
            static_cast<float>((v + 1.0) * 0.5 * h)};
}
} // namespace

TWLissajousGraphDrawer::TWLissajousGraphDrawer(const char* title, double scale)
    : mScale(scale), mTitle(title)
{
}

void TWLissajousGraphDrawer::PreDraw(GraphSurface* surface, int width, int height)
{
    if (!surface)
        return;
    const double s = mScale;
    const PixelPoint diamond[4] = {
        UnitToPixels(0.0, s, width, height), UnitToPixels(s, 0.0, width, height),
        UnitToPixels(0.0, -s, width, height), UnitToPixels(-s, 0.0, width, height)};
    const PixelPoint axis[4] = {UnitToPixels(0.5 * s, 0.5 * s, width, height),
                                UnitToPixels(0.5 * s, -0.5 * s, width, height),
                                UnitToPixels(-0.5 * s, -0.5 * s, width, height),
                                UnitToPixels(-0.5 * s, 0.5 * s, width, height)};

    surface->StrokeColor(TWDrawerGrey());
    surface->FillColor(TWDrawerFill());

    surface->StrokeWidth(2.0f);
    surface->BeginPath();
    surface->MoveTo(diamond[0].x, diamond[0].y);
    for (int i = 1; i < 4; ++i)
        surface->LineTo(diamond[i].x, diamond[i].y);
    surface->ClosePath();
    surface->Stroke();

    surface->StrokeWidth(1.0f);
    surface->BeginPath();
    surface->MoveTo(axis[0].x, axis[0].y);
    surface->LineTo(axis[2].x, axis[2].y);
    surface->Stroke();
    surface->BeginPath();
    surface->MoveTo(axis[1].x, axis[1].y);
    surface->LineTo(axis[3].x, axis[3].y);
    surface->Stroke();

    const float labelY = static_cast<float>(height * 0.5 + kLabelRisePx);
    GraphControl10::DrawText(surface, "LEFT", TWDrawerText::kGrey, GRAPH_ALIGN_CENTER,
                             GRAPH_ALIGN_MIDDLE, kLabelInsetPx, labelY, TWDrawerText::kSize,
                             TWDrawerText::kScale);
    GraphControl10::DrawText(surface, "RIGHT", TWDrawerText::kGrey, GRAPH_ALIGN_CENTER,
                             GRAPH_ALIGN_MIDDLE, static_cast<float>(width - kLabelInsetPx), labelY,
                             TWDrawerText::kSize, TWDrawerText::kScale);

    mTitle.Draw(surface, height);
}
